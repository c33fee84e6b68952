// tests/fuzz/fuzz_text_file_lines.cpp: the file service's line reader over a real file holding the fuzz input.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/files/files.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

constexpr ObjectNumber FILE_NUMBER = 3;

// One folder per process in $TMPDIR (scripts/fuzz points it at a memory-backed folder it removes
// afterwards), or in /dev/shm. libFuzzer ends with _Exit, so nothing here can remove it at the end.
const std::filesystem::path& work_folder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/dev/shm") + "/lum-fuzz-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr, "a private folder for the fuzz file can be made");
        return std::filesystem::path(pattern);
    }();
    return folder;
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    require(file.good(), "the fuzz file is written");
}

std::vector<std::string> read_all_lines(const std::string& path) {
    require(open_text_file(FILE_NUMBER, path) != 0, "the fuzz file opens");
    std::vector<std::string> lines;
    while (!at_end_of_file(FILE_NUMBER)) {
        const std::string line = read_text_line(FILE_NUMBER);
        require(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos, "no line holds CR, LF or NUL");
        lines.push_back(line);
    }
    require(read_text_line(FILE_NUMBER).empty(), "past the end every line is empty");
    close_text_file(FILE_NUMBER);
    require(at_end_of_file(FILE_NUMBER), "a closed number is at its end");
    return lines;
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    const std::string content(reinterpret_cast<const char*>(bytes), size);
    const std::filesystem::path path = work_folder() / "lines.txt";
    write_file(path, content);
    const LineRules rules{.zero_ends_line = true, .keep_empty_last = false, .final_cr_ends_last = false};
    const bool same = read_all_lines(path.string()) == naive_lines(content, rules);
    std::filesystem::remove(path);
    require(same, "the lines are those of the naive splitter");
    return 0;
}
