// runtime/process/os_process.h: what each platform gives the runner: pipe ends, processes, starting and the shell.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "runtime/common/unique_resource.h"

namespace lum {

// A handle or descriptor kept as a number, so that this header stays free of OS headers; -1 is none.
inline constexpr std::intptr_t NO_NATIVE = -1;

// A pipe end as the platform numbers it; its backend closes it.
struct PipeEndKind {
    using Native = std::intptr_t;
    static constexpr std::intptr_t none() { return NO_NATIVE; }
    static bool holds(std::intptr_t native) { return native != NO_NATIVE; }
    static void free(std::intptr_t native);
};

// The caller's end of a pipe to or from a started program; closed with the object.
class OsPipe {
public:
    OsPipe() = default;
    explicit OsPipe(std::intptr_t native) : end_(native) {}

    bool is_open() const { return static_cast<bool>(end_); }
    std::intptr_t native() const { return end_.get(); }

    // Blocks until some bytes are there; 0 once every writer has closed and the pipe is empty, or on failure.
    std::int32_t read_some(char* into, std::int32_t room);

    // Bytes waiting in the pipe, without reading them; 0 when the question fails (a broken pipe).
    std::int32_t bytes_waiting() const;

    // True when nothing waits and every writer has closed its end: no byte can come any more.
    bool at_end() const;

    // Waits up to `timeout_ms` until bytes wait or the pipe has reached its end; false if time ran out.
    bool wait_readable(std::int32_t timeout_ms) const;

    void close() { end_.reset(); }

private:
    UniqueResource<PipeEndKind> end_;
};

// A started process. Letting go of it never stops the program; on POSIX a process that is still
// running when let go is reaped in the background when it ends, so that no zombie stays behind.
class OsProcess {
public:
    OsProcess() = default;
    explicit OsProcess(std::intptr_t native) : native_(native) {}
    OsProcess(OsProcess&& other) noexcept
        : native_(std::exchange(other.native_, NO_NATIVE)), ended_(std::exchange(other.ended_, false)) {}
    OsProcess& operator=(OsProcess&& other) noexcept {
        if (this != &other) {
            let_go();
            native_ = std::exchange(other.native_, NO_NATIVE);
            ended_ = std::exchange(other.ended_, false);
        }
        return *this;
    }
    OsProcess(const OsProcess&) = delete;
    OsProcess& operator=(const OsProcess&) = delete;
    ~OsProcess() { let_go(); }

    // Asks without waiting. A question that fails counts as "still running", except that a process
    // someone else has already reaped is gone. Without a process (a document the shell opened in a
    // program already running) there is nothing to wait for.
    bool has_ended();

    // Waits without a time limit.
    void wait();

    // Waits up to `timeout_ms`; true when the process has ended.
    bool wait_for(std::int32_t timeout_ms);

    // Ends the process at once, if it still runs.
    void terminate();

    void let_go();

private:
    std::intptr_t native_ = NO_NATIVE; // Windows: the process handle; POSIX: the process id
    bool ended_ = false;
};

struct StartRequest {
    std::string program;
    std::string parameters;
    std::string directory; // empty: the caller's own
    std::int32_t flags = 0;
    const OsPipe* connected_input = nullptr; // Connect: another program's output reader
};

struct StartedProgram {
    OsProcess process;
    std::int32_t process_id = 0;
    OsPipe input_writer;
    OsPipe output_reader;
    OsPipe error_reader;
};

// Starts the program itself from its command line, with the pipes the flags ask for. False when it
// cannot be started; every pipe made for it is closed again then.
bool start_program(const StartRequest& request, StartedProgram& started);

// Hands the program text (a document, a web address) to the desktop shell, which opens it with the
// program associated with it. False when the shell refuses.
bool shell_open(const StartRequest& request, StartedProgram& started);

} // namespace lum
