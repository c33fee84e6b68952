// server/dashboard/render.h: the dashboard's pages from its templates, every value escaped for HTML.
//
// {{name}} escapes (display_text.h: entities, and bytes that are not UTF-8 as \xNN). Triple braces insert
// HTML as it is and are used only for values whose name ends in _html, made by this program's own
// escaping (raw_lines_html); never for anything a caller or a report supplied unescaped.
#pragma once

#include <string>
#include <string_view>

#include <kainjow/mustache.hpp>

namespace lumresults::dashboard {

using PageData = kainjow::mustache::data;
using PageList = kainjow::mustache::list;

// templates/NAME.mustache with `data`; the templates top and bottom (the page's head, bar and end) and
// results (a table of found reports) are there as partials. Throws std::logic_error for a template that does not parse
// (a fault of this build).
std::string render(std::string_view template_name, PageData data);

} // namespace lumresults::dashboard
