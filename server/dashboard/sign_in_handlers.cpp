// server/dashboard/sign_in_handlers.cpp: signing in and out.
//
// Before there is a session the sign-in form's token is a double submit: the form carries the value of a
// short-lived cookie that only this site can set, so a form posted from elsewhere cannot match it.
#include <string>

#include "server/http/cross_site.h"
#include "server/http/form_body.h"
#include "server/dashboard/handlers.h"
#include "server/dashboard/page_response.h"

namespace lumresults::dashboard {
namespace {

constexpr std::string_view SIGN_IN_COOKIE = "lumresults_signin";
constexpr std::size_t FORM_LIMIT = 8 * 1024;

// Only a path of this dashboard is a place to return to, so the form cannot send anyone elsewhere.
std::string safe_next(std::string_view next) {
    if (!next.starts_with("/support/") || next.find("//") != std::string_view::npos ||
        next.find("..") != std::string_view::npos || next.find('\\') != std::string_view::npos)
        return "/support/";
    for (const char c : next)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return "/support/";
    return std::string(next);
}

std::string sign_in_cookie(std::string_view value, bool secure) {
    return std::string(SIGN_IN_COOKIE) + "=" + std::string(value) +
           "; Path=/support/; Max-Age=" + (value.empty() ? "0" : "1800") + "; HttpOnly; SameSite=Strict" +
           (secure ? "; Secure" : "");
}

// The form with a fresh token (and its cookie), the user name kept when it is shown again.
Response form_page(unsigned status, const Request& request, std::string_view next, std::string_view user,
                   std::string_view error) {
    const std::string token = random_token();
    PageData data;
    data.set("title", "Sign in");
    data.set("csrf_form", token);
    data.set("next", safe_next(next));
    data.set("user_name", std::string(user));
    if (!error.empty()) data.set("error", std::string(error));
    Response response = page(status, "sign_in", std::move(data), request);
    response.headers.emplace_back("Set-Cookie", sign_in_cookie(token, request.secure));
    return response;
}

// "Try again in N seconds" (or minutes), said in the page and in Retry-After.
Response throttled_page(const Request& request, std::string_view next, std::string_view user,
                        std::chrono::seconds retry_after) {
    const auto count = retry_after.count();
    const std::string wait = count < 120 ? std::to_string(count) + (count == 1 ? " second" : " seconds")
                                         : std::to_string((count + 59) / 60) + " minutes";
    Response response = form_page(429, request, next, user, "Too many refused sign-ins. Try again in " + wait + ".");
    response.headers.emplace_back("Retry-After", std::to_string(count));
    return response;
}

bool same_token(std::string_view a, std::string_view b) {
    if (a.empty() || a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

Response sign_in(DashboardSite& site, const Request& request, const FormFields& form) {
    const std::string next = form.value("next").value_or("/support/");
    const std::string user = form.value("user").value_or("");
    const std::optional<std::string> cookies = request.header("Cookie");
    const std::optional<std::string> cookie = cookies ? cookie_value(*cookies, SIGN_IN_COOKIE) : std::nullopt;
    // Another site's page could otherwise sign a browser in to an account of its choosing (whose searches
    // it would then see): refused by its Origin before the form's token is even compared.
    if (from_another_site(request))
        return form_page(403, request, next, user, "Sign in from this site's own sign-in page.");
    if (!cookie || !same_token(*cookie, form.value("csrf").value_or("")))
        return form_page(403, request, next, user, "This sign-in form has expired. Please sign in again.");
    const SignInResult result = dashboard::sign_in(site.store, user, form.value("password").value_or(""),
                                                   format_address(request.caller), Clock::now(), site.accounts);
    if (result.outcome == SignInOutcome::Throttled) return throttled_page(request, next, user, result.retry_after);
    if (result.outcome == SignInOutcome::DirectoryUnavailable)
        return form_page(503, request, next, user,
                         "The directory cannot be reached now, so directory accounts cannot sign in. "
                         "Local accounts still can.");
    if (result.outcome != SignInOutcome::SignedIn)
        return form_page(401, request, next, user, "Wrong user name or password.");
    // The dashboard's front page is the search; someone whose roles do not include it starts at their own.
    std::string target = safe_next(next);
    if (target == "/support/") target = home_for(result.principal.roles);
    Response response = Response::redirect(target);
    add_page_headers(response);
    response.headers.emplace_back("Set-Cookie", session_cookie(result.cookie_value, request.secure));
    response.headers.emplace_back("Set-Cookie", sign_in_cookie("", request.secure));
    return response;
}

Response sign_out(DashboardSite& site, const Request& request, const FormFields& form) {
    if (!request.principal || !csrf_matches(*request.principal, form.value("csrf").value_or("")))
        return message_page(403, "Not signed out", "The sign-out form has expired; reload the page and try again.",
                            request);
    dashboard::sign_out(site.store, *request.principal, format_address(request.caller), Clock::now());
    Response response = Response::redirect(std::string(SIGN_IN_PATH));
    add_page_headers(response);
    response.headers.emplace_back("Set-Cookie", ended_session_cookie(request.secure));
    return response;
}

} // namespace

Response sign_in_form(const Request& request) {
    return form_page(200, request, request.query_value("next").value_or("/support/"), {}, {});
}

std::unique_ptr<BodyReceiver> receive_sign_in(DashboardSite& site, const Request& request) {
    return receive_form(request, FORM_LIMIT,
                        [&site](const Request& r, const FormFields& form) { return sign_in(site, r, form); });
}

std::unique_ptr<BodyReceiver> receive_sign_out(DashboardSite& site, const Request& request) {
    return receive_form(request, FORM_LIMIT,
                        [&site](const Request& r, const FormFields& form) { return sign_out(site, r, form); });
}

} // namespace lumresults::dashboard
