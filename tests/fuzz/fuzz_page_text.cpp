// tests/fuzz/fuzz_page_text.cpp: any bytes shown on a page or in the API stay text: no markup gets through,
// what is shown is valid UTF-8, and form bodies and cookies are read without fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/http/form_body.h"
#include "server/dashboard/accounts.h"
#include "server/web/display_text.h"
#include "tests/fuzz/fuzz_check.h"

namespace lum::fuzz {
namespace {

// Length of the UTF-8 sequence at text[i], or 0 when it is not a valid one (overlong, surrogate, > U+10FFFF).
std::size_t utf8_sequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

bool valid_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool free_of_markup(std::string_view html) { return html.find_first_of("<>\"'") == std::string_view::npos; }

// raw_lines_html may add only its own byte spans.
std::string without_byte_spans(std::string html) {
    for (const std::string_view tag : {std::string_view("<span class=\"byte\">"), std::string_view("</span>")})
        for (std::size_t at = html.find(tag); at != std::string::npos; at = html.find(tag, at))
            html.erase(at, tag.size());
    return html;
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lum::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = lumresults::html_text(bytes);
    require(free_of_markup(shown) && valid_utf8(shown), "html_text gives plain, valid text");
    const std::string lines = without_byte_spans(lumresults::raw_lines_html(bytes));
    require(free_of_markup(lines) && valid_utf8(lines), "raw_lines_html adds nothing but its byte spans");
    require(valid_utf8(lumresults::utf8_text(bytes)), "utf8_text gives valid UTF-8");
    for (const auto& [name, value] : lumresults::parse_form(bytes).fields)
        require(name.size() + value.size() <= bytes.size(), "form fields come from the body");
    (void)lumresults::dashboard::cookie_value(bytes, "lumresults_session");
    return 0;
}
