// server/web/display_text.cpp: one walk over the bytes, deciding for each sequence whether it is shown
// as text or as bytes.
#include "server/web/display_text.h"

#include <cstdint>

#include "server/reports/decoding/decoder.h"

namespace lumresults {
namespace {

// Characters that are valid UTF-8 yet would hide or reorder what a line holds.
bool hidden_character(std::uint32_t code) {
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
}

// The length of the valid UTF-8 sequence at `at`; 0 for a byte that does not start one.
std::size_t sequence_length(std::string_view bytes, std::size_t at, std::uint32_t& code) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0)
        length = 2, least = 0x80, code = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, least = 0x800, code = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, least = 0x10000, code = lead & 0x07;
    else
        return 0;
    if (bytes.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    // Over-long forms, surrogates and code points past Unicode's end are not text.
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Builds the shown text. With spans, each run of bytes shown as values is one span, line breaks between
// them included: a report of control bytes or bare line ends costs four or five bytes a byte on the page,
// not thirty. Where a run ends is known only at what follows it, so a line break waits for that.
class Shown {
public:
    Shown(std::string& out, bool spans) : out_(&out), spans_(spans) {}

    // Where what follows goes: a page made a stretch at a time hands each stretch its own string.
    void into(std::string& out) { out_ = &out; }

    void byte(char byte) {
        static constexpr char DIGITS[] = "0123456789ABCDEF";
        const auto value = static_cast<unsigned char>(byte);
        if (spans_ && !in_span_) {
            flush_break();
            *out_ += "<span class=\"byte\">";
            in_span_ = true;
        }
        flush_break();
        *out_ += "\\x";
        *out_ += DIGITS[value >> 4];
        *out_ += DIGITS[value & 0x0F];
    }
    void character(char c) {
        end_run();
        switch (c) {
        case '&': *out_ += "&amp;"; break;
        case '<': *out_ += "&lt;"; break;
        case '>': *out_ += "&gt;"; break;
        case '"': *out_ += "&quot;"; break;
        case '\'': *out_ += "&#39;"; break;
        default: *out_ += c;
        }
    }
    void text(std::string_view sequence) {
        end_run();
        out_->append(sequence);
    }
    void line_break() {
        flush_break();
        break_waits_ = true;
    }
    void finish() { end_run(); }

private:
    void flush_break() {
        if (break_waits_) *out_ += '\n';
        break_waits_ = false;
    }
    void end_run() {
        if (in_span_) *out_ += "</span>";
        in_span_ = false;
        flush_break();
    }

    std::string* out_;
    const bool spans_;
    bool in_span_ = false;
    bool break_waits_ = false;
};

void append_html(Shown& shown, std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        std::uint32_t code = 0;
        const std::size_t length = sequence_length(bytes, at, code);
        if (length == 0 || (hidden_character(code) && code != '\t')) {
            shown.byte(bytes[at++]); // a hidden character's bytes are shown one by one
        } else if (length == 1) {
            shown.character(bytes[at++]);
        } else {
            shown.text(bytes.substr(at, length));
            at += length;
        }
    }
}

// Decoded text and undecodable bytes into one <pre>'s lines: CR LF ends a line unseen, a lone CR or LF is
// shown as a byte and ends one too. A CR that ends one piece of decoded text waits
// for the next, which may start with its LF.
class DecodedLines final : public lum::reports::DecodedSink {
public:
    explicit DecodedLines(Shown& shown) : shown_(shown) {}

    void text(std::string_view utf8) override {
        for (std::size_t at = 0; at < utf8.size();) {
            if (cr_waits_) {
                cr_waits_ = false;
                if (utf8[at] == '\n') {
                    shown_.line_break();
                    ++at;
                    continue;
                }
                lone_end('\r');
            }
            const std::size_t end = utf8.find_first_of("\r\n", at);
            append_html(shown_, utf8.substr(at, end - at));
            if (end == std::string_view::npos) return;
            if (utf8[end] == '\r')
                cr_waits_ = true;
            else
                lone_end('\n');
            at = end + 1;
        }
    }
    void raw(std::string_view bytes) override {
        finish();
        for (const char byte : bytes)
            shown_.byte(byte);
    }
    void finish() {
        if (cr_waits_) lone_end('\r');
        cr_waits_ = false;
    }

private:
    void lone_end(char end) {
        shown_.byte(end);
        shown_.line_break();
    }

