// server/site/pages.cpp: the front page.
#include "server/site/pages.h"

namespace lumresults {

std::string front_page() {
    return "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>Lumora results server</title></head>\n<body>\n<h1>Lumora results server</h1>\n"
           "<p>This server receives the reports of Lumora Network Test, the program Lumora's subscribers run to "
           "check their line, and answers its public-address and download requests.</p>\n"
           "<p>Subscribers: the <a href=\"/?lumnettest\">speed test</a> is here.</p>\n</body></html>\n";
}

} // namespace lumresults
