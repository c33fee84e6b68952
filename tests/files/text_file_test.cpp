// tests/files/text_file_test.cpp: numbered text files: line ends, buffer boundaries, numbers and teardown.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "runtime/files/buffered_file.h"
#include "runtime/files/files.h"

namespace fs = std::filesystem;

namespace lum {
namespace {

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        do {
            dir_ = fs::temp_directory_path() / ("lum_files_test_" + std::to_string(random()));
        } while (!fs::create_directory(dir_));
    }

    void TearDown() override {
        close_all_files();
        fs::remove_all(dir_);
    }

    // The path as the program spells it: a Windows path, which the POSIX backend translates.
    std::string path(const std::string& name) const { return dir_.string() + "\\" + name; }

    std::string contents(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void put(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }

    std::uintmax_t size_on_disk(const std::string& name) const { return fs::file_size(dir_ / name); }

    // The run's own reading loop.
    static std::vector<std::string> read_all(ObjectNumber number) {
        std::vector<std::string> lines;
        while (!at_end_of_file(number))
            lines.push_back(read_text_line(number));
        return lines;
    }

    fs::path dir_;
};

using Lines = std::vector<std::string>;

TEST_F(TextFileTest, WritesEachLineWithCrLf) {
    ASSERT_NE(create_text_file(0, path("log.txt")), 0);
    EXPECT_EQ(write_text_line(0, "=== TEST START ==="), 20);
    EXPECT_EQ(write_text_line(0, ""), 2);
    close_text_file(0);
    EXPECT_EQ(contents("log.txt"), "=== TEST START ===\r\n\r\n");
}

TEST_F(TextFileTest, ReadsEveryKindOfLineEnd) {
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"last\r", {"last"}},
        {"a\r\n", {"a"}},
        {"\n\n", {"", ""}},
        {"\r\r\n", {"", ""}},
        {std::string("ab\0cd\r\n", 7), {"ab", "cd"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        put("in.txt", c.bytes);
        ASSERT_NE(open_text_file(1, path("in.txt")), 0);
        EXPECT_EQ(read_all(1), c.lines) << "bytes: " << c.bytes;
        EXPECT_EQ(read_text_line(1), "");
        close_text_file(1);
    }
}

TEST_F(TextFileTest, LineEndSplitAcrossTwoLoads) {
    const std::string first(BufferedFile::BUFFER_SIZE - 1, 'a');
    put("in.txt", first + "\r\nnext\r" + "b");
    ASSERT_NE(open_text_file(1, path("in.txt")), 0);
    EXPECT_EQ(read_all(1), (Lines{first, "next", "b"}));
    close_text_file(1);

    // A lone CR as the last byte of a load: the byte after it, in the next load, begins the next line.
    put("in.txt", first + "\rz");
    ASSERT_NE(open_text_file(1, path("in.txt")), 0);
    EXPECT_EQ(read_all(1), (Lines{first, "z"}));
}

TEST_F(TextFileTest, LongLineRoundTripsWhole) {
    std::string long_line;
    for (int i = 0; i < 10000; ++i)
        long_line.push_back(static_cast<char>('a' + i % 26));
    ASSERT_NE(create_text_file(0, path("long.txt")), 0);
    EXPECT_EQ(write_text_line(0, long_line), 10002);
    write_text_line(0, "tail");
    close_text_file(0);
    ASSERT_NE(open_text_file(1, path("long.txt")), 0);
    EXPECT_EQ(read_all(1), (Lines{long_line, "tail"}));
}

TEST_F(TextFileTest, BufferIsWrittenOutBeforeItWouldBeFull) {
    ASSERT_NE(create_text_file(0, path("out.txt")), 0);
    write_text_line(0, std::string(4094, 'x'));
    // The CR LF would have filled the buffer exactly, so the 4094 bytes went out first.
    EXPECT_EQ(size_on_disk("out.txt"), 4094u);
    write_text_line(0, std::string(4091, 'y'));
    EXPECT_EQ(size_on_disk("out.txt"), 4094u);
    write_text_line(0, "z");
    EXPECT_EQ(size_on_disk("out.txt"), 4094u + 4095u);
    close_text_file(0);
    EXPECT_EQ(contents("out.txt"), std::string(4094, 'x') + "\r\n" + std::string(4091, 'y') + "\r\nz\r\n");
}

TEST_F(TextFileTest, PieceOfBufferSizeGoesStraightToDisk) {
    const std::string block(BufferedFile::BUFFER_SIZE, 'q');
    ASSERT_NE(create_text_file(0, path("out.txt")), 0);
    write_text_line(0, "ab");
    EXPECT_EQ(size_on_disk("out.txt"), 0u);
    EXPECT_EQ(write_text_line(0, block), 4098);
    EXPECT_EQ(size_on_disk("out.txt"), 4u + 4096u);
    close_text_file(0);
    EXPECT_EQ(contents("out.txt"), "ab\r\n" + block + "\r\n");
}

TEST_F(TextFileTest, ReadingAfterWritingWritesOutAndWritingGoesOn) {
    ASSERT_NE(create_text_file(0, path("both.txt")), 0);
    write_text_line(0, "a");
    EXPECT_TRUE(at_end_of_file(0));
    EXPECT_EQ(size_on_disk("both.txt"), 3u);
    EXPECT_EQ(read_text_line(0), "");
    write_text_line(0, "b");
    close_text_file(0);
    EXPECT_EQ(contents("both.txt"), "a\r\nb\r\n");
}

// Writing after reading must land right after the last byte handed out, not after the loaded block.
// Only an outside writer can add bytes behind the program's own position; Windows' sharing refuses one.
TEST_F(TextFileTest, WritingAfterReadingLandsAfterLastByteRead) {
    ASSERT_NE(create_text_file(0, path("both.txt")), 0);
    write_text_line(0, "a");
    EXPECT_TRUE(at_end_of_file(0));
    std::ofstream outside(dir_ / "both.txt", std::ios::binary | std::ios::app);
    if (!outside) GTEST_SKIP() << "this system refuses a second writer";
    outside << "b\r\nc\r\n" << std::flush;
    EXPECT_EQ(read_text_line(0), "b");
    write_text_line(0, "X");
    close_text_file(0);
    EXPECT_EQ(contents("both.txt"), "a\r\nb\r\nX\r\n");
}

TEST_F(TextFileTest, WritingToFileOpenForReadingChangesNothing) {
    put("in.txt", "one\r\ntwo\r\n");
    ASSERT_NE(open_text_file(1, path("in.txt")), 0);
    EXPECT_EQ(read_text_line(1), "one");
    write_text_line(1, "X");
    close_text_file(1);
    EXPECT_EQ(contents("in.txt"), "one\r\ntwo\r\n");
}

TEST_F(TextFileTest, CreateUnderNumberOpenForReadingStartsEmpty) {
    put("log.txt", "old\r\n");
    ASSERT_NE(open_text_file(1, path("log.txt")), 0);
    EXPECT_EQ(read_text_line(1), "old");
    ASSERT_NE(create_text_file(1, path("log.txt")), 0);
    EXPECT_TRUE(at_end_of_file(1));
    write_text_line(1, "new");
    close_text_file(1);
    EXPECT_EQ(contents("log.txt"), "new\r\n");
}

TEST_F(TextFileTest, FailedCreateStillClosesTheOldFile) {
    ASSERT_NE(create_text_file(0, path("kept.txt")), 0);
    write_text_line(0, "kept");
    EXPECT_EQ(create_text_file(0, path("missing\\new.txt")), 0);
    EXPECT_EQ(write_text_line(0, "lost"), 0);
    EXPECT_TRUE(at_end_of_file(0));
    EXPECT_EQ(contents("kept.txt"), "kept\r\n");
}

TEST_F(TextFileTest, MissingFileGivesNoLines) {
    EXPECT_EQ(open_text_file(1, path("missing.txt")), 0);
    EXPECT_TRUE(read_all(1).empty());
}

TEST_F(TextFileTest, NumbersNotOpenDoNothing) {
    ASSERT_NE(create_text_file(2, path("closed.txt")), 0);
    close_text_file(2);
    for (ObjectNumber number :
         {ObjectNumber{2}, ObjectNumber{5}, ObjectNumber{16}, ObjectNumber{1000}, ObjectNumber{-7}, ANY_NUMBER}) {
        EXPECT_TRUE(at_end_of_file(number)) << number;
        EXPECT_EQ(read_text_line(number), "") << number;
        EXPECT_EQ(write_text_line(number, "x"), 0) << number;
        close_text_file(number);
    }
    EXPECT_EQ(create_text_file(-7, path("never.txt")), 0);
    EXPECT_FALSE(fs::exists(dir_ / "never.txt"));
}

TEST_F(TextFileTest, GivenNumbersReturnDistinctHandles) {
    const auto first = create_text_file(3, path("a.txt"));
    const auto second = create_text_file(4, path("b.txt"));
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
}

TEST_F(TextFileTest, AnyNumberFilesGetTheirOwnNumbers) {
    const ObjectNumber a = create_text_file(ANY_NUMBER, path("a.txt"));
    const ObjectNumber b = create_text_file(ANY_NUMBER, path("b.txt"));
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    write_text_line(a, "to a");
    write_text_line(b, "to b");
    close_text_file(a);
    EXPECT_EQ(write_text_line(a, "late"), 0);
    close_text_file(b);

    const ObjectNumber r = open_text_file(ANY_NUMBER, path("a.txt"));
    ASSERT_NE(r, 0);
    EXPECT_EQ(read_all(r), Lines{"to a"});
    close_text_file(r);
    EXPECT_EQ(contents("b.txt"), "to b\r\n");
}

TEST_F(TextFileTest, TeardownWritesOutFilesNeverClosed) {
    ASSERT_NE(create_text_file(0, path("zero.txt")), 0);
    const ObjectNumber any = create_text_file(ANY_NUMBER, path("any.txt"));
    ASSERT_NE(any, 0);
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        write_text_line(0, "line " + std::to_string(i));
        expected += "line " + std::to_string(i) + "\r\n";
    }
    write_text_line(any, "pending");
    close_all_files();
    EXPECT_EQ(contents("zero.txt"), expected);
    EXPECT_EQ(contents("any.txt"), "pending\r\n");
    EXPECT_EQ(write_text_line(0, "x"), 0);
    EXPECT_EQ(write_text_line(any, "x"), 0);
}

