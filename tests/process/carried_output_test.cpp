// tests/process/carried_output_test.cpp: the line reader over scripted reads: line ends split anywhere, block sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/process/carried_output.h"

namespace lum {
namespace {

using Lines = std::vector<std::string>;

// Hands out the given chunks one per read (cut to the room offered), then the end of the output.
struct ScriptedOutput {
    explicit ScriptedOutput(std::vector<std::string> script = {}) : chunks(std::move(script)) {}

    std::vector<std::string> chunks;
    std::size_t next = 0;
    std::vector<std::int32_t> rooms;

    std::int32_t operator()(char* into, std::int32_t room) {
        rooms.push_back(room);
        if (next == chunks.size()) return 0;
        std::string& chunk = chunks[next];
        const std::size_t count = std::min(chunk.size(), static_cast<std::size_t>(room));
        std::memcpy(into, chunk.data(), count);
        chunk.erase(0, count);
        if (chunk.empty()) ++next;
        return static_cast<std::int32_t>(count);
    }
};

// The run's reading loop: lines until the output has ended and nothing is held.
Lines read_all(ScriptedOutput& output) {
    CarriedOutput carried;
    const ReadSome read_some = [&output](char* into, std::int32_t room) { return output(into, room); };
    Lines lines;
    while (output.next < output.chunks.size() || !carried.empty())
        lines.push_back(carried.read_line(read_some));
    return lines;
}

TEST(CarriedOutput, SplitsAtEveryKindOfLineEndWhereverTheReadsFall) {
    const struct {
        std::vector<std::string> chunks;
        Lines lines;
    } cases[] = {
        {{"a\r\nb\nc\rd"}, {"a", "b", "c", "d"}},
        {{"a\r", "\nb\n"}, {"a", "b"}}, // CR LF split across two reads is one line end
        {{"a\r", "b\n"}, {"a", "b"}},   // a CR whose next read brings no LF ends the line alone
        {{"x\n\n"}, {"x", ""}},
        {{"last\r"}, {"last"}}, // a lone CR at the very end is the last line's end
        {{"tail"}, {"tail"}},
        {{"a\n\rb"}, {"a", "", "b"}}, // LF then CR: a line end, then an empty line
        {{"a", "b", "c\n"}, {"abc"}},
        {{"\r\n"}, {""}},
    };
    for (const auto& c : cases) {
        ScriptedOutput output(c.chunks);
        EXPECT_EQ(read_all(output), c.lines) << ::testing::PrintToString(c.chunks);
    }
}

TEST(CarriedOutput, LongLineComesBackWhole) {
    const std::string line(100000, 'x');
    ScriptedOutput output;
    for (std::size_t at = 0; at < line.size(); at += 4096)
        output.chunks.push_back(line.substr(at, 4096));
    output.chunks.push_back("\nnext\n");
    EXPECT_EQ(read_all(output), (Lines{line, "next"}));
}

// Each call has a 4096-byte block; the bytes held from before take part of it, and it grows by
// 4096 only when less than 512 bytes of room are left.
TEST(CarriedOutput, ReadsInBlocksAndGrowsWhenRoomRunsLow) {
    ScriptedOutput output(std::vector<std::string>(10, std::string(1000, 'y')));
    output.chunks.push_back("\n");
    CarriedOutput carried;
    const ReadSome read_some = [&output](char* into, std::int32_t room) { return output(into, room); };
    EXPECT_EQ(carried.read_line(read_some), std::string(10000, 'y'));
    const std::vector<std::int32_t> rooms = {4096, 3096, 2096, 1096, 4096, 3096, 2096, 1096, 4096, 3096, 2096};
    EXPECT_EQ(output.rooms, rooms);
}

TEST(CarriedOutput, HeldBytesShrinkTheNextCallsRoom) {
    ScriptedOutput output({"a\nbcd", "e\n"});
    CarriedOutput carried;
    const ReadSome read_some = [&output](char* into, std::int32_t room) { return output(into, room); };
    EXPECT_EQ(carried.read_line(read_some), "a");
    EXPECT_EQ(carried.size(), 3u);
    EXPECT_EQ(carried.read_line(read_some), "bcde");
    EXPECT_EQ(output.rooms, (std::vector<std::int32_t>{4096, 4093}));
    EXPECT_TRUE(carried.empty());
}

TEST(CarriedOutput, EndedOutputGivesEmptyLines) {
    ScriptedOutput output;
    CarriedOutput carried;
    const ReadSome read_some = [&output](char* into, std::int32_t room) { return output(into, room); };
    EXPECT_EQ(carried.read_line(read_some), "");
    EXPECT_EQ(carried.read_line(read_some), "");
}

} // namespace
} // namespace lum
