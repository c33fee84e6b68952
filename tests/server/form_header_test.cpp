// tests/server/form_header_test.cpp: the form's boundary from its content type, and a part's header lines.
#include "server/upload/form_header.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lumresults {
namespace {

TEST(FormBoundary, TakesTheBoundaryOfAFormInAnySpelling) {
    const std::string longest(70, 'b');
    struct Case {
        std::string content_type;
        std::optional<std::string> boundary;
    };
    const Case cases[] = {
        {"multipart/form-Data; boundary=FILEUPLOAD", "FILEUPLOAD"}, // as the program sends it
        {"multipart/form-data; boundary=------------------------abc123", "------------------------abc123"},
        {"Multipart/Form-Data;boundary=\"a b:c=?\"", "a b:c=?"},
        {"multipart/form-data; charset=utf-8; BOUNDARY=xyz", "xyz"},
        {" multipart/form-data ; boundary = xyz ;", "xyz"},
        {"multipart/form-data; boundary='xyz'", "'xyz'"}, // single quotes are boundary characters here
        {"multipart/form-data; boundary=" + longest, longest},
        {"multipart/form-data; boundary=" + longest + "b", std::nullopt},
        {"multipart/form-data; boundary=", std::nullopt},
        {"multipart/form-data; boundary=\"xyz \"", std::nullopt}, // a blank may not end it
        {"multipart/form-data; boundary=ab@c", std::nullopt},
        {"multipart/form-data; boundary=\"ab\\\"c\"", std::nullopt},
        {"multipart/form-data; boundary=\"xyz", std::nullopt},
        {"multipart/form-data; boundary=a; boundary=b", std::nullopt},
        {"multipart/form-data; boundary=\"a\" junk", std::nullopt},
        {"multipart/form-data; junk; boundary=a", std::nullopt},
        {"multipart/form-data", std::nullopt},
        {"multipart/mixed; boundary=xyz", std::nullopt},
        {"multipart/form-data-x; boundary=xyz", std::nullopt},
        {"text/plain; boundary=xyz", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(form_boundary(c.content_type), c.boundary) << c.content_type;
}

TEST(PartHeader, ReadsNameFileNameAndTypeInEveryQuoting) {
    struct Case {
        std::string_view section;
        std::string_view name;
        std::optional<std::string_view> file_name;
        std::string_view content_type;
    };
    constexpr Case cases[] = {
        {"Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\nContent-Type: text/plain",
         "userfile", "lumtest.log", "text/plain"},
        {"content-disposition: form-data; name=\"a\\\"b\"; filename=\"C:\\\\x;y.log\"\r\nCONTENT-TYPE: "
         "application/octet-stream ",
         "a\"b", "C:\\x;y.log", "application/octet-stream"},
        {"Content-Disposition:form-data;name=bare;filename=", "bare", "", ""},
        {"Content-Disposition: form-data; name=\"f\"", "f", std::nullopt, ""},
        {"Content-Disposition: form-data; name=\"it's\"; filename=my report.log", "it's", "my report.log", ""},
        {"Content-Disposition: form-data; name='a;b'", "a;b", std::nullopt, ""},
        {"Content-Disposition: form-data; filename*=UTF-8''x.log; name=n", "n", std::nullopt, ""},
        {"X-Other: 1\r\nContent-Disposition: form-data;\r\n\tname=\"folded\"", "folded", std::nullopt, ""},
        {"Content-Type: text/plain", "", std::nullopt, "text/plain"},
        {"", "", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const std::optional<FormPart> part = parse_part_header(c.section);
        ASSERT_TRUE(part) << c.section;
        EXPECT_EQ(part->name, c.name) << c.section;
        EXPECT_EQ(part->file_name, c.file_name) << c.section;
        EXPECT_EQ(part->content_type, c.content_type) << c.section;
    }
}

TEST(PartHeader, RefusesLinesItCannotReadWithoutGuessing) {
    constexpr std::string_view refused[] = {
        "Content-Disposition: form-data; name=\"a\" junk",
        "Content-Disposition: form-data; name",
        "Content-Disposition: ; name=a",
        "Content-Disposition: form-data; name='a",
        "Content-Disposition: form-data; name=a; name=b",
        "Content-Disposition: form-data; filename=a; filename=b",
        "Content-Disposition: form-data; name=a\r\nContent-Disposition: form-data; name=b",
        "Content-Type: a\r\nContent-Type: b",
        "no colon here",
        " Content-Type: starts as a continuation",
        "Bad Name: x",
        ": no name",
        "Content-Type: text/plain\nX: bare line feed",
        "Content-Type: text/plain\rX: bare carriage return",
    };
    for (const std::string_view section : refused)
        EXPECT_FALSE(parse_part_header(section)) << section;
}

} // namespace
} // namespace lumresults
