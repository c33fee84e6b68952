// server/reports/decoding/code_pages.h: the code pages a report's sections may be written in, by Windows' numbers.
#pragma once

#include <span>
#include <string_view>

namespace lum::reports {

// The letters a code page's bytes above 0x7F are meant for: how plausible a decoding looks depends on it.
enum class Script { Latin, Cyrillic, Greek, Hebrew, Arabic, Thai, Japanese, Chinese, Korean, Any };

struct CodePage {
    int number = 0;              // Windows' own: 866, 1252, 65001
    std::string_view iconv_name; // what iconv calls it; the Windows variants, which keep Windows' extra characters
    std::string_view name;       // for staff, after the number: "CP866 (Russian)"
    Script script = Script::Any;
};

inline constexpr int ASCII_ONLY = 0; // every byte below 0x80: any code page reads it the same
inline constexpr int UTF8 = 65001;
inline constexpr int UTF16LE = 1200;

// What a console prints in: the OEM code pages Windows uses, and UTF-8 where the user chose it.
std::span<const CodePage> console_code_pages();
// What Notepad saves a file in: the ANSI code pages, UTF-8 and UTF-16LE.
std::span<const CodePage> file_code_pages();
// Any of either list; null for a number neither has.
const CodePage* find_code_page(int number);

} // namespace lum::reports
