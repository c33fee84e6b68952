// tests/server/multipart_reader_test.cpp: the form reader gives each part's bytes back exactly, however the body is
// cut.
#include "server/upload/multipart_reader.h"
#include "tests/server/form_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace lumresults {
namespace {

using test_support::FormRecorder;
using test_support::ReadPart;

struct Outcome {
    std::vector<ReadPart> parts;
    bool every_feed_took = true;
    FormError error = FormError::None;
    bool operator==(const Outcome&) const = default;
};

// The body fed in pieces that end at `cuts` (ascending), then finished.
Outcome read_cut(std::string_view body, const std::string& boundary, const std::vector<std::size_t>& cuts) {
    FormRecorder recorder;
    MultipartReader reader(boundary, recorder);
    Outcome outcome;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        outcome.every_feed_took = reader.feed(body.substr(from, cut - from)) && outcome.every_feed_took;
        from = cut;
    }
    outcome.every_feed_took = reader.feed(body.substr(from)) && outcome.every_feed_took;
    outcome.error = reader.finish();
    EXPECT_EQ(reader.error(), outcome.error);
    EXPECT_TRUE(recorder.in_order);
    outcome.parts = std::move(recorder.parts);
    return outcome;
}

std::vector<std::size_t> every_offset(std::size_t size) {
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1; at < size; ++at)
        cuts.push_back(at);
    return cuts;
}

// What the reader makes of the whole body, checked to be the same for a cut at every offset (every
// `stride`th for long bodies) and for one byte at a time.
Outcome read_any_way(std::string_view body, const std::string& boundary, std::size_t stride = 1) {
    const Outcome whole = read_cut(body, boundary, {});
    for (std::size_t at = 0; at <= body.size(); at += stride) {
        EXPECT_EQ(read_cut(body, boundary, {at}), whole) << "cut at " << at;
    }
    EXPECT_EQ(read_cut(body, boundary, every_offset(body.size())), whole) << "one byte at a time";
    return whole;
}

std::string crlf_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// A body as the simplest encoder writes it: one part named "f" holding `content`.
std::string one_part_body(std::string_view content, std::string_view boundary = "FILEUPLOAD") {
    const std::string dash_boundary = "--" + std::string(boundary);
    return dash_boundary + "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n" + std::string(content) + "\r\n" +
           dash_boundary + "--\r\n";
}

TEST(MultipartReader, GivesBackTheProgramsReportExactlyHoweverTheBodyArrives) {
    const std::vector<std::string> report = {
        "Lumora Network Test v1.4 - 2026-12-07 18:30:02",
        "",
        "=== TEST 1 ===",
        "   Verbindungs-spezifisches DNS-Suffix: \x84\x94\x81", // the console's code page, not UTF-8
        "--FILEUPLOA",
        "--FILEUPLOADED",
        "--FILEUPLOAD-x",
        "  --FILEUPLOAD",
        "",
        "=== TEST END === 2026-12-07 18:38:59",
    };
    std::vector<std::string> body_lines = {
        "--FILEUPLOAD",
        "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'",
        "Content-Type: text/plain",
        "",
    };
    body_lines.insert(body_lines.end(), report.begin(), report.end());
    body_lines.insert(body_lines.end(), {"", "--FILEUPLOAD--"});

    const std::optional<std::string> boundary = form_boundary("multipart/form-Data; boundary=FILEUPLOAD");
    ASSERT_EQ(boundary, "FILEUPLOAD");
    const Outcome outcome = read_any_way(crlf_lines(body_lines), *boundary);
    EXPECT_EQ(outcome.error, FormError::None);
    const ReadPart expected{"userfile", "lumtest.log", "text/plain", crlf_lines(report), true};
    EXPECT_EQ(outcome.parts, std::vector<ReadPart>{expected});
}

