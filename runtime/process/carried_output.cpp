// runtime/process/carried_output.cpp: the line reader behind read_program_line, shared by both platforms.
#include "runtime/process/carried_output.h"

#include <algorithm>
#include <cstring>

namespace lum {

// Tools end their lines with LF or CR LF, so the LF is found first with memchr and only the bytes before
// it are searched for a CR; both searches run word-wide rather than byte by byte.
std::size_t CarriedOutput::find_line_end(std::size_t from) const {
    if (from >= end_) return end_;
    const char* data = buffer_.data();
    const void* lf = std::memchr(data + from, '\n', end_ - from);
    const std::size_t stop = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : end_;
    const void* cr = std::memchr(data + from, '\r', stop - from);
    return cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : stop;
}

bool CarriedOutput::holds_line() const {
    const std::size_t found = find_line_end(begin_);
    return found < end_ && !(found + 1 == end_ && buffer_[found] == '\r');
}

// A CR LF pair is one line end; what follows it stays held for the next line.
std::string CarriedOutput::take_line(std::size_t line_end) {
    std::string line(buffer_.data() + begin_, line_end - begin_);
    std::size_t next = line_end + 1;
    if (buffer_[line_end] == '\r' && next < end_ && buffer_[next] == '\n') ++next;
    begin_ = next;
    if (begin_ == end_) begin_ = end_ = 0;
    return line;
}

// The output has ended: the bytes held are the last line, and a CR at their end is its line end.
std::string CarriedOutput::take_rest() {
    std::size_t last = end_;
    if (last > begin_ && buffer_[last - 1] == '\r') --last;
    std::string line(buffer_.data() + begin_, last - begin_);
    begin_ = end_ = 0;
    return line;
}

void CarriedOutput::move_to_front() {
    if (begin_ == 0) return;
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
}

std::string CarriedOutput::read_line(const ReadSome& read_some) {
    // Each call works as if in a fresh block holding the carried bytes: its room is what that block
    // has left, so one long line does not make the later reads larger.
    std::size_t limit = std::max<std::size_t>(BLOCK, size());
    std::size_t scan = begin_;
    for (;;) {
        const std::size_t found = find_line_end(scan);
        const bool undecided_cr = found + 1 == end_ && buffer_[found] == '\r';
        if (found < end_ && !undecided_cr) return take_line(found);
        // Scanning resumes at the undecided CR, or after the bytes already scanned.
        scan = found - begin_;
        move_to_front();
        std::size_t room = limit - size();
        if (room < static_cast<std::size_t>(LOW_ROOM)) {
            limit = size() + BLOCK;
            room = BLOCK;
        }
        if (buffer_.size() < limit) buffer_.resize(limit);
        const std::int32_t got = read_some(buffer_.data() + end_, static_cast<std::int32_t>(room));
        if (got <= 0) return take_rest();
        end_ += static_cast<std::size_t>(got);
    }
}

void CarriedOutput::clear() {
    std::vector<char>().swap(buffer_);
    begin_ = end_ = 0;
}

} // namespace lum
