// runtime/files/os_file.h: one open file of the operating system, owned by one object and closed with it.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

namespace lum {

// The file calls the buffered text files need, nothing more. Defined once per backend folder.
// Errors are not reported beyond "nothing was opened" and "fewer bytes than asked": the callers treat
// a failed read as the end of the file and a failed write as lost output.
class OsFile {
public:
    OsFile() = default;
    OsFile(OsFile&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    OsFile& operator=(OsFile&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    ~OsFile() { close(); }

    // Creates the file or replaces an existing one, for reading and writing; others may still read it.
    static OsFile create_read_write(std::string_view path);
    // Opens an existing file for writing only and empties it; others may still read it.
    static OsFile truncate_existing(std::string_view path);
    // Opens an existing file for reading only; others may still read it.
    static OsFile open_read(std::string_view path);
    // Opens the file for writing, creating it when missing but leaving its bytes alone.
    static OsFile open_write_keep(std::string_view path);

    bool is_open() const { return handle_ != 0; }

    // The OS handle (or descriptor) as a number; never 0 for an open file.
    std::intptr_t handle_value() const { return handle_; }

    // Bytes read into `into`, at most `size`; 0 at the end of the file or on an error.
    std::int32_t read(char* into, std::int32_t size);

    // Bytes written, all `size` unless an error stopped the write.
    std::int32_t write(const char* from, std::int32_t size);

    // Moves the file position `count` bytes back from where it is.
    void move_back(std::int32_t count);

private:
    explicit OsFile(std::intptr_t handle) : handle_(handle) {}
    void close();

    std::intptr_t handle_ = 0; // 0: nothing open.
};

} // namespace lum
