// tests/lab/stand_in/behaviour.cpp: the hostile ways a tool can behave after its recorded output: floods, crashes,
// hangs.
//
// "<tool>[.<n>].act" holds one action per line, run in order:
//   flood LINES WIDTH   LINES lines "flood <number> " padded to WIDTH bytes with letters, each with CR LF
//   long-line BYTES     one line of BYTES letters and CR LF
//   crash               the process dies of an access violation (a segmentation fault on POSIX)
//   detach [SECONDS]    closes standard output and stays until the scenario folder holds "release" or
//                       is gone, or SECONDS (60 without) have passed, as a hung tool would
//   hang [SECONDS]      keeps standard output open (what it wrote so far flushed) and stays as detach
//                       does, as a tool stuck in the middle of its work would; the actions after it run
//                       only when it was not stopped meanwhile
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/lab/stand_in/flood_lines.h"
#include "tests/lab/stand_in/platform.h"
#include "tests/lab/stand_in/stand_in.h"

namespace lum::lab {
namespace {

constexpr std::size_t CHUNK = 64 * 1024;

void put(const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void flood(unsigned long lines, std::size_t width) {
    std::string pending;
    for (unsigned long number = 1; number <= lines; ++number) {
        pending += flood_line(number, width) + "\r\n";
        if (pending.size() >= CHUNK) {
            put(pending);
            pending.clear();
        }
    }
    put(pending);
}

void long_line(std::size_t bytes) {
    std::string block;
    pad_with_letters(block, 26 * 2520); // a whole number of alphabets, so that blocks join seamlessly
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t piece = left < block.size() ? left : block.size();
        put(block.substr(0, piece));
        left -= piece;
    }
    put("\r\n");
}

// Until the scenario folder holds "release" or is gone, or `seconds` have passed.
void stay(const Call& call, int seconds) {
    const std::filesystem::path scenario(call.scenario);
    const auto released = [&scenario] {
        std::error_code error;
        return !std::filesystem::exists(scenario, error) || std::filesystem::exists(scenario / "release", error);
    };
    for (int waited = 0; waited < seconds * 10 && !released(); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void run_action(const Call& call, const std::string& action) {
    std::istringstream words(action);
    std::string verb;
    words >> verb;
    if (verb == "flood") {
        unsigned long lines = 0;
        std::size_t width = 0;
        words >> lines >> width;
        flood(lines, width);
    } else if (verb == "long-line") {
        std::size_t bytes = 0;
        words >> bytes;
        long_line(bytes);
    } else if (verb == "crash") {
        std::fflush(stdout);
        crash_now();
    } else if (verb == "detach" || verb == "hang") {
        int seconds = 60;
        words >> seconds;
        std::fflush(stdout);
        if (verb == "detach") std::fclose(stdout);
        stay(call, seconds);
    }
}

} // namespace

void play_behaviour(const Call& call) {
    const std::optional<std::string> actions = recorded_file(call, "act");
    if (!actions) return;
    std::istringstream lines(*actions);
    for (std::string action; std::getline(lines, action);)
        run_action(call, action);
    if (!std::ferror(stdout)) std::fflush(stdout);
}

} // namespace lum::lab
