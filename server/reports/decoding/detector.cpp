// server/reports/decoding/detector.cpp: every candidate code page tried on a section's start, scored by the tools'
// phrases found and by how its letters read; candidates that show the same text are one reading, and the general
// detector settles ties between readings.
#include "server/reports/decoding/detector.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "server/reports/decoding/decoder.h"
#include "server/reports/decoding/general_detector.h"
#include "server/reports/decoding/letters.h"
#include "server/reports/decoding/tool_phrases.h"

namespace lum::reports {
namespace {

// A phrase's characters found outweigh as many plausible words: phrases are what the tools really print.
constexpr int PHRASE_WEIGHT = 2;
constexpr int UNREADABLE_BYTE_COST = 2;
// Valid UTF-8 with characters above ASCII is rare by chance in any other code page: each such character
// counts as much as a plausible word.
constexpr int UTF8_CHARACTER_WEIGHT = 1;
// What the preferred code page is given: enough to win a tie, less than one word that reads better elsewhere.
constexpr int PREFERENCE = 1;

// The decoded text for judging it, and apart from it the text as the page would show it, where the bytes the
// code page cannot read stand at their places: two candidates that show the same read the section alike.
struct Counted final : DecodedSink {
    void text(std::string_view utf8) override {
        decoded += utf8;
        shown += utf8;
    }
    void raw(std::string_view bytes) override {
        unreadable += static_cast<int>(bytes.size());
        shown += '\0'; // then the byte: no UTF-8 text holds a byte above ASCII right after a NUL
        shown += bytes;
    }
    std::string decoded;
    std::string shown;
    int unreadable = 0;
};

struct Candidate {
    const CodePage* page = nullptr;
    int phrase_characters = 0;
    int score = 0;
    std::string shown;
};

// Candidates that show the section as the same text, best first: one reading, whichever of them names it.
struct Reading {
    std::vector<const Candidate*> candidates;

    const Candidate& best() const { return *candidates.front(); }
    bool has(int code_page) const {
        return std::any_of(candidates.begin(), candidates.end(),
                           [&](const Candidate* candidate) { return candidate->page->number == code_page; });
    }
};

int characters(std::string_view utf8) {
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Characters above ASCII in UTF-8 text.
int high_characters(std::string_view utf8) {
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0xC0; // a lead byte: one per such character
    }));
}

Candidate judge(std::string_view sample, const CodePage& page, SectionSource source, int preferred) {
    Counted counted;
    decode(sample, page, counted);
    Candidate candidate{&page, 0, 0, {}};
    for (const std::string& phrase : telling_phrases(page.number, source))
        if (counted.decoded.find(phrase) != std::string::npos) candidate.phrase_characters += characters(phrase);
    candidate.score = letter_score(counted.decoded, page.script) - UNREADABLE_BYTE_COST * counted.unreadable +
                      PHRASE_WEIGHT * candidate.phrase_characters + (page.number == preferred ? PREFERENCE : 0);
    if (page.number == UTF8 && counted.unreadable == 0)
        candidate.score += UTF8_CHARACTER_WEIGHT * high_characters(counted.decoded);
    candidate.shown = std::move(counted.shown);
    return candidate;
}

// The section's start, cut at a line's end so that no character is cut in two.
std::string_view sample_of(std::string_view bytes) {
    if (bytes.size() <= SAMPLE_BYTES) return bytes;
    const std::size_t line_end = bytes.rfind('\n', SAMPLE_BYTES);
    return bytes.substr(0, line_end == std::string_view::npos ? SAMPLE_BYTES : line_end + 1);
}

std::optional<CodePageGuess> by_mark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return CodePageGuess{UTF8, 100, GuessBasis::ByteOrderMark, {}};
    if (bytes.starts_with("\xFF\xFE")) return CodePageGuess{UTF16LE, 100, GuessBasis::ByteOrderMark, {}};
    return std::nullopt;
}

