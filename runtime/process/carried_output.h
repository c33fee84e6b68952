// runtime/process/carried_output.h: splits a program's output into lines, keeping what follows a line for the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lum {

// Reads up to `room` bytes into `into`; returns how many came, 0 once the output has ended (or failed).
using ReadSome = std::function<std::int32_t(char* into, std::int32_t room)>;

// The bytes already read from a pipe that lie after the last line handed out.
class CarriedOutput {
public:
    static constexpr std::int32_t BLOCK = 4096;
    static constexpr std::int32_t LOW_ROOM = 512;

    bool empty() const { return begin_ == end_; }

    // True when the bytes held already end a line, so that the next read_line needs no read.
    bool holds_line() const;
    std::size_t size() const { return end_ - begin_; }

    // The next line without its end. Reads are made in blocks: each call has room for BLOCK bytes,
    // and grows by BLOCK when less than LOW_ROOM is left. A CR that is the last byte held is not a
    // line end yet: an LF may follow in the next read. When the output ends, the bytes held are the
    // last line (without a final CR).
    std::string read_line(const ReadSome& read_some);

    // Frees the held bytes (the handle is being released).
    void clear();

private:
    // Position of the first CR or LF at or after `from`, or end_.
    std::size_t find_line_end(std::size_t from) const;
    std::string take_line(std::size_t line_end);
    std::string take_rest();
    void move_to_front();

    // Only [begin_, end_) is held; handing out a line moves begin_, so no byte is copied twice.
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace lum
