// server/reports/decoding/letters.h: how much decoded text looks like words of the script its code page is for.
#pragma once

#include <string_view>

#include "server/reports/decoding/code_pages.h"

namespace lum::reports {

// The plausibility of UTF-8 text decoded as a code page for `script`: each word holding a letter above
// ASCII counts +1 when it reads like a word of that script (its letters of the script, no other symbols
// inside, lower case after its first letter unless all upper case, no ASCII letters beside letters of a
// script that has none), −1 otherwise; each character above ASCII that is no letter of any script (box
// drawing, symbols) counts −1, and each byte the code page could not read −2 (counted by the caller).
int letter_score(std::string_view utf8, Script script);

} // namespace lum::reports