bool ascii_only(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int confidence(int best, int second) {
    if (best <= 0) return 0;
    return std::clamp(100 * (best - second) / best, 0, 100);
}

// The candidates, sorted best first, gathered by the text they show.
std::vector<Reading> readings_of(const std::vector<Candidate>& sorted) {
    std::vector<Reading> readings;
    for (const Candidate& candidate : sorted) {
        const auto same = std::find_if(readings.begin(), readings.end(),
                                       [&](const Reading& reading) { return reading.best().shown == candidate.shown; });
        if (same != readings.end())
            same->candidates.push_back(&candidate);
        else
            readings.push_back({{&candidate}});
    }
    return readings;
}

// The reading named by `wanted` where that is one of its pages, else by its best; its other pages beside it.
CodePageGuess named(const Reading& reading, int margin, GuessBasis basis, int wanted) {
    CodePageGuess guess{reading.best().page->number, margin, basis, {}};
    for (const Candidate* other : reading.candidates)
        if (other != &reading.best()) guess.same_text_in.push_back(other->page->number);
    std::sort(guess.same_text_in.begin(), guess.same_text_in.end());
    name_by(guess, wanted);
    return guess;
}

// Readings, not pages, compete: pages that show the same text are no doubt at all, whatever they are called.
CodePageGuess chosen(const std::vector<Reading>& readings, std::string_view sample, int preferred) {
    const Candidate& best = readings[0].best();
    if (readings.size() == 1) return named(readings[0], 100, GuessBasis::Letters, preferred);
    const Candidate& second = readings[1].best();
    const int margin = confidence(best.score, second.score);
    if (best.score > second.score && best.phrase_characters > second.phrase_characters)
        return named(readings[0], margin, GuessBasis::Phrases, preferred);
    if (best.score > second.score + 1) return named(readings[0], margin, GuessBasis::Letters, preferred);
    // Tied: the preferred page's reading if it is one of the tied, else the general detector's choice if it is,
    // else the first of them.
    const auto tied = [&](const Reading& reading) { return reading.best().score + 1 >= best.score; };
    for (const Reading& reading : readings)
        if (tied(reading) && reading.has(preferred)) return named(reading, margin, GuessBasis::Letters, preferred);
    if (const std::optional<int> detected = detected_code_page(sample))
        for (const Reading& reading : readings)
            if (tied(reading) && reading.has(*detected)) return named(reading, margin, GuessBasis::Detector, *detected);
    return named(readings[0], margin, GuessBasis::Letters, preferred);
}

} // namespace

CodePageGuess guess_code_page(std::string_view bytes, SectionSource source, int preferred) {
    const std::string_view sample = sample_of(bytes);
    if (source == SectionSource::File)
        if (std::optional<CodePageGuess> marked = by_mark(sample)) return *marked;
    if (ascii_only(sample)) return {};
    std::vector<Candidate> candidates;
    for (const CodePage& page : source == SectionSource::Console ? console_code_pages() : file_code_pages())
        candidates.push_back(judge(sample, page, source, preferred));
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    return chosen(readings_of(candidates), sample, preferred);
}

void name_by(CodePageGuess& guess, int code_page) {
    std::vector<int>& others = guess.same_text_in;
    const auto found = std::find(others.begin(), others.end(), code_page);
    if (found == others.end()) return;
    *found = guess.code_page;
    guess.code_page = code_page;
    std::sort(others.begin(), others.end());
}

int ansi_code_page_of(int oem) {
    constexpr std::array<std::pair<int, int>, 17> PAIRS = {{{437, 1252},
                                                            {850, 1252},
                                                            {852, 1250},
                                                            {855, 1251},
                                                            {866, 1251},
                                                            {737, 1253},
                                                            {857, 1254},
                                                            {862, 1255},
                                                            {720, 1256},
                                                            {775, 1257},
                                                            {874, 874},
                                                            {932, 932},
                                                            {936, 936},
                                                            {949, 949},
                                                            {950, 950},
                                                            {1258, 1258},
                                                            {UTF8, UTF8}}};
    for (const auto& [console, ansi] : PAIRS)
        if (console == oem) return ansi;
    return 0;
}

std::string_view basis_text(GuessBasis basis) {
    switch (basis) {
    case GuessBasis::Ascii: return "ASCII only";
    case GuessBasis::ByteOrderMark: return "from its byte-order mark";
    case GuessBasis::Phrases: return "from the tools' phrases";
    case GuessBasis::Letters: return "from how its letters read";
    case GuessBasis::Detector: return "by the general detector";
    }
    return "";
}

} // namespace lum::reports
