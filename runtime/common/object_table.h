// runtime/common/object_table.h: numbered objects (files, windows, gadgets, fonts) in growable tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace lum {

// A number the program chooses (0, 1, 2, ...), or the address of an object made with ANY_NUMBER.
using ObjectNumber = std::intptr_t;

// Asks the runtime to place the object outside the numbered slots; the object's address becomes its number.
inline constexpr ObjectNumber ANY_NUMBER = -1;

// Owns the objects of one kind. An object's destructor is the table's free action: freeing a slot,
// reusing its number or freeing the whole table releases whatever the object holds.
template <class T> class ObjectTable {
public:
    explicit ObjectTable(std::size_t first_slots) : first_slots_(first_slots) {}
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    struct Placed {
        T* object;
        ObjectNumber number;
    };

    // Numbers the program chooses are small; anything from here on is refused rather than grown to.
    static constexpr ObjectNumber NUMBER_LIMIT = 65536;

    // Places `object` under `number`, first freeing the object that held it. A numbered table grows to
    // the requested number plus its first slot count. A number that an ANY_NUMBER object was given is
    // reused the same way: the old object is freed and the new one gets a number of its own. Other
    // negative numbers, and numbers from NUMBER_LIMIT on, place nothing.
    Placed place(ObjectNumber number, std::unique_ptr<T> object) {
        T* raw = object.get();
        if (number == ANY_NUMBER || dynamic_.count(number) != 0) {
            free(number);
            const auto key = reinterpret_cast<ObjectNumber>(raw);
            dynamic_[key] = std::move(object);
            return {raw, key};
        }
        if (number < 0 || number >= NUMBER_LIMIT) return {nullptr, 0};
        const auto index = static_cast<std::size_t>(number);
        if (index >= slots_.size()) slots_.resize(index + first_slots_);
        slots_[index].reset();
        slots_[index] = std::move(object);
        return {raw, number};
    }

    // The live object named by `number`, or nullptr.
    T* find(ObjectNumber number) const {
        if (number >= 0 && static_cast<std::size_t>(number) < slots_.size()) {
            return slots_[static_cast<std::size_t>(number)].get();
        }
        const auto found = dynamic_.find(number);
        return found == dynamic_.end() ? nullptr : found->second.get();
    }

    // Frees the object named by `number`; a number that names nothing is ignored.
    void free(ObjectNumber number) {
        if (number >= 0 && static_cast<std::size_t>(number) < slots_.size()) {
            slots_[static_cast<std::size_t>(number)].reset();
            return;
        }
        // Take it out of the map before destroying it, so that its free action sees a consistent table.
        const auto found = dynamic_.find(number);
        if (found == dynamic_.end()) return;
        std::unique_ptr<T> doomed = std::move(found->second);
        dynamic_.erase(found);
    }

    // Frees every object, numbered ones in number order first.
    void free_all() {
        for (auto& slot : slots_)
            slot.reset();
        while (!dynamic_.empty())
            free(dynamic_.begin()->first);
    }

    std::size_t slot_count() const { return slots_.size(); }

private:
    std::size_t first_slots_;
    std::vector<std::unique_ptr<T>> slots_;
    std::map<ObjectNumber, std::unique_ptr<T>> dynamic_;
};

} // namespace lum
