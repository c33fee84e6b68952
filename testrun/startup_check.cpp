// testrun/startup_check.cpp: refuses to run without a working connection, before anything is written.
#include "testrun/startup_check.h"

#include "runtime/net/net.h"
#include "runtime/window/window.h"
#include "testrun/operator.h"

namespace lum {
namespace {

// The public resolver answers echoes from everywhere, so no reply means the computer is offline.
constexpr std::string_view CONNECTIVITY_PROBE = "8.8.8.8";

bool reaches_internet() {
    network_start(); // the echo starts the sockets service for itself if this failed
    return echo_host(CONNECTIVITY_PROBE) >= 0;
}

} // namespace

bool passes_startup_check(RunState&) {
    if (!reaches_internet()) {
        message_box(PROGRAM_TITLE, NETWORK_PROBLEM_MESSAGE);
        return false;
    }
    // PENDING: the public-address lookup and the customer check come with the HTTP header fetch. Until
    // then the lookup counts as failed, which ends the run with the network-problem message.
    message_box(PROGRAM_TITLE, NETWORK_PROBLEM_MESSAGE);
    return false;
}

} // namespace lum
