// runtime/files/buffered_file.h: the record behind one open file number: the OS file and its 4096-byte buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/files/os_file.h"

namespace lum {

// One buffer serves either reading or writing, never both: switching to reading writes out what is
// pending; switching to writing moves the OS position back over the bytes loaded but not handed out,
// so that the next write lands right after the last byte read.
class BufferedFile {
public:
    static constexpr std::int32_t BUFFER_SIZE = 4096;

    explicit BufferedFile(OsFile file);
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;
    // Freeing the record is closing the file: pending output is written out first.
    ~BufferedFile();

    std::intptr_t handle_value() const { return file_.handle_value(); }

    // Takes `size` bytes; returns how many were accepted (for a piece written straight through, what the
    // OS took). The buffer never becomes completely full; pieces of BUFFER_SIZE or more bypass it. Once
    // a write has failed, nothing more is accepted, so that the file stays exactly what was written
    // up to the fault.
    std::int32_t write(const char* from, std::int32_t size);

    // Hands out up to `size` bytes; fewer only at the end of the file (or on a read error).
    std::int32_t read(char* into, std::int32_t size);

    // Gives back the last byte that read() handed out of the buffer, so that it is read again.
    void unread_one();

private:
    void begin_writing();
    void begin_reading();
    void write_out_pending();
    std::int32_t write_through(const char* from, std::int32_t size);
    std::int32_t take_loaded(char* into, std::int32_t size);

    OsFile file_;
    std::unique_ptr<char[]> buffer_;
    // Writing: the free room left in the buffer. Reading: the loaded bytes not yet handed out.
    std::int32_t count_ = 0;
    // Reading: how many bytes the last load brought; the unread ones are the last `count_` of them.
    std::int32_t fill_ = 0;
    bool reading_ = true;
    // Set by the first write the system did not take whole; the file takes no more bytes after it.
    bool write_failed_ = false;
};

} // namespace lum
