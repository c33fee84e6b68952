// tests/fuzz/fuzz_carried_output.cpp: the program runner's line reader, fed the same output in arbitrary reads.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/process/carried_output.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

// A pipe that delivers `output` in pieces of the given sizes (then whatever is left in one piece), each
// cut short when the reader offers less room; once all is delivered it reports the end with 0.
class ScriptedPipe {
public:
    ScriptedPipe(std::string output, std::vector<std::size_t> pieces)
        : output_(std::move(output)), pieces_(std::move(pieces)) {}

    std::int32_t read(char* into, std::int32_t room) {
        require(room > 0, "the reader offers room on every read");
        ++reads_;
        const std::size_t left = output_.size() - delivered_;
        if (left == 0) {
            ended_ = true;
            return 0;
        }
        std::size_t piece = next_piece_ < pieces_.size() ? pieces_[next_piece_++] : left;
        piece = std::min({std::max<std::size_t>(piece, 1), left, static_cast<std::size_t>(room)});
        std::memcpy(into, output_.data() + delivered_, piece);
        delivered_ += piece;
        return static_cast<std::int32_t>(piece);
    }
    bool ended() const { return ended_; }
    std::size_t reads() const { return reads_; }

private:
    std::string output_;
    std::vector<std::size_t> pieces_;
    std::size_t delivered_ = 0;
    std::size_t next_piece_ = 0;
    std::size_t reads_ = 0;
    bool ended_ = false;
};

// Every line up to the end of the output, checking that holds_line() tells whether a call needs a read.
std::vector<std::string> read_all_lines(ScriptedPipe& pipe) {
    CarriedOutput carried;
    const ReadSome read_some = [&pipe](char* into, std::int32_t room) { return pipe.read(into, room); };
    std::vector<std::string> lines;
    while (!pipe.ended()) {
        const bool held = carried.holds_line();
        const std::size_t reads_before = pipe.reads();
        const std::string line = carried.read_line(read_some);
        require(held == (pipe.reads() == reads_before), "holds_line() is true exactly when no read is needed");
        require(line.find_first_of("\r\n") == std::string::npos, "no line contains CR or LF");
        lines.push_back(line);
    }
    require(carried.empty(), "nothing is held after the end of the output");
    return lines;
}

std::vector<std::size_t> piece_sizes(FuzzedDataProvider& data) {
    std::vector<std::size_t> pieces(data.ConsumeIntegralInRange<std::size_t>(0, 64));
    for (std::size_t& piece : pieces)
        piece = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::size_t>(1, 16)
                                   : data.ConsumeIntegralInRange<std::size_t>(1, 9000);
    return pieces;
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    FuzzedDataProvider data(bytes, size);
    const std::vector<std::size_t> pieces = piece_sizes(data);
    const std::string output = data.ConsumeRemainingBytesAsString();

    ScriptedPipe split_pipe(output, pieces);
    const std::vector<std::string> split_lines = read_all_lines(split_pipe);
    ScriptedPipe whole_pipe(output, {});
    const std::vector<std::string> whole_lines = read_all_lines(whole_pipe);
    require(split_lines == whole_lines, "the lines do not depend on how the output was split into reads");

    const LineRules rules{.zero_ends_line = false, .keep_empty_last = true, .final_cr_ends_last = true};
    require(split_lines == naive_lines(output, rules), "the lines are those of the naive splitter");
    std::string kept;
    for (const std::string& line : split_lines)
        kept += line;
    std::string expected = output;
    std::erase_if(expected, [](char c) { return c == '\r' || c == '\n'; });
    require(kept == expected, "every byte that is not a line end is kept, in order");
    return 0;
}
