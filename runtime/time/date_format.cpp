// runtime/time/date_format.cpp: date values written out through a mask of "%" tokens.
#include "runtime/time/time.h"

#include <array>
#include <cctype>

namespace lum {
namespace {

struct DateFields {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

enum class Field { Year4, Year2, Month, Day, Hour, Minute, Second };

struct Token {
    std::string_view letters; // what follows the "%"
    Field field;
};

// Tried in this order and the first match wins, so "%yyyy" is never read as "%yy" followed by "yy".
constexpr std::array<Token, 7> TOKENS{{
    {"yyyy", Field::Year4},
    {"yy", Field::Year2},
    {"mm", Field::Month},
    {"dd", Field::Day},
    {"hh", Field::Hour},
    {"ii", Field::Minute},
    {"ss", Field::Second},
}};

bool starts_with_letters(std::string_view text, std::string_view letters) {
    if (text.size() < letters.size()) return false;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const auto lower = std::tolower(static_cast<unsigned char>(text[i]));
        if (lower != static_cast<unsigned char>(letters[i])) return false;
    }
    return true;
}

void append_two_digits(std::string& out, int value) {
    if (value < 10) out.push_back('0');
    out += std::to_string(value);
}

void append_field(std::string& out, Field field, const DateFields& date) {
    switch (field) {
    case Field::Year4:
        // A date that cannot be broken down has year 0, written at the full width like a real year.
        out += date.year == 0 ? std::string("0000") : std::to_string(date.year);
        break;
    case Field::Year2: append_two_digits(out, date.year % 100); break;
    case Field::Month: append_two_digits(out, date.month); break;
    case Field::Day: append_two_digits(out, date.day); break;
    case Field::Hour: append_two_digits(out, date.hour); break;
    case Field::Minute: append_two_digits(out, date.minute); break;
    case Field::Second: append_two_digits(out, date.second); break;
    }
}

// The token that starts right after a "%", or nullptr when none does.
const Token* token_at(std::string_view after_percent) {
    for (const Token& token : TOKENS) {
        if (starts_with_letters(after_percent, token.letters)) return &token;
    }
    return nullptr;
}

} // namespace

std::string format_date(std::string_view mask, DateValue date) {
    const DateFields fields{date_year(date), date_month(date),  date_day(date),
                            date_hour(date), date_minute(date), date_second(date)};
    std::string out;
    out.reserve(mask.size() + 16);
    std::size_t at = 0;
    while (at < mask.size()) {
        const char c = mask[at++];
        const Token* token = c == '%' ? token_at(mask.substr(at)) : nullptr;
        if (token == nullptr) {
            // A "%" that starts no token stays, and the byte after it is read as ordinary text.
            out.push_back(c);
            continue;
        }
        append_field(out, token->field, fields);
        at += token->letters.size();
    }
    return out;
}

} // namespace lum