    Shown& shown_;
    bool cr_waits_ = false;
};

// Raw bytes: ASCII alone is text.
constexpr lum::reports::CodePage AS_BYTES{0, "ASCII", "bytes", lum::reports::Script::Any};

// How much of a piece one stretch decodes at most: its HTML stays within a few tens of kilobytes.
constexpr std::size_t STRETCH_BYTES = 4096;

// In UTF-16 the report's line ends are its own CR before each LF byte, which decoding drops again
// (decoder.h): a cut must leave an even number of the file's bytes before it, never part a CR from its LF,
// nor a surrogate pair. The last such cut after a line end ("\r\n\0"), else the last one at all.
std::size_t utf16_cut(std::string_view stretch) {
    std::size_t added = 0, any = 0, after_line = 0;
    for (std::size_t at = 1; at < stretch.size(); ++at) {
        const bool added_cr = stretch[at - 1] == '\r' && stretch[at] == '\n';
        if (added_cr) ++added;
        const bool high_surrogate = (static_cast<unsigned char>(stretch[at - 1]) & 0xFC) == 0xD8;
        if (added_cr || high_surrogate || (at - added) % 2 != 0) continue;
        any = at;
        if (at >= 3 && stretch.substr(at - 3, 3) == std::string_view("\r\n\0", 3)) after_line = at;
    }
    return after_line != 0 ? after_line : any;
}

// Where a stretch from `at` ends. After a line end: every code page starts anew there. Else after a byte
// below 0x40 (but not a CR, whose LF may follow): no console code page has one inside a character. Else, in
// UTF-8, before a character's first byte. Else anywhere: only a hostile report has 4 KiB without any.
std::size_t stretch_end(std::string_view bytes, std::size_t at, const lum::reports::CodePage& page) {
    if (bytes.size() - at <= STRETCH_BYTES) return bytes.size();
    const std::string_view stretch = bytes.substr(at, STRETCH_BYTES);
    if (page.number == lum::reports::UTF16LE) {
        const std::size_t cut = utf16_cut(stretch);
        return cut != 0 ? at + cut : bytes.size();
    }
    std::size_t cut = stretch.rfind('\n');
    for (std::size_t back = stretch.size(); cut == std::string_view::npos && back > 0; --back) {
        const auto byte = static_cast<unsigned char>(stretch[back - 1]);
        if (byte < 0x40 && byte != '\r') cut = back - 1;
    }
    if (cut != std::string_view::npos) return at + cut + 1;
    if (page.number == lum::reports::UTF8)
        for (std::size_t back = stretch.size() - 1; back + 4 > stretch.size() && back > 0; --back)
            if ((static_cast<unsigned char>(stretch[back]) & 0xC0) != 0x80) return at + back;
    return at + stretch.size();
}

} // namespace

struct LinesHtml::State {
    State(std::vector<ShownPiece> pieces_, std::size_t budget_)
        : pieces(std::move(pieces_)), budget(budget_), shown(scratch, true), lines(shown) {
        for (const ShownPiece& each : pieces)
            total_bytes += each.bytes.size();
    }

    // Decodes the next stretch into `shown`; false when no bytes are left.
    bool step() {
        while (piece < pieces.size() && at == pieces[piece].bytes.size()) {
            lines.finish();
            ++piece;
            at = 0;
        }
        if (piece == pieces.size()) return false;
        const std::string_view bytes = pieces[piece].bytes;
        const lum::reports::CodePage& page = pieces[piece].page != nullptr ? *pieces[piece].page : AS_BYTES;
        const std::size_t end = stretch_end(bytes, at, page);
        lum::reports::decode(bytes.substr(at, end - at), page, lines);
        shown_bytes += end - at;
        at = end;
        return true;
    }

    std::vector<ShownPiece> pieces;
    std::size_t budget;
    std::string scratch; // Shown needs somewhere to write before the first stretch
    Shown shown;
    DecodedLines lines;
    std::size_t piece = 0;
    std::size_t at = 0;
    std::size_t shown_bytes = 0;
    std::size_t total_bytes = 0;
    std::size_t made = 0;
    bool done = false;
};

LinesHtml::LinesHtml(std::vector<ShownPiece> pieces, std::size_t budget)
    : state_(std::make_unique<State>(std::move(pieces), budget)) {}
LinesHtml::~LinesHtml() = default;
LinesHtml::LinesHtml(LinesHtml&&) noexcept = default;
LinesHtml& LinesHtml::operator=(LinesHtml&&) noexcept = default;

bool LinesHtml::next(std::string& out) {
    State& state = *state_;
    if (state.done) return false;
    const std::size_t before = out.size();
    state.shown.into(out);
    if (state.made >= state.budget || !state.step()) {
        state.lines.finish();
        state.shown.finish();
        state.done = true;
    }
    state.made += out.size() - before;
    return true;
}

std::size_t LinesHtml::shown_bytes() const { return state_->shown_bytes; }

bool LinesHtml::complete() const { return state_->shown_bytes == state_->total_bytes; }

std::string decoded_lines_html(const std::vector<ShownPiece>& pieces) {
    std::string out;
    LinesHtml lines(pieces);
    while (lines.next(out)) {
    }
    return out;
}

std::string html_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    Shown shown(out, false);
    append_html(shown, bytes);
    shown.finish();
    return out;
}

// Bytes read as UTF-8: the same walk as any code page's.
std::string raw_lines_html(std::string_view bytes) {
    return decoded_lines_html({{bytes, lum::reports::find_code_page(lum::reports::UTF8)}});
}

std::string utf8_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::uint32_t code = 0;
        const std::size_t length = sequence_length(bytes, at, code);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
        } else {
            out.append(bytes.substr(at, length));
            at += length;
        }
    }
    return out;
}

} // namespace lumresults
