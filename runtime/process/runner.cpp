// runtime/process/runner.cpp: launching programs, keeping their handles, and reading their output line by line.
#include "runtime/process/process.h"

#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>

#include "runtime/files/files.h"
#include "runtime/process/carried_output.h"
#include "runtime/process/command_line.h"
#include "runtime/process/os_process.h"

namespace lum {

using Clock = std::chrono::steady_clock;

// The record behind a program handle; the handle is its address.
struct ProgramHandle {
    OsProcess process;
    std::int32_t process_id = 0; // -1 when the shell started it
    OsPipe input_writer;
    OsPipe output_reader;
    OsPipe error_reader;
    CarriedOutput carried_output;
    Clock::time_point started;
    Clock::time_point deadline = Clock::time_point::max(); // max: no time limit (or stopped already)
};

namespace {

constexpr std::int32_t PIPE_FLAGS = Read | Write | Error | Connect;

// How long a program whose output has ended may take to end itself before the reading stops anyway.
// Tools close their output as they exit, so this is reached only by one that will not end.
constexpr std::int32_t OUTPUT_OVER_WAIT_MS = 2000;

// How often a read that waits for output looks whether the program has ended meanwhile.
constexpr std::int32_t END_CHECK_MS = 50;

// How long a program stopped at its time limit is given to be gone before the reading goes on; a
// stopped process ends at once on both platforms, so this is only a bound.
constexpr std::int32_t STOPPED_WAIT_MS = 1000;

// Every live handle, so that a release can tell a handle from any other number. The lock is held
// only while a record is linked in or out.
struct OpenHandles {
    std::mutex lock;
    std::list<std::unique_ptr<ProgramHandle>> records;
};

OpenHandles& open_handles() {
    static OpenHandles handles;
    return handles;
}

std::intptr_t keep_program(StartedProgram&& started) {
    auto record = std::make_unique<ProgramHandle>();
    ProgramHandle* handle = record.get();
    {
        OpenHandles& open = open_handles();
        const std::lock_guard<std::mutex> guard(open.lock);
        open.records.push_back(std::move(record));
    }
    handle->started = Clock::now();
    handle->process = std::move(started.process);
    handle->process_id = started.process_id;
    handle->input_writer = std::move(started.input_writer);
    handle->output_reader = std::move(started.output_reader);
    handle->error_reader = std::move(started.error_reader);
    return reinterpret_cast<std::intptr_t>(handle);
}

std::unique_ptr<ProgramHandle> unlink_program(std::intptr_t handle) {
    OpenHandles& open = open_handles();
    const std::lock_guard<std::mutex> guard(open.lock);
    for (auto it = open.records.begin(); it != open.records.end(); ++it) {
        if (reinterpret_cast<std::intptr_t>(it->get()) != handle) continue;
        std::unique_ptr<ProgramHandle> record = std::move(*it);
        open.records.erase(it);
        return record;
    }
    return nullptr;
}

// 0 and 1 are the results of a failed start and of a start without Open; neither names a handle.
// Anything else is trusted, since pending and read run once per line of output.
ProgramHandle* as_program(std::intptr_t handle) {
    return handle > 1 ? reinterpret_cast<ProgramHandle*>(handle) : nullptr;
}

const OsPipe* connected_input(std::int32_t flags, std::intptr_t input_source) {
    ProgramHandle* source = as_program(input_source);
    if ((flags & Connect) == 0 || source == nullptr || !source->output_reader.is_open()) return nullptr;
    return &source->output_reader;
}

// `timeout_ms`, cut short to the time left before the program's limit. Rounded up, so that a wait which
// runs out at the limit finds it due.
std::int32_t within_limit(const ProgramHandle& program, std::int32_t timeout_ms) {
    if (program.deadline == Clock::time_point::max()) return timeout_ms;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(program.deadline - Clock::now()).count();
    return static_cast<std::int32_t>(std::min<long long>(std::max<long long>(left, 0), timeout_ms));
}

// Stops the program once its limit is due, and lifts the limit, so that every wait after this one is
// an ordinary wait for a program that has ended: the bytes it left in the pipe are still read. True
// when the limit was due now.
bool stop_when_due(ProgramHandle& program) {
    if (program.deadline == Clock::time_point::max() || Clock::now() < program.deadline) return false;
    program.deadline = Clock::time_point::max();
    program.process.terminate();
    program.process.wait_for(STOPPED_WAIT_MS);
    return true;
}

} // namespace

std::intptr_t launch_program(std::string_view program, std::string_view parameters, std::string_view directory,
                             std::int32_t flags, std::intptr_t input_source) {
    StartRequest request{std::string(program), std::string(parameters), std::string(directory), flags,
                         connected_input(flags, input_source)};
    StartedProgram started;
    if (!start_program(request, started)) {
        // A document or a web address cannot be started as a program, but the shell can open it.
        if ((flags & PIPE_FLAGS) != 0) return 0;
        request.directory = shell_directory(program, directory, path_separator());
        if (!shell_open(request, started)) return 0;
        started.process_id = -1;
    }
    if ((flags & Wait) != 0) started.process.wait();
    if ((flags & Open) != 0) return keep_program(std::move(started));
    return 1;
}

std::intptr_t open_document(std::string_view path) { return launch_program(path, "", "", 0); }

bool program_pending(std::intptr_t handle) {
    ProgramHandle* program = as_program(handle);
    if (program == nullptr) return false;
    // Bytes held back from an earlier read mean output remains whether or not the program has ended,
    // and asking the system once per line would cost more than reading the line.
    if (!program->carried_output.empty()) return true;
    OsPipe& reader = program->output_reader;
    if (!program->process.has_ended()) {
        // A program whose output is over has nothing more to give but its end. Waiting for that here
        // keeps the caller's loop from spinning on empty reads (and from reading an empty line that
        // the program never wrote) in the moment between its last write and its exit, and keeps the
        // tools one at a time. The wait is bounded: a tool that closes its output and stays (a hung
        // one, or one that leaves a background part behind) must not hold up the run for ever.
        if (!reader.is_open() || !reader.at_end()) return true;
        program->process.wait_for(OUTPUT_OVER_WAIT_MS);
        return false;
    }
    return reader.is_open() && reader.bytes_waiting() > 0;
}

namespace {

// Blocks like a plain read while the program runs, but no longer than its time limit: a program that
// wrote part of a line and hangs would otherwise hold the read for ever. Once it has ended (or been
// stopped), everything it wrote is in the pipe already: a read that would still wait could only be
// waiting for another process that inherited the pipe (a background part the tool left behind), so the
// output counts as over instead. The limit is looked at before every read too, so that a program that
// never stops writing is stopped as well.
std::int32_t read_some_of(ProgramHandle& program, char* into, std::int32_t room) {
    OsPipe& reader = program.output_reader;
    stop_when_due(program);
    while (!reader.wait_readable(within_limit(program, END_CHECK_MS))) {
        stop_when_due(program);
        if (program.process.has_ended() && !reader.wait_readable(0)) return 0;
    }
    return reader.read_some(into, room);
}

} // namespace

std::string read_program_line(std::intptr_t handle) {
    ProgramHandle* program = as_program(handle);
    if (program == nullptr || !program->output_reader.is_open()) return {};
    return program->carried_output.read_line(
        [program](char* into, std::int32_t room) { return read_some_of(*program, into, room); });
}

bool wait_for_program_output(std::intptr_t handle, std::int32_t timeout_ms) {
    ProgramHandle* program = as_program(handle);
    if (program == nullptr || !program->output_reader.is_open() || program->carried_output.holds_line()) return true;
    if (program->output_reader.wait_readable(within_limit(*program, timeout_ms))) return true;
    return stop_when_due(*program) || program->process.has_ended();
}

bool wait_for_program_end(std::intptr_t handle, std::int32_t timeout_ms) {
    ProgramHandle* program = as_program(handle);
    if (program == nullptr || program->process.wait_for(within_limit(*program, timeout_ms))) return true;
    return stop_when_due(*program);
}

void limit_program_time(std::intptr_t handle, std::int32_t limit_ms) {
    ProgramHandle* program = as_program(handle);
    if (program != nullptr) program->deadline = program->started + std::chrono::milliseconds(limit_ms);
}

void stop_program(std::intptr_t handle) {
    ProgramHandle* program = as_program(handle);
    if (program != nullptr) program->process.terminate();
}

void release_program(std::intptr_t handle) {
    std::unique_ptr<ProgramHandle> program = unlink_program(handle);
    if (program == nullptr) return;
    program->process.let_go();
    program->input_writer.close();
    program->output_reader.close();
    program->error_reader.close();
    program->carried_output.clear();
}

} // namespace lum
