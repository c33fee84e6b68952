// server/reports/decoding/code_pages.cpp: the candidate code pages and what each is for.
#include "server/reports/decoding/code_pages.h"

#include <algorithm>
#include <array>

namespace lum::reports {
namespace {

// Pages both a console and Notepad use. CP932, CP936 and CP949 rather than SHIFT_JIS, GBK or EUC-KR, which
// lack Windows' extra characters.
constexpr CodePage THAI{874, "CP874", "Thai", Script::Thai};
constexpr CodePage JAPANESE{932, "CP932", "Japanese", Script::Japanese};
constexpr CodePage SIMPLIFIED_CHINESE{936, "CP936", "Simplified Chinese", Script::Chinese};
constexpr CodePage KOREAN{949, "CP949", "Korean", Script::Korean};
constexpr CodePage TRADITIONAL_CHINESE{950, "CP950", "Traditional Chinese", Script::Chinese};
constexpr CodePage VIETNAMESE{1258, "CP1258", "Vietnamese", Script::Latin};
constexpr CodePage UTF8_PAGE{UTF8, "UTF-8", "UTF-8", Script::Any};

constexpr std::array CONSOLE = {
    CodePage{437, "CP437", "US English", Script::Latin},
    CodePage{720, "CP720", "Arabic", Script::Arabic},
    CodePage{737, "CP737", "Greek", Script::Greek},
    CodePage{775, "CP775", "Baltic", Script::Latin},
    CodePage{850, "CP850", "Western European", Script::Latin},
    CodePage{852, "CP852", "Central European", Script::Latin},
    CodePage{855, "CP855", "Serbian, Macedonian", Script::Cyrillic},
    CodePage{857, "CP857", "Turkish", Script::Latin},
    CodePage{862, "CP862", "Hebrew", Script::Hebrew},
    CodePage{866, "CP866", "Russian", Script::Cyrillic},
    THAI,
    JAPANESE,
    SIMPLIFIED_CHINESE,
    KOREAN,
    TRADITIONAL_CHINESE,
    VIETNAMESE,
    UTF8_PAGE,
};

constexpr std::array FILE = {
    CodePage{1250, "CP1250", "Central European, ANSI", Script::Latin},
    CodePage{1251, "CP1251", "Cyrillic, ANSI", Script::Cyrillic},
    CodePage{1252, "CP1252", "Western European, ANSI", Script::Latin},
    CodePage{1253, "CP1253", "Greek, ANSI", Script::Greek},
    CodePage{1254, "CP1254", "Turkish, ANSI", Script::Latin},
    CodePage{1255, "CP1255", "Hebrew, ANSI", Script::Hebrew},
    CodePage{1256, "CP1256", "Arabic, ANSI", Script::Arabic},
    CodePage{1257, "CP1257", "Baltic, ANSI", Script::Latin},
    THAI,
    JAPANESE,
    SIMPLIFIED_CHINESE,
    KOREAN,
    TRADITIONAL_CHINESE,
    VIETNAMESE,
    UTF8_PAGE,
    CodePage{UTF16LE, "UTF-16LE", "UTF-16, little-endian", Script::Any},
};

} // namespace

std::span<const CodePage> console_code_pages() { return CONSOLE; }
std::span<const CodePage> file_code_pages() { return FILE; }

const CodePage* find_code_page(int number) {
    for (const std::span<const CodePage> list : {console_code_pages(), file_code_pages()}) {
        const auto found =
            std::find_if(list.begin(), list.end(), [&](const CodePage& page) { return page.number == number; });
        if (found != list.end()) return &*found;
    }
    return nullptr;
}

} // namespace lum::reports
