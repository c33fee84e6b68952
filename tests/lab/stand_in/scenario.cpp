// tests/lab/stand_in/scenario.cpp: a tool's recorded pause, output and exit code, per call or for every call.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/lab/stand_in/stand_in.h"

namespace lum::lab {
namespace {

// The decimal number a recorded file holds (spaces and a line end around it allowed).
std::optional<long> recorded_number(const Call& call, const std::string& kind) {
    const std::optional<std::string> text = recorded_file(call, kind);
    if (!text) return std::nullopt;
    const std::size_t begin = text->find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return std::nullopt;
    long value = 0;
    const auto [end, error] = std::from_chars(text->data() + begin, text->data() + text->size(), value);
    if (error != std::errc()) return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> read_whole_file(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::string> recorded_file(const Call& call, const std::string& kind) {
    if (call.scenario.empty()) return std::nullopt;
    const std::filesystem::path folder(call.scenario);
    const std::string names[] = {call.tool + "." + std::to_string(call.number) + "." + kind, call.tool + "." + kind};
    for (const std::string& name : names) {
        if (std::optional<std::string> bytes = read_whole_file((folder / name).string())) return bytes;
    }
    return std::nullopt;
}

void pause_as_recorded(const Call& call) {
    const std::optional<long> milliseconds = recorded_number(call, "sleep");
    if (milliseconds && *milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(*milliseconds));
}

// One write of the whole recording: the bytes reach the pipe exactly as recorded, line ends and all.
void write_recorded_output(const Call& call) {
    const std::optional<std::string> bytes = recorded_file(call, "out");
    if (!bytes || bytes->empty()) return;
    std::fwrite(bytes->data(), 1, bytes->size(), stdout);
    std::fflush(stdout);
}

int recorded_exit_code(const Call& call) {
    const std::optional<long> code = recorded_number(call, "exit");
    return code ? static_cast<int>(*code) : 0;
}

} // namespace lum::lab
