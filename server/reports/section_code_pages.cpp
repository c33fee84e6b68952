// server/reports/section_code_pages.cpp: a guess per section, and a vote for the report's.
#include "server/reports/section_code_pages.h"

#include <algorithm>
#include <map>

namespace lum::reports {
namespace {

bool reads_in(const CodePageGuess& guess, int code_page) {
    return guess.code_page == code_page ||
           std::find(guess.same_text_in.begin(), guess.same_text_in.end(), code_page) != guess.same_text_in.end();
}

// Sections decided by phrases outvote any number decided otherwise; among equals, more sections win. A section
// that reads alike in several code pages counts for each, by its phrases only for the one that found them.
CodePageGuess report_guess(const std::vector<ReportSection>& sections) {
    std::map<int, std::pair<int, int>> votes; // code page: (sections decided by phrases, sections)
    for (const ReportSection& section : sections) {
        if (section.tool == "hosts" || section.code_page.code_page == ASCII_ONLY) continue;
        auto& [by_phrases, all] = votes[section.code_page.code_page];
        by_phrases += section.code_page.basis == GuessBasis::Phrases ? 1 : 0;
        ++all;
        for (const int alike : section.code_page.same_text_in)
            ++votes[alike].second;
    }
    int chosen = ASCII_ONLY;
    std::pair<int, int> best{-1, -1};
    for (const auto& [code_page, count] : votes)
        if (count > best) {
            best = count;
            chosen = code_page;
        }
    // The last section's guess that reads in the page chosen, named by it; the pages that read alike are that
    // section's, not the report's.
    CodePageGuess guess;
    for (const ReportSection& section : sections)
        if (section.tool != "hosts" && reads_in(section.code_page, chosen)) guess = section.code_page;
    name_by(guess, chosen);
    guess.same_text_in.clear();
    return guess;
}

} // namespace

void find_code_pages(std::string_view bytes, ReadReport& report) {
    const auto text_of = [&](const ReportSection& section) {
        return bytes.substr(section.bytes.begin, section.bytes.end - section.bytes.begin);
    };
    for (ReportSection& section : report.sections)
        if (section.tool != "hosts") section.code_page = guess_code_page(text_of(section), SectionSource::Console);
    report.code_page = report_guess(report.sections);
    // A section that reads in the report's own page as in the one it was named by is named by the report's.
    for (ReportSection& section : report.sections)
        if (section.tool != "hosts") name_by(section.code_page, report.code_page.code_page);
    // Notepad saves in the ANSI code page of the same system: where the file reads as well in others, that one.
    const int ansi = ansi_code_page_of(report.code_page.code_page);
    for (ReportSection& section : report.sections)
        if (section.tool == "hosts") section.code_page = guess_code_page(text_of(section), SectionSource::File, ansi);
}

int section_code_page(const ReportSection& section, const ReadReport& report) {
    const int found = section.code_page.code_page;
    return found != ASCII_ONLY ? found : report.code_page.code_page;
}

std::string same_text_clause(const CodePageGuess& guess) {
    const std::vector<int>& others = guess.same_text_in;
    std::string clause;
    for (std::size_t at = 0; at < others.size(); ++at) {
        clause += at == 0 ? ", which reads it as " : at + 1 == others.size() ? " and " : ", ";
        const bool unicode = others[at] == UTF8 || others[at] == UTF16LE; // named, not numbered
        clause += unicode ? std::string(find_code_page(others[at])->name) : "CP" + std::to_string(others[at]);
    }
    if (!others.empty()) clause += others.size() == 1 ? " does" : " do";
    return clause;
}

} // namespace lum::reports
