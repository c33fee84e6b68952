// tests/files/full_disk_posix_test.cpp: a write the system refuses part-way (a full disk) leaves the file as written up
// to the fault.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/files/files.h"
#include "test_support.h"

namespace lum {
namespace {

// A file size limit makes the system refuse writes past it, as a full disk does, and lifting it
// again is the disk gaining room: e.g. when the previous run's download log is emptied.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const { return ok_; }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
    bool ok_ = false;
};

std::string numbered_line(int number) { return "line " + std::to_string(number) + std::string(70, '.'); }

TEST(FullDisk, FileKeepsExactlyWhatWasWrittenBeforeTheFault) {
    const testing_support::ScratchFolder scratch;
    const std::string path = (scratch.path() / "lumtest.txt").string();
    std::string intended;
    {
        FileSizeLimit limit(10000);
        ASSERT_TRUE(limit.ok());
        ASSERT_NE(create_text_file(0, path), 0);
        int number = 0;
        for (; intended.size() < 30000; ++number) {
            write_text_line(0, numbered_line(number));
            intended += numbered_line(number) + "\r\n";
        }
        // Room again: whatever comes now must not be glued to the cut line.
        limit.lift();
        for (int more = 0; more < 200; ++more)
            write_text_line(0, numbered_line(number + more));
        close_text_file(0);
    }
    std::ifstream in(path, std::ios::binary);
    const std::string on_disk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(on_disk.size(), 10000u) << "the disk took all it had room for";
    EXPECT_TRUE(intended.compare(0, on_disk.size(), on_disk) == 0)
        << "the file is not what was written up to the fault";
}

TEST(FullDisk, LinesAfterTheFaultAreNotAccepted) {
    const testing_support::ScratchFolder scratch;
    const std::string path = (scratch.path() / "lumtest.txt").string();
    FileSizeLimit limit(100);
    ASSERT_TRUE(limit.ok());
    ASSERT_NE(create_text_file(0, path), 0);
    for (int number = 0; number < 100; ++number)
        write_text_line(0, numbered_line(number));
    limit.lift();
    EXPECT_EQ(write_text_line(0, "after"), 0);
    close_text_file(0);
}

} // namespace
} // namespace lum
