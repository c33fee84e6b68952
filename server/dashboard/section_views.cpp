// server/dashboard/section_views.cpp: the pieces of a report's lines, each with its code page, and the choices.
#include "server/dashboard/section_views.h"

#include "server/reports/section_code_pages.h"

#include <algorithm>
#include <charconv>

namespace lumresults::dashboard {
namespace {

using lum::reports::CodePage;
using lum::reports::ReportSection;

std::optional<std::size_t> number_in(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool is_hosts(const ReportSection& section) { return section.tool == "hosts"; }

PageData option(std::string value, std::string text, bool selected) {
    PageData item;
    item.set("value", std::move(value));
    item.set("text", std::move(text));
    item.set("selected", selected);
    return item;
}

} // namespace

ChosenView chosen_view(const Request& request) {
    const std::optional<std::size_t> section = number_in(request.query_value("section").value_or(""));
    const std::string as = request.query_value("as").value_or("");
    if (!section || as.empty()) return {};
    if (as == "raw") return {section, std::nullopt};
    const std::optional<std::size_t> number = number_in(as);
    if (!number || lum::reports::find_code_page(static_cast<int>(*number)) == nullptr) return {};
    return {section, static_cast<int>(*number)};
}

std::string code_page_label(int code_page) {
    const CodePage* page = lum::reports::find_code_page(code_page);
    if (page == nullptr) return "ASCII only";
    if (code_page == lum::reports::UTF8 || code_page == lum::reports::UTF16LE) return std::string(page->name);
    return "CP" + std::to_string(code_page) + " (" + std::string(page->name) + ")";
}

const CodePage* SectionViews::page_of(std::size_t index) const {
    if (chosen_.section == index) return chosen_.code_page ? lum::reports::find_code_page(*chosen_.code_page) : nullptr;
    return lum::reports::find_code_page(lum::reports::section_code_page(reading_.sections[index], reading_));
}

std::vector<ShownPiece> SectionViews::pieces(std::size_t begin, std::size_t end) const {
    end = std::min(end, bytes_.size());
    begin = std::min(begin, end);
    const CodePage* own = lum::reports::find_code_page(reading_.code_page.code_page);
    std::vector<ShownPiece> pieces;
    std::size_t at = begin;
    for (std::size_t index = 0; index < reading_.sections.size(); ++index) {
        const lum::reports::ByteRange range = reading_.sections[index].bytes;
        if (range.begin < at || range.end > end) continue;
        pieces.push_back({bytes_.substr(at, range.begin - at), own});
        pieces.push_back({bytes_.substr(range.begin, range.end - range.begin), page_of(index)});
        at = range.end;
    }
    pieces.push_back({bytes_.substr(at, end - at), own});
    return pieces;
}

ShownLines SectionViews::shown_lines(std::size_t begin, std::size_t end, std::size_t budget, bool keep_html) const {
    end = std::min(end, bytes_.size());
    begin = std::min(begin, end);
    LinesHtml lines(pieces(begin, end), budget);
    ShownLines shown;
    for (std::size_t before = 0; lines.next(shown.html); before = shown.html.size()) {
        shown.html_size += shown.html.size() - before;
        if (!keep_html) shown.html.clear();
    }
    const std::string_view rest = bytes_.substr(begin + lines.shown_bytes(), end - begin - lines.shown_bytes());
    shown.rest_bytes = rest.size();
    shown.rest_lines = static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n'));
    if (!rest.empty() && rest.back() != '\n') ++shown.rest_lines;
    return shown;
}

PageData SectionViews::part(std::size_t index) const {
    const ReportSection& section = reading_.sections[index];
    PageData data;
    data.set("index", std::to_string(index));
    data.set("tool", std::string(section.tool));
    const bool chosen = chosen_.section == index;
    std::string label;
    if (chosen && !chosen_.code_page)
        label = "shown as bytes, as you chose";
    else if (chosen)
        label = "shown as " + code_page_label(*chosen_.code_page) + ", as you chose";
    else if (section.code_page.code_page == lum::reports::ASCII_ONLY)
        label = "ASCII only";
    else
        label = "decoded as " + code_page_label(section.code_page.code_page) +
                lum::reports::same_text_clause(section.code_page) + ", " +
                std::string(lum::reports::basis_text(section.code_page.basis)) + " (" +
                std::to_string(section.code_page.confidence) + " % above the next)";
    data.set("label", label);
    PageList options;
    options.push_back(option("", "as found", !chosen));
    const auto candidates = is_hosts(section) ? lum::reports::file_code_pages() : lum::reports::console_code_pages();
    for (const CodePage& page : candidates)
        options.push_back(option(std::to_string(page.number), code_page_label(page.number),
                                 chosen && chosen_.code_page == page.number));
    options.push_back(option("raw", "bytes", chosen && !chosen_.code_page));
    data.set("options", options);
    return data;
}

PageList SectionViews::parts(std::size_t begin, std::size_t end) const {
    PageList list;
    for (std::size_t index = 0; index < reading_.sections.size(); ++index) {
        const lum::reports::ByteRange range = reading_.sections[index].bytes;
        if (range.begin >= begin && range.end <= end) list.push_back(part(index));
    }
    return list;
}

} // namespace lumresults::dashboard
