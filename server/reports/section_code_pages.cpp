// server/reports/section_code_pages.cpp: a guess per section, and a vote for the report's.
#include "server/reports/section_code_pages.h"

#include <map>

namespace lum::reports {
namespace {

// Sections decided by phrases outvote any number decided otherwise; among equals, more sections win.
CodePageGuess report_guess(const std::vector<ReportSection>& sections) {
    std::map<int, std::pair<int, int>> votes; // code page: (sections decided by phrases, sections)
    for (const ReportSection& section : sections) {
        if (section.tool == "hosts" || section.code_page.code_page == ASCII_ONLY) continue;
        auto& [by_phrases, all] = votes[section.code_page.code_page];
        by_phrases += section.code_page.basis == GuessBasis::Phrases ? 1 : 0;
        ++all;
    }
    CodePageGuess chosen;
    std::pair<int, int> best{-1, -1};
    for (const auto& [code_page, count] : votes) {
        if (count <= best) continue;
        best = count;
        for (const ReportSection& section : sections)
            if (section.code_page.code_page == code_page && section.tool != "hosts") chosen = section.code_page;
    }
    return chosen;
}

} // namespace

void find_code_pages(std::string_view bytes, ReadReport& report) {
    const auto text_of = [&](const ReportSection& section) {
        return bytes.substr(section.bytes.begin, section.bytes.end - section.bytes.begin);
    };
    for (ReportSection& section : report.sections)
        if (section.tool != "hosts") section.code_page = guess_code_page(text_of(section), SectionSource::Console);
    report.code_page = report_guess(report.sections);
    // Notepad saves in the ANSI code page of the same system: where the file reads as well in others, that one.
    const int ansi = ansi_code_page_of(report.code_page.code_page);
    for (ReportSection& section : report.sections)
        if (section.tool == "hosts") section.code_page = guess_code_page(text_of(section), SectionSource::File, ansi);
}

int section_code_page(const ReportSection& section, const ReadReport& report) {
    const int found = section.code_page.code_page;
    return found != ASCII_ONLY ? found : report.code_page.code_page;
}

} // namespace lum::reports
