// tests/fuzz/fuzz_public_address.cpp: the "/ip/" answer scan, the customer check and the multicast exclusions.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>

#include "rules/operator.h"
#include "testrun/startup_check.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

// The text between the first and the second blank of a line, or to its end; "" without a blank.
std::string second_blank_field(std::string_view line) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) return {};
    const std::string_view rest = line.substr(first + 1);
    return std::string(rest.substr(0, rest.find(' ')));
}

// The header is cut at every CR; pieces are read in order until one names the network or is empty
// (the text's end counts as an empty piece), and the last address piece seen before that wins.
std::string reference_address(std::string_view header) {
    std::string address;
    for (const std::string& piece : naive_fields(header, "\r")) {
        if (contains(piece, "Client-IP-Address")) {
            address = second_blank_field(piece);
        } else if (contains(piece, "Network")) {
            break;
        }
        if (piece.empty()) break;
    }
    return address;
}

bool starts_with(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

bool reference_customer(std::string_view address) {
    for (const std::string_view block : CustomerPrefixes) {
        if (starts_with(address, block)) return true;
    }
    return false;
}

void check_exclusions(const std::string& address) {
    RunState state{};
    state.PublicIp = address;
    set_multicast_exclusions(state);
    // Blocks 2 and 6 without their final dot: "100.65" also takes in 100.650-something.
    const std::string_view stem_a = CustomerPrefixes[1].substr(0, CustomerPrefixes[1].size() - 1);
    const std::string_view stem_b = CustomerPrefixes[5].substr(0, CustomerPrefixes[5].size() - 1);
    require(state.SkipMulticastA == (starts_with(address, stem_a) ? 1 : 0), "exclusion A is block 2's stem");
    require(state.SkipMulticastB == (starts_with(address, stem_b) ? 1 : 0), "exclusion B is block 6's stem");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    FuzzedDataProvider data(bytes, size);
    const std::string header = data.ConsumeRandomLengthString(size);
    const std::string address = lum::public_address_from(header);
    require(address == reference_address(header), "the address is that of the naive scan");
    require(address.find_first_of(" \r") == std::string::npos, "the address holds no blank or CR");
    require(header.find(address) != std::string::npos, "the address is taken from the header");

    const std::string other = data.ConsumeRemainingBytesAsString();
    for (const std::string& candidate : {address, other}) {
        require(lum::is_customer_address(candidate) == reference_customer(candidate), "customer check");
        check_exclusions(candidate);
    }
    return 0;
}
