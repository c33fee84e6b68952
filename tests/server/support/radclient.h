// tests/server/support/radclient.h: access nodes played by the RADIUS project's own radclient, as a test's child.
#pragma once

#include <filesystem>
#include <string>

namespace lum::server_testing {

// radclient's own count of what it sent: answered, or lost after its tries.
struct RadclientSummary {
    int answered = 0;
    int lost = 0;
};

// Sends the packets (radclient's attribute lists, a blank line between packets) to `server` ("127.0.0.1:1813",
// "[::1]:1813") as Accounting-Requests with `secret`, trying each `tries` times a second apart, from a
// scratch folder of its own under `work`. Throws std::runtime_error, with radclient's output, when it cannot
// be run or says nothing of what it sent.
RadclientSummary send_accounting(const std::filesystem::path& work, const std::string& packets,
                                 const std::string& server, const std::string& secret, int tries = 1);

} // namespace lum::server_testing
