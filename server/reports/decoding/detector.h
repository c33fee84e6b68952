// server/reports/decoding/detector.h: which code page a section of a report is written in, judged from its bytes.
#pragma once

#include <string_view>
#include <vector>

#include "server/reports/decoding/code_pages.h"

namespace lum::reports {

// A tool's output is in the console's code page; the hosts file in whatever Notepad saved it as.
enum class SectionSource { Console, File };

// What decided: nothing to decide (ASCII only), a byte-order mark, the tools' own phrases, how the letters
// read, or the general-purpose detector where neither told the candidates apart.
enum class GuessBasis { Ascii, ByteOrderMark, Phrases, Letters, Detector };

struct CodePageGuess {
    int code_page = ASCII_ONLY;
    int confidence = 100; // percent: how far the choice stood above the next candidate that reads it otherwise
    GuessBasis basis = GuessBasis::Ascii;
    // The other candidates that read the section's start as the very same text, in ascending order: French
    // words in CP850 read alike in CP437 and CP857. Between these there is nothing to choose, so the section
    // is named by one of them and these are named beside it.
    std::vector<int> same_text_in;
};

// Judges at most the section's first SAMPLE_BYTES (tool output is shorter; more would only cost time).
inline constexpr std::size_t SAMPLE_BYTES = 16 * 1024;

// `preferred`: the code page to choose where the bytes read as well in others, or as the same text (the hosts
// file's ANSI page that goes with the report's console page, say); 0 for none.
CodePageGuess guess_code_page(std::string_view bytes, SectionSource source, int preferred = 0);

// Names `guess` by `code_page` instead where that reads the section as the guess's own does (the report's own
// code page, say); the page it was named by joins the others. Anything else leaves it as it is.
void name_by(CodePageGuess& guess, int code_page);

// The ANSI code page of the systems whose console prints in `oem` (1251 for 866); 0 when none is known.
int ansi_code_page_of(int oem);

// "from the tools' phrases", for the page's "decoded as CP866 (Russian), from the tools' phrases".
std::string_view basis_text(GuessBasis basis);

} // namespace lum::reports
