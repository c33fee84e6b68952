// server/dashboard/render.cpp: kainjow mustache over the templates built into the program.
#include "server/dashboard/render.h"

#include <stdexcept>

#include "server/web/display_text.h"
#include "server/dashboard/embedded_files.h"

namespace lumresults::dashboard {
namespace {

std::string template_text(std::string_view name) {
    const std::string path = "templates/" + std::string(name) + ".mustache";
    const std::optional<std::string_view> text = embedded_file(path);
    if (!text) throw std::logic_error("no template " + path);
    return std::string(*text);
}

kainjow::mustache::partial partial_of(std::string_view name) {
    return kainjow::mustache::partial([text = template_text(name)] { return text; });
}

} // namespace

std::string render(std::string_view template_name, PageData data) {
    kainjow::mustache::mustache page{template_text(template_name)};
    if (!page.is_valid())
        throw std::logic_error("template " + std::string(template_name) + ": " + page.error_message());
    page.set_custom_escape([](const std::string& value) { return html_text(value); });
    data.set("top", partial_of("top"));
    data.set("bottom", partial_of("bottom"));
    data.set("results", partial_of("results"));
    std::string html = page.render(data);
    if (!page.is_valid())
        throw std::logic_error("template " + std::string(template_name) + ": " + page.error_message());
    return html;
}

} // namespace lumresults::dashboard
