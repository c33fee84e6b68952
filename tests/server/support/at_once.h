// tests/server/support/at_once.h: calls made at once, each from a thread of its own, as concurrent callers make them.
#pragma once

#include <cstddef>
#include <latch>
#include <thread>
#include <type_traits>
#include <vector>

namespace lumresults::testing_support {

// call(0) .. call(count - 1), released together once every thread has started; their results in that order.
template <typename Call> auto at_once(std::size_t count, Call call) {
    std::vector<std::invoke_result_t<Call, std::size_t>> results(count);
    std::latch start(static_cast<std::ptrdiff_t>(count));
    {
        std::vector<std::jthread> threads;
        for (std::size_t i = 0; i < count; ++i)
            threads.emplace_back([&, i] {
                start.arrive_and_wait();
                results[i] = call(i);
            });
    }
    return results;
}

} // namespace lumresults::testing_support
