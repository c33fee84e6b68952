// server/dashboard/page_response.h: the dashboard's pages, each with the headers that keep a browser from
// running, framing, caching or guessing at what it shows (its JSON and file answers are server/web/answers.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/http/request.h"
#include "server/http/response.h"
#include "server/web/answers.h"
#include "server/web/page_headers.h"
#include "server/dashboard/render.h"

namespace lumresults::dashboard {

// An HTML page rendered from templates/NAME.mustache, with the signed-in user's name and form token.
Response page(unsigned status, std::string_view template_name, PageData data, const Request& request);

// One value of a page made a piece at a time as the page is sent (LinesHtml::next, say): each call appends
// the next piece to its string and says whether there was one. With the length they make together.
using HtmlPieces = std::function<bool(std::string& out)>;
struct StreamedHtml {
    std::uint64_t size = 0;
    HtmlPieces pieces;
};

// What a triple-braced (_html) value of the page is set to where the streamed value goes.
std::string streamed_here();

// page() with that value made while the page is sent rather than held whole, so that memory holds the rest
// of the page and one piece: for a value that may be far larger than the page around it. Its pieces must
// make exactly `size` bytes; fewer end the connection with the page unfinished.
Response streamed_page(unsigned status, std::string_view template_name, PageData data, const Request& request,
                       StreamedHtml html);

// A short page that says what went wrong ("Not found", "This report does not exist.").
Response message_page(unsigned status, std::string_view heading, std::string_view text, const Request& request);

} // namespace lumresults::dashboard
