// tests/fuzz/fuzz_format_date.cpp: date masks of any bytes, for any date value, against a naive formatter.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "runtime/time/time.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

std::string two_digits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// The date's fields as UTC, or all zero for a value below 0.
std::tm fields_of(DateValue date) {
    std::tm fields{};
    const std::time_t seconds = date;
    if (date < 0 || gmtime_r(&seconds, &fields) == nullptr) return std::tm{};
    fields.tm_year += 1900;
    fields.tm_mon += 1;
    return fields;
}

// Codes are tried longest year first, letters in any case; an unknown "%" stays as it is.
std::string reference_format(std::string_view mask, DateValue date) {
    const std::tm f = fields_of(date);
    const std::string year = date < 0 ? "0000" : std::to_string(f.tm_year);
    const struct {
        std::string_view code;
        std::string text;
    } codes[] = {{"%yyyy", year},
                 {"%yy", two_digits(f.tm_year % 100)},
                 {"%mm", two_digits(f.tm_mon)},
                 {"%dd", two_digits(f.tm_mday)},
                 {"%hh", two_digits(f.tm_hour)},
                 {"%ii", two_digits(f.tm_min)},
                 {"%ss", two_digits(f.tm_sec)}};
    const std::string lower = ascii_lower(mask);
    std::string out;
    for (std::size_t at = 0; at < mask.size();) {
        bool replaced = false;
        for (const auto& code : codes) {
            if (lower.compare(at, code.code.size(), code.code) != 0) continue;
            out += code.text;
            at += code.code.size();
            replaced = true;
            break;
        }
        if (!replaced) out += mask[at++];
    }
    return out;
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    FuzzedDataProvider data(bytes, size);
    const auto date = data.ConsumeBool() ? data.ConsumeIntegral<lum::DateValue>()
                                         : data.ConsumeIntegralInRange<lum::DateValue>(-1, 2147471999);
    const std::string mask = data.ConsumeRemainingBytesAsString();
    const std::string text = lum::format_date(mask, date);
    require(text == reference_format(mask, date), "the text equals the naive formatter's");
    // Every code is longer than what replaces it, so the text is never longer than its mask.
    require(text.size() <= mask.size(), "the text is no longer than the mask");
    return 0;
}
