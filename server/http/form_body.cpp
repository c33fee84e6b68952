// server/http/form_body.cpp: reading small HTML form bodies.
#include "server/http/form_body.h"

#include <cctype>

namespace lumresults {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 && hex_digit(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool is_form_type(const Request& request) {
    const std::optional<std::string> type = request.header("Content-Type");
    if (!type) return false;
    std::string lower;
    for (char c : *type)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.starts_with("application/x-www-form-urlencoded");
}

// A body read whole, bounded; `admit` may refuse it by its headers first.
class SmallBodyReceiver final : public BodyReceiver {
public:
    SmallBodyReceiver(const Request& request, std::size_t limit, bool (*admit)(const Request&), Response refused,
                      std::function<Response(const Request&, std::string_view)> answer)
        : request_(request), limit_(limit), admit_(admit), refused_(std::move(refused)), answer_(std::move(answer)) {}

    std::optional<Response> refusal() override {
        if (admit_ != nullptr && !admit_(request_)) return refused_;
        if (request_.content_length && *request_.content_length > limit_) return too_large();
        return std::nullopt;
    }
    std::optional<Response> feed(std::string_view bytes) override {
        if (body_.size() + bytes.size() > limit_) return too_large();
        body_ += bytes;
        return std::nullopt;
    }
    Response finish() override { return answer_(request_, body_); }

private:
    static Response too_large() { return Response::text(413, "body too large\n"); }

    Request request_;
    std::size_t limit_;
    bool (*admit_)(const Request&);
    Response refused_;
    std::function<Response(const Request&, std::string_view)> answer_;
    std::string body_;
};

} // namespace

std::optional<std::string> FormFields::value(std::string_view name) const {
    for (const auto& [key, value] : fields)
        if (key == name) return value;
    return std::nullopt;
}

FormFields parse_form(std::string_view body) {
    FormFields form;
    while (!body.empty()) {
        const std::size_t end = body.find('&');
        const std::string_view pair = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view{} : body.substr(end + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        form.fields.emplace_back(unescape(pair.substr(0, equals)),
                                 equals == std::string_view::npos ? std::string{} : unescape(pair.substr(equals + 1)));
    }
    return form;
}

std::unique_ptr<BodyReceiver> receive_form(const Request& request, std::size_t limit,
                                           std::function<Response(const Request&, const FormFields&)> answer) {
    return std::make_unique<SmallBodyReceiver>(
        request, limit, &is_form_type, Response::text(415, "expected a form\n"),
        [answer = std::move(answer)](const Request& asked, std::string_view body) {
            return answer(asked, parse_form(body));
        });
}

std::unique_ptr<BodyReceiver> receive_small_body(const Request& request, std::size_t limit,
                                                 std::function<Response(const Request&, std::string_view)> answer) {
    return std::make_unique<SmallBodyReceiver>(request, limit, nullptr, Response{}, std::move(answer));
}

} // namespace lumresults
