// server/dashboard/section_views.h: each section of a report shown in the code page the reading found, or in the
// one a member of staff chose for it, or as bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/web/display_text.h"
#include "server/dashboard/render.h"
#include "server/http/request.h"
#include "server/reports/report_reading.h"

namespace lumresults::dashboard {

// A stretch of the report's lines as a page shows them: the first of them, and how much is left for the
// download or a page of their own.
struct ShownLines {
    std::string html;
    std::size_t html_size = 0; // the same when it is kept
    std::size_t rest_bytes = 0;
    std::size_t rest_lines = 0; // a line cut short counts as one
};

// The one section shown otherwise, as the query asks: section=N (its index in the reading) and as=CP or
// as=raw. Anything else asks for nothing.
struct ChosenView {
    std::optional<std::size_t> section;
    std::optional<int> code_page; // nothing with a section: raw bytes
};
ChosenView chosen_view(const Request& request);

class SectionViews {
public:
    SectionViews(const lum::reports::ReadReport& reading, std::string_view bytes, ChosenView chosen)
        : reading_(reading), bytes_(bytes), chosen_(chosen) {}

    // The bytes from `begin` to `end` as a <pre>'s pieces (display_text.h): each section in its page, the
    // lines between them (the program's own) in the report's. They point into the report's bytes.
    std::vector<ShownPiece> pieces(std::size_t begin, std::size_t end) const;
    // The same as HTML to at most about `budget` bytes (LinesHtml), and what that leaves unshown; without
    // `keep_html`, only how long the HTML is (for a page that makes it again as it is sent).
    ShownLines shown_lines(std::size_t begin, std::size_t end, std::size_t budget, bool keep_html = true) const;
    // The sections between those bytes: each one's tool, how it is shown and why, and the form to show it
    // in another code page or as bytes.
    PageList parts(std::size_t begin, std::size_t end) const;

private:
    const lum::reports::CodePage* page_of(std::size_t index) const;
    PageData part(std::size_t index) const;

    const lum::reports::ReadReport& reading_;
    std::string_view bytes_;
    ChosenView chosen_;
};

// "CP866 (Russian)", "UTF-8", "ASCII only".
std::string code_page_label(int code_page);

} // namespace lumresults::dashboard
