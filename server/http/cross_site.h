// server/http/cross_site.h: whether a browser says a request was sent by a page of another site.
#pragma once

#include "server/http/request.h"

namespace lumresults {

// True when the request names another site as its sender: an Origin whose host is not the request's Host
// (a port left aside, since a balancer may pass Host on without it; "null", a sandboxed page's, is never
// ours), or Sec-Fetch-Site: cross-site. A browser sends Origin with every cross-site POST and fetch; the
// program and other plain clients send neither, so they are never taken for another site.
bool from_another_site(const Request& request);

} // namespace lumresults