TEST(MultipartReader, KeepsContentThatOnlyLooksLikeADelimiter) {
    const std::string long_padding = "\r\n--FILEUPLOAD" + std::string(65, ' ') + "\r\nafter";
    const std::string contents[] = {
        "",
        "\r",
        "\n",
        "\r\n",
        "\r\r\n",
        "abc\r",
        "\r\n-",
        "\r\n--",
        "--FILEUPLOAD\r\n", // no CR LF of its own before it: the header's empty line does not lend one
        "\r\n--FILEUPLOA",
        "\r\n--FILEUPLOAX\r\n",
        "\r\n--FILEUPLOADX",
        "\r\n--FILEUPLOAD-",
        "\r\n--FILEUPLOAD-x--",
        "\r\n--FILEUPLOAD \tx",
        "\r\n--FILEUPLOAD\r",
        "\r\n--FILEUPLOAD\rx",
        "\r\n--FILEUPLOAD \r\r\n--FILEUPLOADZ",
        "\r\n--FILEUPLOAD\n",
        "\r\n--FILEUPLOAD\r\r\n--FILEUPLOAD-\r\n",
        "\r\n\r\n--FILEUPLOA\r",
        long_padding, // more padding than any sender writes: content
        std::string(5000, '-'),
    };
    for (const std::string& content : contents) {
        const Outcome outcome = read_any_way(one_part_body(content), "FILEUPLOAD");
        EXPECT_EQ(outcome.error, FormError::None) << content;
        ASSERT_EQ(outcome.parts.size(), 1u) << content;
        EXPECT_EQ(outcome.parts[0].content, content);
        EXPECT_TRUE(outcome.parts[0].ended);
    }
}

TEST(MultipartReader, HoldsBackOnlyWhatMayStillBeADelimiterLine) {
    struct Case {
        std::string content_so_far;
        std::string_view delivered;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"abc\r", "abc"},
        {"abc\r\n--FILEUP", "abc"},
        {"abc\r\n--FILEUPLOAD \t ", "abc"},
        {"abc\r\n--FILEUPLOAD-", "abc"},
        {"abc\r\n--FILEUPLOAD\r", "abc"},
        {"abc\r\n--FILEUPLOAX", "abc\r\n--FILEUPLOAX"},
        {"abc\r\n--FILEUPLOAD\rx", "abc\r\n--FILEUPLOAD\rx"},
        {"abc\r\n--FILEUPLOAD\r\r", "abc\r\n--FILEUPLOAD\r"},
    };
    const std::string head = "--FILEUPLOAD\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n";
    for (const Case& c : cases) {
        const std::string body = head + c.content_so_far;
        for (const auto& cuts : {std::vector<std::size_t>{}, every_offset(body.size())}) {
            FormRecorder recorder;
            MultipartReader reader("FILEUPLOAD", recorder);
            std::size_t from = 0;
            for (const std::size_t cut : cuts) {
                EXPECT_TRUE(reader.feed(std::string_view(body).substr(from, cut - from)));
                from = cut;
            }
            EXPECT_TRUE(reader.feed(std::string_view(body).substr(from)));
            ASSERT_EQ(recorder.parts.size(), 1u) << c.content_so_far;
            EXPECT_EQ(recorder.parts[0].content, c.delivered) << c.content_so_far;
        }
    }
    // A large report streams through: nothing of it waits for the body's end.
    FormRecorder recorder;
    MultipartReader reader("FILEUPLOAD", recorder);
    const std::string large(1 << 20, 'x');
    EXPECT_TRUE(reader.feed(head + large));
    ASSERT_EQ(recorder.parts.size(), 1u);
    EXPECT_EQ(recorder.parts[0].content.size(), large.size());
}

