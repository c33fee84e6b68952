// rules/customer_blocks.cpp: a public address against the operator's address blocks.
#include "rules/customer_blocks.h"

#include <cstdint>

#include "runtime/text/text.h"
#include "rules/operator.h"

namespace lum {
namespace {

// An entry without its final dot, compared over that shorter length.
bool starts_with_block(std::string_view address, std::string_view entry) {
    const std::string_view stem = entry.substr(0, entry.size() - 1);
    return text_equal(substring(address, 1, static_cast<std::int32_t>(stem.size())), stem);
}

} // namespace

bool is_customer_address(std::string_view address) {
    for (const std::string_view prefix : CustomerPrefixes) {
        if (text_equal(substring(address, 1, static_cast<std::int32_t>(prefix.size())), prefix)) return true;
    }
    return false;
}

MulticastExclusions multicast_exclusions(std::string_view address) {
    return {starts_with_block(address, CustomerPrefixes[1]), starts_with_block(address, CustomerPrefixes[5])};
}

} // namespace lum
