// server/upload/multipart_reader.h: reads a multipart/form-data body as it streams in, piece by piece.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumresults {

// The boundary of a "multipart/form-data; boundary=..." content type (type compared without regard to
// case, the boundary quoted or not); nothing when the type is another or the boundary is missing or invalid.
std::optional<std::string> form_boundary(std::string_view content_type);

// One part's header, as its Content-Disposition and Content-Type lines give it (header names compared
// without regard to case). Parameter values may be in double quotes (with backslash escapes), single
// quotes (as the program writes them) or bare. A part without Content-Disposition has an empty name.
struct FormPart {
    std::string name;
    std::optional<std::string> file_name; // present for a file part, even when empty
    std::string content_type;             // empty when the part has no Content-Type line
};

// What the reader finds, in body order: part_begins, any number of part_data, part_ends.
class FormPartHandler {
public:
    virtual ~FormPartHandler() = default;
    virtual void part_begins(const FormPart& part) = 0;
    virtual void part_data(std::string_view bytes) = 0;
    virtual void part_ends() = 0;
};

enum class FormError {
    None,
    Malformed,      // not a multipart body with this boundary: no delimiter line at all, a body that
                    // closes before its first part, or a part header that cannot be read
    HeaderTooLarge, // a part's header section, its empty line included, longer than PART_HEADER_LIMIT
    Truncated,      // the body ended before the closing delimiter
};

// Pushes a body through in pieces of any size; what the handler receives does not depend on how the
// body was cut. A delimiter is CR LF "--" boundary (the body may open with "--" boundary alone), and it
// counts only as a whole line: followed by blanks or tabs (at most a few) and CR LF, or by "--" for the
// closing one. Anything else that starts like one, "--boundary" followed by other text for instance, is
// content and reaches part_data unchanged. Preamble and epilogue are ignored.
// Once an error is found, the reader stays failed and passes nothing more to the handler (an open part
// gets no part_ends). Nothing is held but a part's header and one delimiter line's length.
class MultipartReader {
public:
    static constexpr std::size_t PART_HEADER_LIMIT = 8 * 1024;

    // `boundary` as form_boundary gives it.
    MultipartReader(std::string boundary, FormPartHandler& handler);
    ~MultipartReader();
    MultipartReader(const MultipartReader&) = delete;
    MultipartReader& operator=(const MultipartReader&) = delete;

    // False once the body is known to be bad.
    bool feed(std::string_view bytes);
    // The body has ended: None only when the closing delimiter was read. Bytes after it are ignored.
    FormError finish();
    FormError error() const;

private:
    struct State;
    State* state_;
};

} // namespace lumresults
