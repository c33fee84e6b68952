// server/dashboard/page_response.cpp: the dashboard's pages, rendered whole or streamed around one large value.
#include "server/dashboard/page_response.h"

#include "server/dashboard/dashboard_routes.h"
#include "server/web/local_time.h"

#include <algorithm>
#include <memory>
#include <stdexcept>


namespace lumresults::dashboard {

namespace {

constexpr const char* HTML_TYPE = "text/html; charset=utf-8";
// Where the streamed value goes in the rendered page: no escaped value holds a control byte (display_text.h).
constexpr std::string_view STREAMED_MARK = "\x01streamed\x01";

// The links a page shows are those its reader's roles let them follow (the sets the route table gives).
void set_links(PageData& data, const Request& request) {
    const Roles roles = request.principal ? request.principal->roles : Roles::all();
    data.set("home", home_for(roles));
    data.set("may_search", roles.meets(SEARCH_ROLES));
    data.set("may_overview", roles.meets(OVERVIEW_ROLES));
    data.set("may_audit", roles.meets(AUDIT_ROLES));
}

std::string page_html(std::string_view template_name, PageData data, const Request& request) {
    if (request.principal && !request.principal->session_key.empty()) {
        data.set("user", request.principal->name);
        data.set("csrf", request.principal->csrf);
    }
    set_links(data, request);
    data.set("zone", time_zone_name()); // the pages' times are the operator's
    return render(template_name, std::move(data));
}

// The page around the streamed value, the value's pieces, and how far the client has taken them.
class PageStream {
public:
    PageStream(std::string head, std::string tail, std::uint64_t middle, HtmlPieces pieces)
        : head_(std::move(head)), tail_(std::move(tail)), middle_(middle), pieces_(std::move(pieces)) {}

    std::uint64_t size() const { return head_.size() + middle_ + tail_.size(); }

    // StreamedBody::fill: the library asks for the bytes in order, each once.
    std::size_t fill(std::uint64_t offset, char* into, std::size_t room) {
        if (offset != sent_) return 0;
        std::size_t written = 0;
        if (sent_ < head_.size()) {
            written = copy(std::string_view(head_).substr(sent_), into, room);
        } else if (sent_ < head_.size() + middle_) {
            while (piece_at_ == piece_.size()) {
                piece_.clear();
                piece_at_ = 0;
                if (!pieces_(piece_)) return 0; // shorter than it was: the page cannot be finished
            }
            const std::uint64_t left = head_.size() + middle_ - sent_;
            written = copy(std::string_view(piece_).substr(piece_at_), into,
                           static_cast<std::size_t>(std::min<std::uint64_t>(room, left)));
            piece_at_ += written;
        } else {
            written = copy(std::string_view(tail_).substr(sent_ - head_.size() - middle_), into, room);
        }
        sent_ += written;
        return written;
    }

private:
    static std::size_t copy(std::string_view from, char* into, std::size_t room) {
        const std::size_t count = std::min(room, from.size());
        std::copy_n(from.data(), count, into);
        return count;
    }

    std::string head_;
    std::string tail_;
    std::uint64_t middle_;
    HtmlPieces pieces_;
    std::string piece_;
    std::size_t piece_at_ = 0;
    std::uint64_t sent_ = 0;
};

} // namespace

Response page(unsigned status, std::string_view template_name, PageData data, const Request& request) {
    Response response = Response::text(status, page_html(template_name, std::move(data), request), HTML_TYPE);
    add_page_headers(response);
    return response;
}

std::string streamed_here() { return std::string(STREAMED_MARK); }

Response streamed_page(unsigned status, std::string_view template_name, PageData data, const Request& request,
                       StreamedHtml html) {
    const std::string text = page_html(template_name, std::move(data), request);
    const std::size_t mark = text.find(STREAMED_MARK);
    if (mark == std::string::npos)
        throw std::logic_error("template " + std::string(template_name) + ": nothing streamed");
    auto stream = std::make_shared<PageStream>(text.substr(0, mark), text.substr(mark + STREAMED_MARK.size()),
                                               html.size, std::move(html.pieces));
    Response response = Response::text(status, {}, HTML_TYPE);
    response.streamed_body = StreamedBody{stream->size(), [stream](std::uint64_t offset, char* into, std::size_t room) {
                                              return stream->fill(offset, into, room);
                                          }};
    add_page_headers(response);
    return response;
}

Response message_page(unsigned status, std::string_view heading, std::string_view text, const Request& request) {
    PageData data;
    data.set("title", std::string(heading));
    data.set("heading", std::string(heading));
    data.set("text", std::string(text));
    return page(status, "message", std::move(data), request);
}

} // namespace lumresults::dashboard
