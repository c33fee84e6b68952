// tests/fuzz/fuzz_multipart.cpp: the form reader: cutting never changes what it finds, and what a plain
// encoder wrote comes back byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/upload/multipart_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"
#include "tests/server/form_recorder.h"

namespace lum::fuzz {
namespace {

using lumresults::FormError;
using lumresults::MultipartReader;

using lumresults::test_support::FormRecorder;
using lumresults::test_support::ReadPart;

struct Outcome {
    std::vector<ReadPart> parts;
    FormError error = FormError::None;
    bool operator==(const Outcome&) const = default;
};

// Piece lengths from a small generator: mostly short, now and then long.
class Cutter {
public:
    explicit Cutter(std::uint32_t seed) : state_(seed | 1) {}
    std::size_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return 1 + (state_ & 0x100 ? state_ % 4096 : state_ % 8);
    }

private:
    std::uint32_t state_;
};

enum class Feeding { Whole, ByteByByte, RandomPieces };

Outcome read_body(std::string_view body, const std::string& boundary, Feeding feeding, std::uint32_t seed) {
    FormRecorder recorder;
    MultipartReader reader(boundary, recorder);
    Cutter cutter(seed);
    bool took = true;
    for (std::size_t at = 0; at < body.size();) {
        const std::size_t length = feeding == Feeding::Whole        ? body.size()
                                   : feeding == Feeding::ByteByByte ? 1
                                                                    : cutter.next();
        took = reader.feed(body.substr(at, length)) && took;
        at += std::min(length, body.size() - at);
    }
    const FormError while_feeding = reader.error();
    require(took == (while_feeding == FormError::None), "feed fails exactly when it found an error");
    require(while_feeding != FormError::Truncated, "only the body's end tells that it was cut");
    Outcome outcome{{}, reader.finish()};
    require(while_feeding == FormError::None || outcome.error == while_feeding, "an error stays");
    require(recorder.in_order, "events come in order: begins, data, ends");
    outcome.parts = std::move(recorder.parts);
    return outcome;
}

// A delimiter line by its definition: CR LF "--" boundary, then "--", or up to 64 blanks/tabs and CR LF.
bool delimiter_at(std::string_view text, std::size_t at, const std::string& boundary) {
    const std::string delimiter = "\r\n--" + boundary;
    if (text.substr(at, delimiter.size()) != delimiter) return false;
    std::string_view tail = text.substr(at + delimiter.size());
    if (tail.substr(0, 2) == "--") return true;
    std::size_t blanks = 0;
    while (blanks < tail.size() && (tail[blanks] == ' ' || tail[blanks] == '\t'))
        ++blanks;
    return blanks <= 64 && tail.substr(blanks, 2) == "\r\n";
}

bool holds_delimiter(std::string_view text, const std::string& boundary) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (delimiter_at(text, at, boundary)) return true;
    }
    return false;
}

void check_any_body(std::string_view body, const std::string& boundary, std::uint32_t seed) {
    const Outcome whole = read_body(body, boundary, Feeding::Whole, seed);
    require(read_body(body, boundary, Feeding::ByteByByte, seed) == whole, "one byte at a time finds the same");
    require(read_body(body, boundary, Feeding::RandomPieces, seed) == whole, "pieces of any length find the same");
    for (const ReadPart& part : whole.parts) {
        require(!holds_delimiter(part.content, boundary), "no delimiter line inside content");
    }
}

// Whether a part can carry `content`: no delimiter line starts inside it, even with the next one behind it.
bool sendable(const std::string& content, const std::string& boundary) {
    const std::string framed = content + "\r\n--" + boundary + "--";
    for (std::size_t at = 0; at < content.size(); ++at) {
        if (delimiter_at(framed, at, boundary)) return false;
    }
    return true;
}

// Each content as its own part, written the plain way; the program's header style for the first.
std::string encode(const std::vector<std::string>& contents, const std::string& boundary) {
    std::string body = "preamble\r\n";
    for (std::size_t i = 0; i < contents.size(); ++i) {
        body += "--" + boundary + "\r\n";
        body += i == 0 ? "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
                         "Content-Type: text/plain\r\n"
                       : "Content-Disposition: form-data; name=\"p" + std::to_string(i) + "\"\r\n";
        body += "\r\n" + contents[i] + "\r\n";
    }
    return body + "--" + boundary + "--\r\nepilogue";
}

void check_round_trip(const std::vector<std::string>& contents, const std::string& boundary, std::uint32_t seed) {
    for (const std::string& content : contents) {
        if (!sendable(content, boundary)) return;
    }
    const Outcome outcome = read_body(encode(contents, boundary), boundary, Feeding::RandomPieces, seed);
    require(outcome.error == FormError::None, "a plainly encoded body reads without error");
    require(outcome.parts.size() == contents.size(), "every part is found");
    for (std::size_t i = 0; i < contents.size(); ++i) {
        require(outcome.parts[i].content == contents[i], "each part's content comes back exactly");
        require(outcome.parts[i].ended, "each part ends");
    }
    require(outcome.parts[0].name == "userfile" && outcome.parts[0].file_name == "lumtest.log" &&
                outcome.parts[0].content_type == "text/plain",
            "the program's part header reads");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    // The last four bytes choose the boundary and the piece lengths; the rest is the body, and, cut at
    // each "\xff\xfe", the contents of a plainly encoded body.
    FuzzedDataProvider data(bytes, size);
    const auto seed = data.ConsumeIntegral<std::uint32_t>();
    const std::string boundary = (seed & 0x80000000u) ? "B" : "FILEUPLOAD";
    const std::string rest = data.ConsumeRemainingBytesAsString();
    check_any_body(rest, boundary, seed);
    std::vector<std::string> contents = naive_fields(rest, "\xff\xfe");
    if (contents.size() > 4) contents.resize(4);
    check_round_trip(contents, boundary, seed);
    return 0;
}
