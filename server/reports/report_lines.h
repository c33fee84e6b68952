// server/reports/report_lines.h: a report's bytes walked line by line, as the program's own readers cut them.
//
// Nothing is kept per line: a cursor is a place in the bytes and the number of lines before it, so a
// report of millions of lines costs no more memory than one of ten. Looking ahead means copying a cursor.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace lum::reports {

struct ReportLine {
    std::string_view text; // without its line end
    std::size_t begin = 0; // offset of its first byte
    std::size_t end = 0;   // offset just past its line end
};

// Lines end at CR LF, LF or a lone CR; a last line without an end counts too, an empty tail does not.
class LineCursor {
public:
    LineCursor() = default;
    // At the line that starts at offset `at` (a line's start) of `bytes`, which has `number` lines before it.
    explicit LineCursor(std::string_view bytes, std::size_t at = 0, std::size_t number = 0);

    // Past the last line: there is no line here.
    bool at_end() const { return line_.begin >= bytes_.size(); }
    // The line here; an empty line at the end.
    const ReportLine& line() const { return line_; }
    // This line's text is exactly `text`: false at the end, where there is no line.
    bool is(std::string_view text) const { return !at_end() && line_.text == text; }
    bool at_empty_line() const { return is(""); }
    std::size_t number() const { return number_; }
    std::size_t offset() const { return line_.begin; }

    // To the next line; at the end it stays there.
    void next();
    LineCursor following() const;

private:
    void find_line_end();

    std::string_view bytes_;
    ReportLine line_;
    std::size_t number_ = 0;
};

// A run of whole lines of a report, from offset begin to offset end, read line by line when iterated.
class LineRange {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ReportLine;
        using difference_type = std::ptrdiff_t;
        using pointer = const ReportLine*;
        using reference = const ReportLine&;

        Iterator() = default;
        explicit Iterator(const LineCursor& cursor) : cursor_(cursor) {}
        const ReportLine& operator*() const { return cursor_.line(); }
        const ReportLine* operator->() const { return &cursor_.line(); }
        Iterator& operator++() {
            cursor_.next();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            cursor_.next();
            return before;
        }
        // Iterators of one range are equal at the same line, and every one at the range's end is equal.
        bool operator==(const Iterator& other) const {
            if (cursor_.at_end() || other.cursor_.at_end()) return cursor_.at_end() == other.cursor_.at_end();
            return cursor_.offset() == other.cursor_.offset();
        }

    private:
        LineCursor cursor_;
    };

    LineRange() = default;
    // The lines from the cursor `from` (within `bytes`) up to offset `end`, which must be a line's start or
    // the end of the bytes: lines cut there read exactly as the whole report's.
    LineRange(std::string_view bytes, const LineCursor& from, std::size_t end)
        : first_(bytes.substr(0, end), from.offset(), from.number()) {}

    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(); }
    bool empty() const { return first_.at_end(); }

private:
    LineCursor first_;
};

} // namespace lum::reports
