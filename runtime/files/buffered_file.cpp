// runtime/files/buffered_file.cpp: buffered reads and writes of one open file, 4096 bytes at a time.
#include "runtime/files/buffered_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lum {

BufferedFile::BufferedFile(OsFile file) : file_(std::move(file)), buffer_(std::make_unique<char[]>(BUFFER_SIZE)) {}

BufferedFile::~BufferedFile() {
    if (!reading_) write_out_pending();
}

void BufferedFile::begin_writing() {
    if (!reading_) return;
    if (count_ > 0) file_.move_back(count_);
    reading_ = false;
    count_ = BUFFER_SIZE;
}

void BufferedFile::begin_reading() {
    if (reading_) return;
    write_out_pending();
    reading_ = true;
    count_ = 0;
    fill_ = 0;
}

// A failed write is lost: the buffer is emptied either way.
void BufferedFile::write_out_pending() {
    const std::int32_t used = BUFFER_SIZE - count_;
    if (used > 0) write_through(buffer_.get(), used);
    count_ = BUFFER_SIZE;
}

// After the first write that the system did not take whole (a full disk), nothing more is written:
// were space to free up later, the bytes after the gap would be glued to a cut line, and the file would
// no longer be what was written up to the fault.
std::int32_t BufferedFile::write_through(const char* from, std::int32_t size) {
    if (write_failed_) return 0;
    const std::int32_t written = file_.write(from, size);
    if (written < size) write_failed_ = true;
    return written;
}

std::int32_t BufferedFile::write(const char* from, std::int32_t size) {
    if (size <= 0 || write_failed_) return 0;
    begin_writing();
    if (count_ > size) {
        std::memcpy(buffer_.get() + (BUFFER_SIZE - count_), from, static_cast<std::size_t>(size));
        count_ -= size;
        return size;
    }
    // Writing out first, even when the piece would fill the buffer exactly, keeps one byte always free.
    write_out_pending();
    if (size >= BUFFER_SIZE) return write_through(from, size);
    std::memcpy(buffer_.get(), from, static_cast<std::size_t>(size));
    count_ -= size;
    return size;
}

std::int32_t BufferedFile::take_loaded(char* into, std::int32_t size) {
    const std::int32_t taken = std::min(size, count_);
    if (taken > 0) std::memcpy(into, buffer_.get() + (fill_ - count_), static_cast<std::size_t>(taken));
    count_ -= taken;
    return taken;
}

std::int32_t BufferedFile::read(char* into, std::int32_t size) {
    if (size <= 0) return 0;
    begin_reading();
    const std::int32_t from_buffer = take_loaded(into, size);
    const std::int32_t missing = size - from_buffer;
    if (missing == 0) return size;
    if (missing >= BUFFER_SIZE) {
        count_ = 0;
        fill_ = 0;
        return from_buffer + file_.read(into + from_buffer, missing);
    }
    fill_ = file_.read(buffer_.get(), BUFFER_SIZE);
    count_ = fill_;
    return from_buffer + take_loaded(into + from_buffer, missing);
}

void BufferedFile::unread_one() {
    if (reading_ && count_ < fill_) ++count_;
}

} // namespace lum
