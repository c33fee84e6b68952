// server/reports/decoding/detector.cpp: every candidate code page tried on a section's start, scored by the tools'
// phrases found and by how its letters read; the general detector settles ties.
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

struct Counted final : DecodedSink {
    void text(std::string_view utf8) override { decoded += utf8; }
    void raw(std::string_view bytes) override { unreadable += static_cast<int>(bytes.size()); }
    std::string decoded;
    int unreadable = 0;
};

struct Candidate {
    const CodePage* page = nullptr;
    int phrase_characters = 0;
    int score = 0;
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
    Candidate candidate{&page};
    for (const std::string& phrase : telling_phrases(page.number, source))
        if (counted.decoded.find(phrase) != std::string::npos) candidate.phrase_characters += characters(phrase);
    candidate.score = letter_score(counted.decoded, page.script) - UNREADABLE_BYTE_COST * counted.unreadable +
                      PHRASE_WEIGHT * candidate.phrase_characters + (page.number == preferred ? PREFERENCE : 0);
    if (page.number == UTF8 && counted.unreadable == 0)
        candidate.score += UTF8_CHARACTER_WEIGHT * high_characters(counted.decoded);
    return candidate;
}

// The section's start, cut at a line's end so that no character is cut in two.
std::string_view sample_of(std::string_view bytes) {
    if (bytes.size() <= SAMPLE_BYTES) return bytes;
    const std::size_t line_end = bytes.rfind('\n', SAMPLE_BYTES);
    return bytes.substr(0, line_end == std::string_view::npos ? SAMPLE_BYTES : line_end + 1);
}

std::optional<CodePageGuess> by_mark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return CodePageGuess{UTF8, 100, GuessBasis::ByteOrderMark};
    if (bytes.starts_with("\xFF\xFE")) return CodePageGuess{UTF16LE, 100, GuessBasis::ByteOrderMark};
    return std::nullopt;
}

bool ascii_only(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int confidence(int best, int second) {
    if (best <= 0) return 0;
    return std::clamp(100 * (best - second) / best, 0, 100);
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
    const Candidate& best = candidates[0];
    const Candidate& second = candidates[1];
    const int margin = confidence(best.score, second.score);
    if (best.score > second.score && best.phrase_characters > second.phrase_characters)
        return {best.page->number, margin, GuessBasis::Phrases};
    if (best.score > second.score + 1) return {best.page->number, margin, GuessBasis::Letters};
    // Tied: the preferred page if it is one of the tied, else the general detector's choice if it is, else the
    // first of them.
    for (const Candidate& tied : candidates)
        if (tied.score + 1 >= best.score && tied.page->number == preferred)
            return {tied.page->number, margin, GuessBasis::Letters};
    if (const std::optional<int> detected = detected_code_page(sample))
        for (const Candidate& tied : candidates)
            if (tied.score + 1 >= best.score && tied.page->number == *detected)
                return {tied.page->number, margin, GuessBasis::Detector};
    return {best.page->number, margin, GuessBasis::Letters};
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
