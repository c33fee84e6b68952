// testrun/startup_check.cpp: refuses to run without a working connection or for a non-customer, before anything is
// written.
#include "testrun/startup_check.h"

#include "runtime/net/net.h"
#include "runtime/text/text.h"
#include "runtime/window/window.h"
#include "rules/operator.h"

namespace lum {
namespace {

// The public resolver answers echoes from everywhere, so no reply means the computer is offline.
constexpr std::string_view CONNECTIVITY_PROBE = "8.8.8.8";

bool refuse(std::string_view message) {
    message_box(PROGRAM_TITLE, message);
    return false;
}

} // namespace

// The header is cut at CR alone, so every line after the first starts with its LF; only the line's
// second blank-separated field is used, which the LF does not touch. The first empty field is the one
// after the last CR.
std::string public_address_from(std::string_view header) {
    std::string address;
    for (std::int32_t number = 1;; ++number) {
        const std::string line = split_field(header, number, "\r");
        if (find_substring(line, "Client-IP-Address") != 0) {
            address = split_field(line, 2, " ");
        } else if (find_substring(line, "Network") != 0) {
            break;
        }
        if (line.empty()) break;
    }
    return address;
}

void set_multicast_exclusions(RunState& state) {
    const MulticastExclusions excluded = multicast_exclusions(state.PublicIp);
    if (excluded.block_a) state.SkipMulticastA = 1;
    if (excluded.block_b) state.SkipMulticastB = 1;
}

bool passes_startup_check(RunState& state) {
    network_start(); // the echo starts the sockets service for itself if this failed
    if (echo_host(CONNECTIVITY_PROBE) < 0) return refuse(NETWORK_PROBLEM_MESSAGE);
    state.PublicIp = public_address_from(fetch_http_head(results_server_url(PUBLIC_ADDRESS_PATH)));
    if (state.PublicIp.empty()) return refuse(NETWORK_PROBLEM_MESSAGE);
    if (!is_customer_address(state.PublicIp)) return refuse(NOT_CUSTOMER_MESSAGE);
    set_multicast_exclusions(state);
    return true;
}

} // namespace lum
