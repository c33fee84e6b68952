// rules/customer_blocks.h: which of the operator's address blocks a public address lies in.
#pragma once

#include <string_view>

namespace lum {

// True when the address starts with one of the operator's blocks, each compared over its own length.
bool is_customer_address(std::string_view address);

// Subscribers of two of the blocks (entries 2 and 6) do not take the multicast test; the program keeps one
// flag for each (SkipMulticastA, SkipMulticastB).
struct MulticastExclusions {
    bool block_a = false;
    bool block_b = false;
};

MulticastExclusions multicast_exclusions(std::string_view address);

} // namespace lum
