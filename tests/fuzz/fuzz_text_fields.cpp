// tests/fuzz/fuzz_text_fields.cpp: cutting a text into fields and removing a pattern, against naive loops.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "runtime/text/text.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

void check_fields(const std::string& text, const std::string& separator) {
    if (separator.empty()) {
        require(split_field(text, 1, separator) == text, "an empty separator leaves one field");
        require(split_field(text, 2, separator).empty(), "and no second one");
        return;
    }
    const std::vector<std::string> fields = naive_fields(text, separator);
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string field = split_field(text, static_cast<std::int32_t>(i + 1), separator);
        require(field == fields[i], "each field equals the naive cut");
        joined += (i == 0 ? "" : separator) + field;
    }
    require(joined == text, "the fields joined by the separator give the text back");
    require(split_field(text, static_cast<std::int32_t>(fields.size() + 1), separator).empty(), "no field after last");
    require(split_field(text, 0, separator).empty() && split_field(text, -1, separator).empty(), "no field 0");
}

void check_removal(const std::string& text, const std::string& pattern, FuzzedDataProvider& data) {
    const int mode = data.ConsumeIntegral<int>();
    const auto start =
        data.ConsumeBool() ? data.ConsumeIntegral<std::int32_t>() : data.ConsumeIntegralInRange<std::int32_t>(-2, 300);
    const auto count =
        data.ConsumeBool() ? data.ConsumeIntegral<std::int32_t>() : data.ConsumeIntegralInRange<std::int32_t>(-2, 5);
    const std::string result = remove_substring(text, pattern, mode, start, count);
    require(result == naive_remove(text, pattern, (mode & 1) != 0, start, count), "removal equals the naive loop");
    require(result.size() <= text.size(), "removal never adds bytes");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    FuzzedDataProvider data(bytes, size);
    const std::string separator = data.ConsumeRandomLengthString(4);
    const std::string pattern = data.ConsumeRandomLengthString(8);
    const std::string text = data.ConsumeRandomLengthString(size);
    check_fields(text, separator);
    check_removal(text, pattern, data);
    // A pattern made of a piece of the text itself finds something to remove far more often.
    if (!text.empty()) {
        const std::size_t from = data.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1);
        check_removal(text, text.substr(from, data.ConsumeIntegralInRange<std::size_t>(1, 6)), data);
    }
    return 0;
}
