// tests/common/object_table_test.cpp: growth, reuse, dynamic numbers and freeing of the numbered-object table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/common/object_table.h"

namespace lum {
namespace {

// Records its own destruction; when it watches a table, also whether that table still knew it then.
struct Tracked {
    Tracked(std::string name, std::vector<std::string>& freed) : name_(std::move(name)), freed_(freed) {}
    ~Tracked() {
        freed_.push_back(name_);
        if (table_ != nullptr) *found_while_freeing_ |= table_->find(number_) != nullptr;
    }
    std::string name_;
    std::vector<std::string>& freed_;
    const ObjectTable<Tracked>* table_ = nullptr;
    ObjectNumber number_ = 0;
    bool* found_while_freeing_ = nullptr;
};

class ObjectTableTest : public ::testing::Test {
protected:
    std::unique_ptr<Tracked> make(const std::string& name) { return std::make_unique<Tracked>(name, freed_); }

    std::vector<std::string> freed_;
    ObjectTable<Tracked> table_{16};
};

TEST_F(ObjectTableTest, GrowsToTheNumberPlusTheFirstSlots) {
    EXPECT_EQ(table_.slot_count(), 0u);
    table_.place(3, make("a"));
    EXPECT_EQ(table_.slot_count(), 19u);
    table_.place(40, make("b"));
    EXPECT_EQ(table_.slot_count(), 56u);
    table_.place(5, make("c"));
    EXPECT_EQ(table_.slot_count(), 56u);
    EXPECT_EQ(table_.find(40)->name_, "b");
}

TEST_F(ObjectTableTest, ReusingANumberFreesTheOldObject) {
    table_.place(2, make("old"));
    const auto placed = table_.place(2, make("new"));
    EXPECT_EQ(placed.number, 2);
    EXPECT_EQ(freed_, std::vector<std::string>{"old"});
    EXPECT_EQ(table_.find(2), placed.object);
    EXPECT_EQ(table_.find(2)->name_, "new");
}

TEST_F(ObjectTableTest, AnyNumberObjectsAreNamedByTheirAddress) {
    const auto first = table_.place(ANY_NUMBER, make("x"));
    const auto second = table_.place(ANY_NUMBER, make("y"));
    EXPECT_EQ(first.number, reinterpret_cast<ObjectNumber>(first.object));
    EXPECT_NE(first.number, second.number);
    EXPECT_EQ(table_.slot_count(), 0u);
    EXPECT_EQ(table_.find(first.number)->name_, "x");
    table_.free(first.number);
    EXPECT_EQ(freed_, std::vector<std::string>{"x"});
    EXPECT_EQ(table_.find(first.number), nullptr);
    EXPECT_EQ(table_.find(second.number)->name_, "y");
}

TEST_F(ObjectTableTest, DeadNumbersNameNothing) {
    table_.place(1, make("one"));
    table_.free(1);
    for (ObjectNumber number :
         {ObjectNumber{0}, ObjectNumber{1}, ObjectNumber{16}, ObjectNumber{100000}, ObjectNumber{-5}, ANY_NUMBER}) {
        EXPECT_EQ(table_.find(number), nullptr) << number;
        table_.free(number);
    }
    EXPECT_EQ(freed_, std::vector<std::string>{"one"});
}

TEST_F(ObjectTableTest, OtherNegativeNumbersPlaceNothing) {
    const auto placed = table_.place(-2, make("lost"));
    EXPECT_EQ(placed.object, nullptr);
    EXPECT_EQ(placed.number, 0);
    EXPECT_EQ(freed_, std::vector<std::string>{"lost"});
}

// A number handed out for ANY_NUMBER is an address: reusing it must replace that object, never grow
// the numbered slots to the address.
TEST_F(ObjectTableTest, ReusingADynamicNumberReplacesThatObject) {
    const auto first = table_.place(ANY_NUMBER, make("first"));
    const auto second = table_.place(first.number, make("second"));
    EXPECT_EQ(freed_, std::vector<std::string>{"first"});
    EXPECT_EQ(table_.slot_count(), 0u);
    ASSERT_NE(second.object, nullptr);
    EXPECT_EQ(table_.find(second.number)->name_, "second");
}

TEST_F(ObjectTableTest, NumbersBeyondTheLimitPlaceNothing) {
    const auto placed = table_.place(ObjectTable<Tracked>::NUMBER_LIMIT, make("far"));
    EXPECT_EQ(placed.object, nullptr);
    EXPECT_EQ(table_.slot_count(), 0u);
    EXPECT_NE(table_.place(ObjectTable<Tracked>::NUMBER_LIMIT - 1, make("last")).object, nullptr);
}

TEST_F(ObjectTableTest, FreeAllFreesNumberedObjectsFirstThenDynamicOnes) {
    table_.place(ANY_NUMBER, make("dynamic"));
    table_.place(7, make("seven"));
    table_.place(0, make("zero"));
    table_.free_all();
    EXPECT_EQ(freed_, (std::vector<std::string>{"zero", "seven", "dynamic"}));
    EXPECT_EQ(table_.find(0), nullptr);
    EXPECT_EQ(table_.find(7), nullptr);
}

// A free action may look the table up (a file closing itself, a window its gadgets): by then the
// object must no longer be found under its number.
TEST_F(ObjectTableTest, FreedObjectIsGoneBeforeItsFreeActionRuns) {
    bool found_while_freeing = false;
    for (ObjectNumber requested : {ObjectNumber{4}, ANY_NUMBER}) {
        const auto placed = table_.place(requested, make("self"));
        placed.object->table_ = &table_;
        placed.object->number_ = placed.number;
        placed.object->found_while_freeing_ = &found_while_freeing;
        table_.free(placed.number);
    }
    EXPECT_EQ(freed_.size(), 2u);
    EXPECT_FALSE(found_while_freeing);
}

} // namespace
} // namespace lum
