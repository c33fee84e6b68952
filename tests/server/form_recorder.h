// tests/server/form_recorder.h: records what a MultipartReader finds, for the unit tests and the fuzz target alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/upload/multipart_reader.h"

namespace lumresults::test_support {

struct ReadPart {
    std::string name;
    std::optional<std::string> file_name;
    std::string content_type;
    std::string content;
    bool ended = false;
    bool operator==(const ReadPart&) const = default;
};

// The parts in body order; `in_order` turns false at the first event out of place (a part beginning
// inside another, content outside a part or empty, a part ending twice).
class FormRecorder : public FormPartHandler {
public:
    std::vector<ReadPart> parts;
    bool in_order = true;

    void part_begins(const FormPart& part) override {
        if (inside()) in_order = false;
        parts.push_back({part.name, part.file_name, part.content_type, {}, false});
    }
    void part_data(std::string_view bytes) override {
        if (!inside() || bytes.empty()) in_order = false;
        if (inside()) parts.back().content += bytes;
    }
    void part_ends() override {
        if (!inside()) in_order = false;
        if (inside()) parts.back().ended = true;
    }

private:
    bool inside() const { return !parts.empty() && !parts.back().ended; }
};

} // namespace lumresults::test_support
