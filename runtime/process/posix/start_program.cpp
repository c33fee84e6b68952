// runtime/process/posix/start_program.cpp: posix_spawn with pipes, arguments cut by the Windows rules, and xdg-open.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "runtime/files/files.h"
#include "runtime/process/command_line.h"
#include "runtime/process/os_process.h"
#include "runtime/process/posix/unique_fd.h"
#include "runtime/process/process.h"

extern char** environ;

namespace lum {
namespace {

// A pipe end that landed on 0, 1 or 2 (this program's own streams were closed) would be undone by
// the dup2 that puts it there in the child, so it moves up first.
int above_standard_streams(int fd) {
    if (fd > 2) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool make_pipe(bool caller_reads, UniqueFd& child_end, OsPipe& caller_end) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    UniqueFd read_end(above_standard_streams(ends[0]));
    UniqueFd write_end(above_standard_streams(ends[1]));
    if (!read_end || !write_end) return false;
    caller_end = OsPipe(caller_reads ? read_end.release() : write_end.release());
    child_end = caller_reads ? std::move(write_end) : std::move(read_end);
    return true;
}

std::string own_directory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return {};
    const std::string self(path, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/') + 1);
}

bool is_program(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// As on Windows, a name without a folder is looked for next to this program first, then along PATH;
// a relative path is taken from this program's current folder, not the child's.
std::string find_program(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        if (name.front() == '/') return is_program(name) ? name : std::string();
        char here[PATH_MAX];
        if (getcwd(here, sizeof(here)) == nullptr) return {};
        const std::string full = std::string(here) + "/" + name;
        return is_program(full) ? full : std::string();
    }
    if (name.empty()) return {};
    if (const std::string beside = own_directory() + name; is_program(beside)) return beside;
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= folders.size();) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end == begin ? "." : folders.substr(begin, end - begin);
        if (const std::string candidate = folder + "/" + name; is_program(candidate)) return candidate;
        begin = end + 1;
    }
    return {};
}

// File actions and attributes of one spawn, released on every path.
class SpawnPlan {
public:
    SpawnPlan() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        // The child starts with no blocked signals and SIGPIPE at its default, whatever this program set.
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnPlan() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnPlan(const SpawnPlan&) = delete;
    SpawnPlan& operator=(const SpawnPlan&) = delete;

    void stream_from(int fd, int standard) { posix_spawn_file_actions_adddup2(&actions_, fd, standard); }
    void stream_to_null(int standard) {
        posix_spawn_file_actions_addopen(&actions_, standard, "/dev/null", standard == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    void directory(const std::string& folder) { posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str()); }

    bool spawn(const std::string& path, const std::vector<std::string>& words, pid_t& pid) {
        std::vector<char*> argv;
        for (const std::string& word : words)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        return posix_spawn(&pid, path.c_str(), &actions_, &attributes_, argv.data(), environ) == 0;
    }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// Windows starts a hidden program without pipes with no console at all; here its streams go nowhere,
// so that a tool's chatter never mixes into this program's own output.
void plan_streams(const StartRequest& request, StartedProgram& started, SpawnPlan& plan, UniqueFd (&child)[3]) {
    const bool open = (request.flags & Open) != 0;
    if ((request.flags & Connect) != 0 && request.connected_input != nullptr) {
        plan.stream_from(static_cast<int>(request.connected_input->native()), 0);
    } else if (open && (request.flags & Write) != 0 && make_pipe(false, child[0], started.input_writer)) {
        plan.stream_from(child[0].get(), 0);
    }
    if (open && (request.flags & Read) != 0 && make_pipe(true, child[1], started.output_reader)) {
        plan.stream_from(child[1].get(), 1);
    }
    if (open && (request.flags & Error) != 0 && make_pipe(true, child[2], started.error_reader)) {
        plan.stream_from(child[2].get(), 2);
    }
    const bool piped = child[0] || child[1] || child[2] || request.connected_input != nullptr;
    if (!piped && (request.flags & Hide) != 0) {
        for (int standard = 0; standard < 3; ++standard)
            plan.stream_to_null(standard);
    }
}

bool spawn_words(const StartRequest& request, const std::vector<std::string>& words, StartedProgram& started) {
    const std::string path = find_program(posix_path(words.front()));
    if (path.empty()) return false;
    SpawnPlan plan;
    UniqueFd child[3];
    plan_streams(request, started, plan, child);
    if (!request.directory.empty()) plan.directory(posix_path(request.directory));
    pid_t pid = 0;
    if (!plan.spawn(path, words, pid)) {
        started = StartedProgram();
        return false;
    }
    started.process = OsProcess(pid);
    started.process_id = static_cast<std::int32_t>(pid);
    return true;
}

} // namespace

// The program and its parameters make one Windows command line, which is cut into arguments by the
// Windows rules, so that a tool gets the same arguments on both platforms.
bool start_program(const StartRequest& request, StartedProgram& started) {
    const std::vector<std::string> words =
        split_command_line(compose_command_line(request.program, request.parameters));
    if (!spawn_words(request, words, started)) {
        started = StartedProgram();
        return false;
    }
    return true;
}

// The desktop's opener takes the document or address alone; parameters have no place there. A web
// address has no folder to run in ("http://host/" is none), so a folder that does not exist is dropped.
bool shell_open(const StartRequest& request, StartedProgram& started) {
    StartRequest opener = request;
    opener.flags &= Hide;
    struct stat folder {};
    if (!opener.directory.empty() &&
        (stat(posix_path(opener.directory).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))) {
        opener.directory.clear();
    }
    return spawn_words(opener, {"xdg-open", posix_path(request.program)}, started);
}

} // namespace lum
