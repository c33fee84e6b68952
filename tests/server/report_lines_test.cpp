// tests/server/report_lines_test.cpp: a report's lines walked by cursor: every kind of line end, the last line
// without one, and a run of lines cut out of the report reading as the whole report's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/reports/report_lines.h"

namespace lum::reports {
namespace {

// Each line as "text@begin-end".
std::vector<std::string> walked(LineCursor cursor) {
    std::vector<std::string> lines;
    for (; !cursor.at_end(); cursor.next()) {
        const ReportLine& line = cursor.line();
        lines.push_back(std::string(line.text) + "@" + std::to_string(line.begin) + "-" + std::to_string(line.end));
    }
    return lines;
}

TEST(ReportLines, EveryLineEndAndTheLastLine) {
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a@0-1"}},
        {"a\r\nb\r\n", {"a@0-3", "b@3-6"}},
        {"a\nb", {"a@0-2", "b@2-3"}},           // no line end after the last line
        {"a\rb\r", {"a@0-2", "b@2-4"}},         // lone CRs
        {"a\n\rb", {"a@0-2", "@2-3", "b@3-4"}}, // LF CR is two line ends
        {"a\r\r\n", {"a@0-2", "@2-4"}},
        {"\r\n\n\r", {"@0-2", "@2-3", "@3-4"}}, // empty lines; the empty tail after them is none
    };
    for (const auto& [bytes, lines] : cases) {
        EXPECT_EQ(walked(LineCursor(bytes)), lines) << bytes;
        const LineCursor end = [&] {
            LineCursor cursor(bytes);
            while (!cursor.at_end())
                cursor.next();
            return cursor;
        }();
        EXPECT_EQ(end.number(), lines.size()) << bytes;
        LineCursor past = end;
        past.next();
        EXPECT_TRUE(past.at_end() && past.number() == lines.size() && past.offset() == bytes.size()) << bytes;
    }
}

// A section's range ends where the next line starts: cut there, its lines (a CR LF included) are the
// whole report's, and looking ahead never moves the cursor looked from.
TEST(ReportLines, ARangeReadsItsLinesAsTheWholeReport) {
    const std::string bytes = "head\r\none\rtwo\r\n\r\nnext";
    LineCursor cursor(bytes);
    cursor.next();
    EXPECT_TRUE(cursor.following().is("two"));
    EXPECT_TRUE(cursor.is("one"));
    LineCursor end = cursor.following().following();
    EXPECT_TRUE(end.at_empty_line());
    std::vector<std::string> lines;
    for (const ReportLine& line : LineRange(bytes, cursor, end.offset()))
        lines.push_back(std::string(line.text) + "@" + std::to_string(line.begin) + "-" + std::to_string(line.end));
    EXPECT_EQ(lines, (std::vector<std::string>{"one@6-10", "two@10-15"}));
    EXPECT_TRUE(LineRange(bytes, end, end.offset()).empty());
    EXPECT_TRUE(LineRange().empty());
}

} // namespace
} // namespace lum::reports
