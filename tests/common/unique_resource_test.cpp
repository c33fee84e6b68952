// tests/common/unique_resource_test.cpp: every handle is freed exactly once, by its last owner, and after it is
// forgotten.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/common/unique_resource.h"

namespace lum {
namespace {

// A kind with two values that hold nothing, as Win32 handles have (null and INVALID_HANDLE_VALUE).
struct CountedKind {
    using Native = int;
    static constexpr int none() { return 0; }
    static bool holds(int native) { return native > 0; }
    static void free(int native);
};

std::vector<int> freed;
const UniqueResource<CountedKind>* watched = nullptr;
bool watched_was_empty_while_freed = false;

void CountedKind::free(int native) {
    freed.push_back(native);
    if (watched != nullptr) watched_was_empty_while_freed = !*watched;
}

class UniqueResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        freed.clear();
        watched = nullptr;
    }
};

TEST_F(UniqueResourceTest, EachHandleIsFreedOnceByItsLastOwner) {
    {
        UniqueResource<CountedKind> first(1);
        UniqueResource<CountedKind> second(std::move(first));
        EXPECT_FALSE(first);
        UniqueResource<CountedKind> third(2);
        third = std::move(second); // 2 goes now, 1 moves on
        EXPECT_EQ(freed, std::vector<int>{2});
        EXPECT_EQ(third.get(), 1);
        UniqueResource<CountedKind> kept(3);
        EXPECT_EQ(kept.release(), 3);
        UniqueResource<CountedKind> invalid(-1); // the other value that holds nothing
        EXPECT_FALSE(invalid);
    }
    EXPECT_EQ(freed, (std::vector<int>{2, 1}));
}

// Code run while a handle is freed (a window's last message) must find its owner empty already.
TEST_F(UniqueResourceTest, TheOwnerForgetsTheHandleBeforeFreeingIt) {
    UniqueResource<CountedKind> owner(4);
    watched = &owner;
    owner.reset();
    EXPECT_TRUE(watched_was_empty_while_freed);
    EXPECT_EQ(freed, std::vector<int>{4});
}

} // namespace
} // namespace lum
