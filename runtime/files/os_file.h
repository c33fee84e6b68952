// runtime/files/os_file.h: one open file of the operating system, owned by one object and closed with it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/common/unique_resource.h"

namespace lum {

// The file calls the buffered text files need, nothing more. Defined once per backend folder.
// Errors are not reported beyond "nothing was opened" and "fewer bytes than asked": the callers treat
// a failed read as the end of the file and a failed write as lost output.
class OsFile {
public:
    OsFile() = default;

    // Creates the file or replaces an existing one, for reading and writing; others may still read it.
    static OsFile create_read_write(std::string_view path);
    // Opens an existing file for writing only and empties it; others may still read it.
    static OsFile truncate_existing(std::string_view path);
    // Opens an existing file for reading only; others may still read it.
    static OsFile open_read(std::string_view path);
    // Opens the file for writing, creating it when missing but leaving its bytes alone.
    static OsFile open_write_keep(std::string_view path);

    bool is_open() const { return static_cast<bool>(file_); }

    // The OS handle (or descriptor) as a number; never 0 for an open file.
    std::intptr_t handle_value() const { return file_.get(); }

    // Bytes read into `into`, at most `size`; 0 at the end of the file or on an error.
    std::int32_t read(char* into, std::int32_t size);

    // Bytes written, all `size` unless an error stopped the write.
    std::int32_t write(const char* from, std::int32_t size);

    // Moves the file position `count` bytes back from where it is.
    void move_back(std::int32_t count);

private:
    // The handle or descriptor as a number, 0 for none (so that this header stays free of OS headers);
    // its backend closes it.
    struct Kind {
        using Native = std::intptr_t;
        static constexpr std::intptr_t none() { return 0; }
        static bool holds(std::intptr_t handle) { return handle != 0; }
        static void free(std::intptr_t handle);
    };

    explicit OsFile(std::intptr_t handle) : file_(handle) {}

    UniqueResource<Kind> file_;
};

} // namespace lum
