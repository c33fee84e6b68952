// tests/process/command_line_test.cpp: composing a command line, splitting one by the Windows rules, the shell's
// folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/process/command_line.h"

namespace lum {
namespace {

TEST(CommandLine, QuotesTheProgramOnceAndAddsParametersAfterOneSpace) {
    EXPECT_EQ(compose_command_line("ipconfig", "/all"), "\"ipconfig\" /all");
    EXPECT_EQ(compose_command_line("\"C:\\Program Files\\x.exe\"", "-v"), "\"C:\\Program Files\\x.exe\" -v");
    EXPECT_EQ(compose_command_line("route", ""), "\"route\"");
    EXPECT_EQ(compose_command_line("a b", "\"x y\" z"), "\"a b\" \"x y\" z");
}

TEST(CommandLine, SplitsLikeTheMicrosoftRuntime) {
    using Words = std::vector<std::string>;
    const struct {
        const char* line;
        Words words;
    } cases[] = {
        {"\"ping\" -w 1 8.8.8.8", {"ping", "-w", "1", "8.8.8.8"}},
        {"\"C:\\dir with space\\tool.exe\" a", {"C:\\dir with space\\tool.exe", "a"}},
        {"tool  a\t b ", {"tool", "a", "b"}},
        {"t \"a b\" c", {"t", "a b", "c"}},
        {"t \"\" x", {"t", "", "x"}},
        {"t a\\b c\\\\d", {"t", "a\\b", "c\\\\d"}},
        {"t \"a\\\"b\"", {"t", "a\"b"}},
        {"t a\\\\\"b c\"", {"t", "a\\b c"}},
        {"t a\\\\\\\"b", {"t", "a\\\"b"}},
        {"t \"tail\\\\\"", {"t", "tail\\"}},
        {"t \"a\"\"b\"", {"t", "a\"b"}},
        {"t ab\"c d\"ef", {"t", "abc def"}},
        {"t \"unclosed arg", {"t", "unclosed arg"}},
        {"\"prog\"x y", {"progx", "y"}},
        {"\"C:\\a\\\" b", {"C:\\a\\", "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split_command_line(c.line), c.words) << c.line;
}

TEST(CommandLine, ShellRunsADocumentInItsOwnFolder) {
    EXPECT_EQ(shell_directory("C:\\dir\\report.txt", ""), "C:\\dir\\");
    EXPECT_EQ(shell_directory("C:\\dir\\report.txt", "D:\\work"), "D:\\work");
    EXPECT_EQ(shell_directory("http://nettest.lumora.example/?lumnettest", ""), "");
    EXPECT_EQ(shell_directory("\\lumtest.txt", ""), "");
    EXPECT_EQ(shell_directory("a\\b\\c", ""), "a\\b\\");
    EXPECT_EQ(shell_directory("/tmp/run/lumtest.txt", "", '/'), "/tmp/run/");
    EXPECT_EQ(shell_directory("/lumtest.txt", "", '/'), "");
}

} // namespace
} // namespace lum
