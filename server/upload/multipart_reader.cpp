// server/upload/multipart_reader.cpp: a push parser for multipart/form-data that holds back no more than a
// delimiter line, so that a report of any size streams through in bounded memory and reaches its handler
// byte for byte.
//
// The delimiter is CR LF "--" boundary; the CR LF before it belongs to it, not to the content. A match
// counts as a delimiter only when its line ends properly (transport padding, then CR LF) or it closes
// the body ("--" after the boundary): a report line that merely starts with the boundary stays content,
// because a report the server refuses is lost for good.
#include "server/upload/multipart_reader.h"

#include <cstring>
#include <utility>

#include "server/upload/form_header.h"

namespace lumresults {
namespace {

// Blanks and tabs after a delimiter held back before the line is known to be a delimiter; more than this
// and the line is content. No encoder writes any.
constexpr std::size_t PADDING_LIMIT = 64;

enum class Phase { Preamble, Headers, Content, Epilogue, Failed };

// What one byte after the boundary makes of the delimiter line so far.
enum class TailStep { More, Delimiter, Close, NotDelimiter };

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// `tail`: the bytes after the boundary so far: blanks and tabs, perhaps ending in CR; or a single "-".
TailStep step_tail(std::string_view tail, char c) {
    if (tail == "-") return c == '-' ? TailStep::Close : TailStep::NotDelimiter;
    if (!tail.empty() && tail.back() == '\r') return c == '\n' ? TailStep::Delimiter : TailStep::NotDelimiter;
    if (c == '\r' || (tail.empty() && c == '-')) return TailStep::More;
    if (is_blank(c) && tail.size() < PADDING_LIMIT) return TailStep::More;
    return TailStep::NotDelimiter;
}

} // namespace

struct MultipartReader::State {
    State(std::string boundary, FormPartHandler& receiver) : delimiter("\r\n--" + boundary), handler(receiver) {}

    std::string delimiter; // CR LF "--" boundary
    FormPartHandler& handler;
    Phase phase = Phase::Preamble;
    FormError error = FormError::None;
    // How much of the delimiter the latest bytes matched. The body may open with the delimiter line
    // itself, so the preamble starts as if a CR LF had just been read.
    std::size_t matched = 2;
    std::string tail;   // after a whole delimiter: the bytes that may still turn out to be content
    std::string header; // the current part's header section, up to its empty line

    void fail(FormError why) {
        error = why;
        phase = Phase::Failed;
    }
    void deliver(std::string_view bytes) {
        if (phase == Phase::Content && !bytes.empty()) handler.part_data(bytes);
    }
    std::size_t scan(std::string_view bytes);
    void refute_tail();
    void delimiter_found(bool closing);
    std::size_t read_header(std::string_view bytes);
};

// Content or preamble up to and including the next delimiter line; returns the bytes consumed.
std::size_t MultipartReader::State::scan(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (matched == 0) {
            // Every delimiter starts with CR and no other byte of it is CR: skip to the next one.
            const auto* cr = static_cast<const char*>(std::memchr(bytes.data() + i, '\r', bytes.size() - i));
            const std::size_t at = cr == nullptr ? bytes.size() : static_cast<std::size_t>(cr - bytes.data());
            deliver(bytes.substr(i, at - i));
            if (cr == nullptr) return bytes.size();
            matched = 1;
            i = at + 1;
        } else if (matched < delimiter.size()) {
            if (bytes[i] == delimiter[matched]) {
                ++matched;
                ++i;
            } else {
                // The matched bytes hold no CR but their first, so no delimiter starts inside them.
                deliver(std::string_view(delimiter).substr(0, matched));
                matched = 0;
            }
        } else {
            const TailStep step = step_tail(tail, bytes[i]);
            if (step == TailStep::NotDelimiter) {
                refute_tail(); // and look at this byte again, as content
            } else if (step == TailStep::More) {
                tail += bytes[i++];
            } else {
                delimiter_found(step == TailStep::Close);
                return i + 1;
            }
        }
    }
    return i;
}

// The delimiter and its tail were content after all. A CR that ends the tail is followed by a byte other
// than LF, so no delimiter starts inside what is given up; the byte that refuted it is looked at afresh.
void MultipartReader::State::refute_tail() {
    deliver(delimiter);
    deliver(tail);
    tail.clear();
    matched = 0;
}

void MultipartReader::State::delimiter_found(bool closing) {
    if (phase == Phase::Content) handler.part_ends();
    // A form has at least one part; a body that closes at once is none.
    if (phase == Phase::Preamble && closing) return fail(FormError::Malformed);
    phase = closing ? Phase::Epilogue : Phase::Headers;
    matched = 0;
    tail.clear();
    header.clear();
}

// A part's header section, up to its empty line; returns the bytes consumed.
std::size_t MultipartReader::State::read_header(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        header += bytes[i];
        const bool ended = header == "\r\n" || header.ends_with("\r\n\r\n");
        if (!ended) {
            if (header.size() >= MultipartReader::PART_HEADER_LIMIT) fail(FormError::HeaderTooLarge);
            if (phase == Phase::Failed) return bytes.size();
            continue;
        }
        header.resize(header.size() - 2);
        if (header.ends_with("\r\n")) header.resize(header.size() - 2);
        const std::optional<FormPart> part = parse_part_header(header);
        if (!part) {
            fail(FormError::Malformed);
            return bytes.size();
        }
        header.clear();
        phase = Phase::Content;
        handler.part_begins(*part);
        return i + 1;
    }
    return bytes.size();
}

MultipartReader::MultipartReader(std::string boundary, FormPartHandler& handler)
    : state_(new State(std::move(boundary), handler)) {}

MultipartReader::~MultipartReader() { delete state_; }

bool MultipartReader::feed(std::string_view bytes) {
    State& state = *state_;
    while (!bytes.empty() && state.phase != Phase::Failed) {
        if (state.phase == Phase::Headers) {
            bytes.remove_prefix(state.read_header(bytes));
        } else if (state.phase == Phase::Epilogue) {
            bytes = {};
        } else {
            bytes.remove_prefix(state.scan(bytes));
        }
    }
    return state.phase != Phase::Failed;
}

FormError MultipartReader::finish() {
    State& state = *state_;
    if (state.phase == Phase::Preamble) state.fail(FormError::Malformed);
    if (state.phase != Phase::Epilogue && state.phase != Phase::Failed) state.fail(FormError::Truncated);
    return state.error;
}

FormError MultipartReader::error() const { return state_->error; }

} // namespace lumresults
