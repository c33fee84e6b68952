// server/web/display_text.h: report and caller bytes made safe to show: as HTML text, or as UTF-8 for
// JSON and CSV.
//
// A report is in the console's code page, not UTF-8, and anything a caller sends is bytes. Pages show
// what is valid UTF-8 as text and every other byte as \xNN, so nothing is guessed and nothing is lost;
// control characters (other than tab) and the characters that reorder text are shown as bytes as well,
// so a line can never look other than it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/reports/decoding/code_pages.h"

namespace lumresults {

// For HTML text and attribute values: & < > " ' as entities, bytes shown as the text "\xNN".
std::string html_text(std::string_view bytes);

// A report's lines for a <pre>: as html_text, but each run of shown bytes in one <span class="byte"> and
// each line on a line of its own. CR LF ends a line unseen; a lone CR or LF ends one too, and is shown as a byte.
std::string raw_lines_html(std::string_view bytes);

// A stretch of a report and the code page to show it in; a null page shows it as bytes (ASCII as text,
// every other byte as \xNN).
struct ShownPiece {
    std::string_view bytes;
    const lum::reports::CodePage* page = nullptr;
};

// Pieces one after another as the lines of one <pre>, as raw_lines_html shows bytes, but each piece decoded
// in its code page: what the page cannot read is shown as bytes, in spans, and nothing is lost.
std::string decoded_lines_html(const std::vector<ShownPiece>& pieces);

// The same HTML a stretch at a time, up to a budget, so that a report's lines are never whole in memory as
// HTML (a byte can cost thirty on the page) and a page can show the first of them and offer the rest. Each
// stretch is at most a few kilobytes of the bytes, cut after a line end where one is near, else where the
// code page cannot be inside a character; the stretches' HTML together is exactly decoded_lines_html's.
class LinesHtml {
public:
    // Stops after the stretch that brings its HTML to `budget` bytes (made at most a stretch's worth past it).
    explicit LinesHtml(std::vector<ShownPiece> pieces, std::size_t budget = SIZE_MAX);
    ~LinesHtml();
    LinesHtml(LinesHtml&&) noexcept;
    LinesHtml& operator=(LinesHtml&&) noexcept;

    // Appends the next stretch's HTML to `out` (possibly nothing yet: a line end waits for what follows);
    // false once everything, the closing of an open run included, has been appended.
    bool next(std::string& out);
    // The pieces' bytes shown so far, and whether that is all of them.
    std::size_t shown_bytes() const;
    bool complete() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Valid UTF-8 kept, every byte that is not replaced by U+FFFD (for the JSON and CSV of the API, whose
// readers expect text; the exact bytes are a download away).
std::string utf8_text(std::string_view bytes);

} // namespace lumresults
