// tests/server/support/staff_client.h: a member of staff's requests to a running server: forms, cookies, signing in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "raw_http.h"

namespace lum::server_testing {

// A request ending the connection after its answer; a body goes as an urlencoded form.
std::string form_request(std::string_view method, std::string_view target, std::string_view headers = "",
                         std::string_view body = "");

// The value a Set-Cookie header of the response gives the cookie, if one does.
std::optional<std::string> set_cookie(const HttpResponse& response, std::string_view name);

// The value of the hidden field named csrf in a page's form.
std::string csrf_field(const std::string& page);

// "Cookie: lumresults_session=VALUE\r\n", the header a signed-in browser sends.
std::string session_cookie(std::string_view value);

// Signs in at the server on `port` as the sign-in page asks (its cookie and the same value in the form),
// with `planted` as a session cookie the browser had already. The answer to the form's POST.
HttpResponse post_sign_in(int port, std::string_view user, std::string_view password, std::string_view planted = {});

// One exchange with the server on `port`, bounded in time; an empty response (status 0) when none came.
HttpResponse send_to(int port, const std::string& text, bool to_head = false);

} // namespace lum::server_testing
