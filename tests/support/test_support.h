// tests/support/test_support.h: small helpers the tests share: scratch folders, files, bounded waits, the test child.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace lum::testing_support {

// A new folder under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "lumtest_") {
        std::random_device random;
        do {
            path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string string() const { return path_.string(); }
    // The folder and a name joined with a backslash, as the program spells its paths.
    std::string windows_path(const std::string& name) const { return path_.string() + "\\" + name; }

private:
    std::filesystem::path path_;
};

inline std::string file_contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a text, cut at LF (a CR before it dropped).
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
        lines.push_back(text.substr(begin, end - begin - (end > begin && text[end - 1] == '\r' ? 1 : 0)));
        begin = end + 1;
    }
    if (begin < text.size()) lines.push_back(text.substr(begin));
    return lines;
}

// Polls `done` until it is true or `limit` has passed; a bound on waiting for another process, not a
// measurement: the limit is far above what any run needs.
template <class Condition> bool wait_until(Condition done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The runner's test child, built next to every test binary; ctest runs the tests in that folder.
inline std::string child_program() { return std::filesystem::absolute(LUM_RUNNER_CHILD).string(); }

} // namespace lum::testing_support
