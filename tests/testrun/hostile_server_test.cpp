// tests/testrun/hostile_server_test.cpp: the public-address answer from servers that misbehave, read as the start-up
// check reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/net/net.h"
#include "testrun/startup_check.h"
#include "tests/net/scripted_server.h"

namespace lum {
namespace {

using testing_support::ScriptedServer;
using testing_support::Step;

const std::string STATUS = "HTTP/1.1 200 OK\r\n";
const std::string ADDRESS_LINE = "Client-IP-Address: 100.102.3.4\r\n";

std::string padding_headers(std::size_t bytes) {
    std::string headers;
    for (int number = 0; headers.size() < bytes; ++number)
        headers += "X-Padding-" + std::to_string(number) + ": " + std::string(60, 'p') + "\r\n";
    return headers;
}

class HostileServer : public ::testing::Test {
protected:
    void SetUp() override { network_start(); }
    void TearDown() override { network_stop(); }

    static std::string address_from(const std::vector<Step>& answer) {
        ScriptedServer server(answer);
        return public_address_from(fetch_http_head(server.url("/ip/")));
    }
};

// Only the first block of the answer counts: an address within it is found whatever follows, one
// beyond it is not, and the start-up check then refuses the run as it does without an address.
TEST_F(HostileServer, SixtyFourKilobytesOfHeadersAreReadOnlyAsFarAsTheFirstBlock) {
    EXPECT_EQ(address_from({{STATUS + ADDRESS_LINE + padding_headers(64 * 1024) + "\r\n"}}), "100.102.3.4");
    EXPECT_EQ(address_from({{STATUS + padding_headers(64 * 1024) + ADDRESS_LINE + "\r\n"}}), "");
}

TEST_F(HostileServer, AnswersWithoutAnAddressGiveNone) {
    const struct {
        const char* what;
        std::vector<Step> answer;
    } cases[] = {
        {"a zero byte before the address", {{STATUS + std::string(1, '\0') + ADDRESS_LINE + "\r\n"}}},
        {"carriage returns only", {{"\r\r\r"}}},
        {"a thousand carriage returns", {{std::string(1000, '\r')}}},
        {"line feeds only", {{std::string(2000, '\n')}}},
        {"closed at once", {}},
        {"binary junk", {{std::string("\xff\xfe\x00\x01\r\n\x80", 7)}}},
        // An empty line (a CR right after a CR) ends the header before the address.
        {"carriage returns before the address", {{STATUS + "\r\r\r" + ADDRESS_LINE}}},
        {"the address after one carriage return", {{"\r" + ADDRESS_LINE}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(address_from(c.answer), "") << c.what;
}

} // namespace
} // namespace lum