TEST(MultipartReader, ReadsBodiesAsOtherEncodersWriteThem) {
    struct Case {
        std::string_view what;
        std::string boundary;
        std::string body;
        std::vector<ReadPart> parts;
    };
    const Case cases[] = {
        {"curl: double quotes, octet-stream, a long dashed boundary",
         "------------------------abc123",
         "--------------------------abc123\r\n"
         "Content-Disposition: form-data; name=\"kind\"\r\n\r\n"
         "speed\r\n"
         "--------------------------abc123\r\n"
         "Content-Disposition: form-data; name=\"userfile\"; filename=\"lumtest.log\"\r\n"
         "Content-Type: application/octet-stream\r\n\r\n"
         "line one\r\nline two\r\n\r\n"
         "--------------------------abc123--\r\n",
         {{"kind", std::nullopt, "", "speed", true},
          {"userfile", "lumtest.log", "application/octet-stream", "line one\r\nline two\r\n", true}}},
        {"a script library: preamble, padding, lower-case names, an extra header, an empty file, an epilogue",
         "b1_5f0c9a",
         "This is a multi-part message.\r\n"
         "--b1_5f0c9a \t\r\n"
         "content-disposition: form-data; name=\"userfile\"; filename=\"lumtest.log\"\r\n"
         "content-length: 6\r\n\r\n"
         "report\r\n"
         "--b1_5f0c9a\r\n"
         "Content-Disposition: form-data; name=\"empty\"; filename=\"\"\r\n"
         "Content-Type: text/plain\r\n\r\n"
         "\r\n"
         "--b1_5f0c9a--  and whatever follows is epilogue\r\n--b1_5f0c9a\r\n",
         {{"userfile", "lumtest.log", "", "report", true}, {"empty", "", "text/plain", "", true}}},
    };
    for (const Case& c : cases) {
        const Outcome outcome = read_any_way(c.body, c.boundary);
        EXPECT_EQ(outcome.error, FormError::None) << c.what;
        EXPECT_TRUE(outcome.every_feed_took) << c.what;
        EXPECT_EQ(outcome.parts, c.parts) << c.what;
    }
}

TEST(MultipartReader, TellsABrokenBodyFromACutOne) {
    const std::string part = "--B\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n";
    const std::string at_limit_header =
        "X: " + std::string(MultipartReader::PART_HEADER_LIMIT - 7, 'h') + "\r\n\r\n"; // exactly the limit
    struct Case {
        std::string body;
        FormError error;
        bool feeds_take; // an error found while feeding shows at once; a cut body only when finished
        std::size_t parts_begun;
    };
    const Case cases[] = {
        {"", FormError::Malformed, true, 0},
        {"no delimiter anywhere\r\n", FormError::Malformed, true, 0},
        {"--B", FormError::Malformed, true, 0},
        {"--B--\r\n", FormError::Malformed, false, 0},
        {"--B\r\n", FormError::Truncated, true, 0},
        {"--B\r\nContent-Disposition: form-da", FormError::Truncated, true, 0},
        {part + "abc", FormError::Truncated, true, 1},
        {part + "abc\r\n--B", FormError::Truncated, true, 1},
        {part + "abc\r\n--B-", FormError::Truncated, true, 1},
        {part + "abc\r\n--B\r\n", FormError::Truncated, true, 1},
        {"--B\r\nno colon\r\n\r\nx\r\n" + part + "x\r\n--B--\r\n", FormError::Malformed, false, 0},
        {"--B\r\nContent-Disposition: form-data; name=\"f\r\n\r\nx\r\n--B--\r\n", FormError::Malformed, false, 0},
        {part + "x\r\n--B\r\nContent-Type: a\nb\r\n\r\nx\r\n--B--\r\n", FormError::Malformed, false, 1},
        {"--B\r\n" + at_limit_header + "x\r\n--B--\r\n", FormError::None, true, 1},
        {"--B\r\nX" + at_limit_header + "x\r\n--B--\r\n", FormError::HeaderTooLarge, false, 0},
        {"--B\r\n" + std::string(100000, 'h'), FormError::HeaderTooLarge, false, 0},
    };
    for (const Case& c : cases) {
        const Outcome outcome = read_any_way(c.body, "B", c.body.size() > 1000 ? 397 : 1);
        EXPECT_EQ(outcome.error, c.error) << c.body.substr(0, 80);
        EXPECT_EQ(outcome.every_feed_took, c.feeds_take) << c.body.substr(0, 80);
        EXPECT_EQ(outcome.parts.size(), c.parts_begun) << c.body.substr(0, 80);
    }
}

} // namespace
} // namespace lumresults
