// server/reports/decoding/tool_phrases.h: what Windows' tools print in each language (tool_phrases.tsv, built
// into the program), for telling code pages apart and for reading localized output.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/reports/decoding/detector.h"

namespace lum::reports {

struct ToolPhrase {
    std::string language;   // "russian"
    int oem_code_page = 0;  // the console's: 866
    int ansi_code_page = 0; // Notepad's: 1251
    std::string tool;       // "ping", "ipconfig", "nslookup", "netstat", "route", "hosts"
    std::string role;       // what it says, the same in every language: "ping.stats.sent"
    std::string text;       // UTF-8
};

// Every phrase of the table, read once.
std::span<const ToolPhrase> tool_phrases();

// The phrases' fixed pieces holding a character above ASCII, of the languages whose consoles (or files, by
// `source`) use `code_page`: found in a decoding, they say it is the right one.
std::span<const std::string> telling_phrases(int code_page, SectionSource source);

// Reads the table's text: a header line naming the columns (language, oem_cp, ansi_cp, tool, role, phrase,
// and any others, which are left aside), then one phrase a line, tab-separated; "#" starts a comment line.
std::vector<ToolPhrase> parse_tool_phrases(std::string_view table);

} // namespace lum::reports