TEST_F(TextFileTest, CloseOfAnyNumberClosesEveryFile) {
    ASSERT_NE(create_text_file(0, path("a.txt")), 0);
    ASSERT_NE(create_text_file(1, path("b.txt")), 0);
    write_text_line(0, "a");
    write_text_line(1, "b");
    close_text_file(ANY_NUMBER);
    EXPECT_EQ(write_text_line(0, "x"), 0);
    EXPECT_EQ(write_text_line(1, "x"), 0);
    EXPECT_EQ(contents("a.txt") + contents("b.txt"), "a\r\nb\r\n");
}

TEST_F(TextFileTest, LargeReadsBypassTheBuffer) {
    std::string bytes;
    for (int i = 0; i < 10000; ++i)
        bytes.push_back(static_cast<char>('0' + i % 10));
    put("in.bin", bytes);
    BufferedFile file(OsFile::open_read(path("in.bin")));
    std::string got(10000, '\0');
    EXPECT_EQ(file.read(got.data(), 10), 10);
    EXPECT_EQ(file.read(got.data() + 10, 9000), 9000);
    EXPECT_EQ(file.read(got.data() + 9010, 1000), 990);
    EXPECT_EQ(file.read(got.data(), 1), 0);
    EXPECT_EQ(got, bytes);
}

TEST(PosixPath, TurnsBackslashesIntoSlashes) {
    EXPECT_EQ(posix_path("C:\\Temp\\lumtest.txt"), "C:/Temp/lumtest.txt");
    EXPECT_EQ(posix_path("/tmp/a b/c.txt"), "/tmp/a b/c.txt");
    EXPECT_EQ(posix_path(""), "");
}

} // namespace
} // namespace lum
