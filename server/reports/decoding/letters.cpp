// server/reports/decoding/letters.cpp: words and characters of decoded text judged by the script they should be in.
#include "server/reports/decoding/letters.h"

#include <cstdint>

namespace lum::reports {
namespace {

enum class Kind { Ascii, AsciiLetter, Letter, Mark, Symbol };

struct Character {
    char32_t code = 0;
    Kind kind = Kind::Ascii;
    Script script = Script::Any;
    bool cased = false; // of an alphabet with upper and lower case
    bool upper = false;
};

bool in(char32_t code, char32_t first, char32_t last) { return code >= first && code <= last; }

// Scripts by their Unicode blocks, and the cases of the alphabets that have them.
Character classify(char32_t code) {
    Character c{code};
    if (code < 0x80) {
        const bool upper = code >= 'A' && code <= 'Z';
        c.kind = upper || (code >= 'a' && code <= 'z') ? Kind::AsciiLetter : Kind::Ascii;
        c.script = Script::Latin;
        c.cased = c.kind == Kind::AsciiLetter;
        c.upper = upper;
        return c;
    }
    c.kind = Kind::Letter;
    if ((in(code, 0xC0, 0x24F) && code != 0xD7 && code != 0xF7) || in(code, 0x1E00, 0x1EFF)) {
        c.script = Script::Latin;
        c.cased = true;
        c.upper = code < 0x100 ? code < 0xDF : code % 2 == 0; // the extensions mostly pair upper, lower
    } else if (in(code, 0x300, 0x36F)) {
        c.kind = Kind::Mark;
    } else if (in(code, 0x386, 0x3CE)) {
        c.script = Script::Greek;
        c.cased = true;
        c.upper = code <= 0x3AB;
    } else if (in(code, 0x400, 0x4FF)) {
        c.script = Script::Cyrillic;
        c.cased = true;
        c.upper = code < 0x430 || (code >= 0x460 && code % 2 == 0);
    } else if (in(code, 0x5D0, 0x5EA)) {
        c.script = Script::Hebrew;
    } else if (in(code, 0x620, 0x64A) || in(code, 0xFE70, 0xFEFC)) {
        c.script = Script::Arabic;
    } else if (in(code, 0xE01, 0xE5B)) {
        c.script = Script::Thai;
    } else if (in(code, 0x3040, 0x30FF) || in(code, 0xFF66, 0xFF9F)) {
        c.script = Script::Japanese;
    } else if (in(code, 0x4E00, 0x9FFF) || in(code, 0x3000, 0x303F) || in(code, 0xFF01, 0xFF5E)) {
        c.script = Script::Chinese; // the ideographs and punctuation Japanese and Korean use too
    } else if (in(code, 0xAC00, 0xD7A3) || in(code, 0x3131, 0x318E)) {
        c.script = Script::Korean;
    } else if (in(code, 0x2010, 0x2027) || code == 0xA0 || code == 0xAB || code == 0xBB) {
        c.kind = Kind::Ascii; // dashes, typographic quotes, the ellipsis, guillemets: text's own punctuation
    } else {
        c.kind = Kind::Symbol; // box drawing, currency, other punctuation above ASCII, unassigned
    }
    return c;
}

bool fits(const Character& c, Script script) {
    if (script == Script::Any || c.script == script) return true;
    // Kanji and Hanja are ideographs; Japanese and Korean text holds them beside their own letters.
    return c.script == Script::Chinese && (script == Script::Japanese || script == Script::Korean);
}

// One UTF-8 sequence at `at` (the decoder only writes valid ones).
Character next_character(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length && at + i < text.size(); ++i)
        code = (code << 6) | (byte(at + i) & 0x3F);
    at += length;
    return classify(code);
}

class WordJudge {
public:
    explicit WordJudge(Script script) : script_(script) {}

    void add(const Character& c) {
        if (c.kind == Kind::Ascii || c.kind == Kind::Symbol) {
            end_word();
            if (c.kind == Kind::Symbol) --score_;
            return;
        }
        if (c.kind == Kind::Letter) {
            has_high_ = true;
            doubtful_ = doubtful_ || !fits(c, script_) || (has_ascii_ && script_ != Script::Latin);
        } else if (c.kind == Kind::AsciiLetter) {
            has_ascii_ = true;
            doubtful_ = doubtful_ || (has_high_ && script_ != Script::Latin);
        }
        // "Zeitüberschreitung" and "ОТВЕТ" read as words; "ÄáÆï" does not.
        if (c.cased) {
            doubtful_ = doubtful_ || (c.upper && seen_lower_);
            seen_lower_ = seen_lower_ || !c.upper;
        }
    }

    int finish() {
        end_word();
        return score_;
    }

private:
    void end_word() {
        if (has_high_) score_ += doubtful_ ? -1 : 1;
        has_high_ = has_ascii_ = doubtful_ = seen_lower_ = false;
    }

    Script script_;
    int score_ = 0;
    bool has_high_ = false, has_ascii_ = false, doubtful_ = false, seen_lower_ = false;
};

} // namespace

int letter_score(std::string_view utf8, Script script) {
    WordJudge judge(script);
    for (std::size_t at = 0; at < utf8.size();)
        judge.add(next_character(utf8, at));
    return judge.finish();
}

} // namespace lum::reports
