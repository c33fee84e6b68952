// server/http/time_text.cpp: formatted once a second per thread, since every request needs both.
#include "server/http/time_text.h"

#include <ctime>

namespace lumresults {
namespace {

struct FormattedSecond {
    std::time_t second = -1;
    std::string text;
};

const std::string& format_now(FormattedSecond& cache, const char* format) {
    const std::time_t now = std::time(nullptr);
    if (now != cache.second) {
        std::tm parts{};
        gmtime_r(&now, &parts);
        char text[40];
        // The C locale (the server never sets another) gives English day and month names.
        std::strftime(text, sizeof text, format, &parts);
        cache = {now, text};
    }
    return cache.text;
}

} // namespace

const std::string& http_date_now() {
    thread_local FormattedSecond cache;
    return format_now(cache, "%a, %d %b %Y %H:%M:%S GMT");
}

const std::string& log_time_now() {
    thread_local FormattedSecond cache;
    return format_now(cache, "%Y-%m-%dT%H:%M:%SZ");
}

} // namespace lumresults
