// server/store/sql/sql_params.h: a statement's parameters and a result row's columns, the same for every back end.
#pragma once

#include "server/store/unix_ms.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lumresults::sql {

// A parameter's value with the column type it is for: text (compared as bytes), bytes (kept exactly, NUL and
// any code page included), a whole number, a truth value, a figure (absent: NULL).
struct Text {
    std::string value;
};
struct Bytes {
    std::string value;
};
struct Real {
    std::optional<double> value;
};
struct Integer {
    std::optional<std::int64_t> value;
};
using Value = std::variant<Text, Bytes, Integer, bool, Real>;

// Statements are written once, for every back end, with their parameters as $1, $2, ...; each back end
// binds these values to them in order (and spells the markers its own way).
class Params {
public:
    Params& text(std::string_view value) { return add(Text{std::string(value)}); }
    Params& bytes(std::string_view value) { return add(Bytes{std::string(value)}); }
    Params& integer(std::optional<std::int64_t> value) { return add(Integer{value}); }
    Params& boolean(bool value) { return add(value); }
    Params& real(std::optional<double> value) { return add(Real{value}); }
    Params& time(std::chrono::system_clock::time_point value) { return integer(to_unix_ms(value)); }
    // The marker of the parameter added last ("$3"), for statements put together from conditions.
    std::string last() const { return "$" + std::to_string(values_.size()); }

    const std::vector<Value>& values() const { return values_; }

private:
    // Made in place: a variant moved from a temporary makes GCC's optimiser warn of a string it never reads.
    template <typename Alternative> Params& add(Alternative value) {
        values_.emplace_back(std::in_place_type<Alternative>, std::move(value));
        return *this;
    }

    std::vector<Value> values_;
};

// One row of a result, read by column number. NULL reads as empty, 0 or nothing.
class Row {
public:
    virtual ~Row() = default;
    virtual bool is_null(int column) const = 0;
    virtual std::string bytes(int column) const = 0;    // text or bytes
    virtual std::int64_t integer(int column) const = 0; // whole numbers and truth values
    virtual std::optional<double> real(int column) const = 0;

    std::optional<std::int64_t> optional_integer(int column) const {
        return is_null(column) ? std::nullopt : std::optional(integer(column));
    }
    std::chrono::system_clock::time_point time(int column) const { return from_unix_ms(integer(column)); }
};

} // namespace lumresults::sql
