// server/reports/decoding/general_detector.cpp: uchardet's verdict, in Windows' numbers.
#include "server/reports/decoding/general_detector.h"

#include <uchardet/uchardet.h>

#include <array>
#include <memory>
#include <string>
#include <utility>

namespace lum::reports {
namespace {

struct DetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// uchardet's names; its Shift_JIS, GB18030, EUC-KR and Big5 stand for Windows' supersets of them.
constexpr std::array<std::pair<std::string_view, int>, 22> NAMES = {{
    {"IBM866", 866},        {"IBM855", 855},        {"IBM852", 852},        {"IBM437", 437},
    {"IBM850", 850},        {"IBM857", 857},        {"IBM862", 862},        {"WINDOWS-1250", 1250},
    {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252}, {"WINDOWS-1253", 1253}, {"WINDOWS-1254", 1254},
    {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256}, {"WINDOWS-1257", 1257}, {"WINDOWS-1258", 1258},
    {"SHIFT_JIS", 932},     {"GB18030", 936},       {"EUC-KR", 949},        {"UHC", 949},
    {"BIG5", 950},          {"UTF-8", 65001},
}};

} // namespace

std::optional<int> detected_code_page(std::string_view bytes) {
    const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) return std::nullopt;
    uchardet_data_end(detector.get());
    std::string name = uchardet_get_charset(detector.get());
    for (char& letter : name)
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    for (const auto& [known, number] : NAMES)
        if (name == known) return number;
    return std::nullopt;
}

} // namespace lum::reports
