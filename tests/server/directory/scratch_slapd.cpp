// tests/server/directory/scratch_slapd.cpp: the scratch directory's configuration, entries and process.
#include "scratch_slapd.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>
#include <stdexcept>
#include <thread>

namespace lum::server_testing {
namespace {

void run_or_throw(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// A port nothing listens on now (the test's own network namespace has no one else).
int free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace

ScratchSlapd::ScratchSlapd() {
    const std::string folder = folder_.path().string();
    run_or_throw(std::string(LUM_PREPARE_DIRECTORY) + " " + folder);
    port_ = free_port();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the test
        const std::string log = folder + "/slapd.log";
        freopen(log.c_str(), "w", stderr);
        execl("/usr/sbin/slapd", "slapd", "-f", (folder + "/slapd.conf").c_str(), "-h", url().c_str(), "-d", "0",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    await_listening();
}

ScratchSlapd::~ScratchSlapd() { stop(); }

void ScratchSlapd::await_listening() {
    for (int tries = 0; tries < 200; ++tries) {
        if (accepts(port_)) return;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    std::ifstream log(folder_.path() / "slapd.log");
    throw std::runtime_error("slapd did not start: " + std::string(std::istreambuf_iterator<char>(log), {}));
}

void ScratchSlapd::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void ScratchSlapd::remove_member(const std::string& group_cn, const std::string& uid) {
    const std::string change = "dn: cn=" + group_cn +
                               ",ou=groups,dc=lumora,dc=test\nchangetype: modify\n"
                               "delete: member\nmember: uid=" +
                               uid + ",ou=people,dc=lumora,dc=test\n";
    const std::string ldif = (folder_.path() / "change.ldif").string();
    std::ofstream(ldif, std::ios::binary) << change;
    run_or_throw("ldapmodify -x -H " + url() + " -D cn=admin,dc=lumora,dc=test -w admin -f " + ldif + " >/dev/null");
}

} // namespace lum::server_testing
