// rules/operator.h: the operator's fixed values: servers, addresses and customer address blocks.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lum {

inline constexpr std::string_view PROGRAM_TITLE = "Lumora Network Test v1.4";

// The results server and the four paths the program uses there: the public-address lookup (a HEAD
// request), the download test's file, the report upload and the speed-test page. Its URLs name no port,
// so every client reaches it on port 80.
inline constexpr std::string_view RESULTS_SERVER_HOST = "nettest.lumora.example";
inline constexpr std::string_view PUBLIC_ADDRESS_PATH = "/ip/";
inline constexpr std::string_view DOWNLOAD_PATH = "/10mb.bin";
inline constexpr std::string_view UPLOAD_PATH = "/lumnettestresult.php";
inline constexpr std::string_view SPEED_TEST_PATH = "/?lumnettest";

// The results server's address for a path: "http://", the host and the path.
inline std::string results_server_url(std::string_view path) {
    return "http://" + std::string(RESULTS_SERVER_HOST) + std::string(path);
}

// The operator's test server, probed by the latency and large-packet tests.
inline constexpr std::string_view TEST_SERVER_ADDRESS = "100.102.0.10";

// The operator's private resolver: the IPTV service host resolves to it only through the operator's DNS.
inline constexpr std::string_view OPERATOR_RESOLVER_ADDRESS = "172.27.2.200";

// The multicast group and port that the multicast test listens to.
inline constexpr std::string_view MULTICAST_GROUP = "224.3.2.55";
inline constexpr std::string_view MULTICAST_PORT = "6000";

// Resolved by the name-resolution test: the IPTV service, then the public web hosts in this order.
inline constexpr std::string_view IPTV_SERVICE_HOST = "iptv.lumora.example";
inline constexpr std::array<std::string_view, 4> PUBLIC_WEB_HOSTS = {
    "www.google.com",
    "www.youtube.com",
    "www.facebook.com",
    "www.wikipedia.org",
};

// The operator's public address blocks: the first two octets and a dot, compared over each entry's own
// length so that "100.65." never matches an address in 100.650-something. Entry 4 (index 3) is also a
// pass marker of the configuration test; entries 2 and 6 mark subscribers without multicast.
inline constexpr std::array<std::string_view, 7> CustomerPrefixes = {
    "100.100.", "100.65.", "100.101.", "100.102.", "100.103.", "100.104.", "100.66.",
};

} // namespace lum
