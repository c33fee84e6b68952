// server/dashboard/section_views.h: each section of a report shown in the code page the reading found, or in the
// one a member of staff chose for it, or as bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/dashboard/display_text.h"
#include "server/dashboard/render.h"
#include "server/http/request.h"
#include "server/reports/report_reading.h"

namespace lumresults::dashboard {

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

    // The bytes from `begin` to `end` as a <pre>'s lines: each section in its page, the lines between them
    // (the program's own) in the report's.
    std::string lines_html(std::size_t begin, std::size_t end) const;
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
