// server/reports/decoding/decoder.cpp: iconv over a section's bytes, one undecodable byte stepped over at a time.
#include "server/reports/decoding/decoder.h"

#include <cerrno>
#include <iconv.h>

#include <array>
#include <string>

namespace lum::reports {
namespace {

// An iconv handle, closed with it.
class Iconv {
public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Iconv() {
        if (usable()) iconv_close(handle_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool usable() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// One conversion's state. The bytes are read into UTF-32 first: glibc's UTF-8 to UTF-8 passes sequences above
// U+10FFFF (F5 to F7 leads) as they are, and reading into UTF-32 refuses them as every other code page's
// reading refuses its own faults; UTF-32 to UTF-8 cannot fail.
class Converter {
public:
    explicit Converter(const CodePage& page)
        : read_("UTF-32LE", std::string(page.iconv_name).c_str()), write_("UTF-8", "UTF-32LE") {}

    bool usable() const { return read_.usable() && write_.usable(); }

    // Converts as much of `in` as it can into `sink`; gives how many bytes it read.
    std::size_t convert(std::string_view in, DecodedSink& sink) {
        char* from = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            std::array<char, 4096> points;
            char* to = points.data();
            std::size_t room = points.size();
            const std::size_t done = iconv(read_.get(), &from, &left, &to, &room);
            write(std::string_view(points.data(), static_cast<std::size_t>(to - points.data())), sink);
            if (done == static_cast<std::size_t>(-1) && errno != E2BIG) break; // an undecodable or cut-off byte
        }
        flush(sink);
        return in.size() - left;
    }

private:
    // CP1255 and CP1258 hold a letter back until the next byte shows whether a combining mark follows it:
    // before an undecodable byte and at the piece's end it is written out, and the next piece starts in the
    // initial state. Resetting without writing it out would drop it.
    void flush(DecodedSink& sink) {
        std::array<char, 64> points;
        char* to = points.data();
        std::size_t room = points.size();
        iconv(read_.get(), nullptr, nullptr, &to, &room);
        write(std::string_view(points.data(), static_cast<std::size_t>(to - points.data())), sink);
    }

    // Whole code points, each at most four bytes of UTF-8: the buffer always has room for them.
    void write(std::string_view points, DecodedSink& sink) {
        if (points.empty()) return;
        std::array<char, 4096 + 4096> text;
        char* from = const_cast<char*>(points.data());
        std::size_t left = points.size();
        char* to = text.data();
        std::size_t room = text.size();
        iconv(write_.get(), &from, &left, &to, &room);
        sink.text(std::string_view(text.data(), static_cast<std::size_t>(to - text.data())));
    }

    Iconv read_;
    Iconv write_;
};

class TextWithEscapes final : public DecodedSink {
public:
    void text(std::string_view utf8) override { result += utf8; }
    void raw(std::string_view bytes) override {
        constexpr std::string_view HEX = "0123456789ABCDEF";
        for (const unsigned char byte : bytes) {
            result += "\\x";
            result += HEX[byte >> 4];
            result += HEX[byte & 0x0F];
        }
    }
    std::string result;
};

// A report holds a file's lines as cut at each LF byte and ended with CR LF: a UTF-16 file's "\r\0\n\0" comes
// out as "\r\0\r\n\0". Its own bytes come back once each added CR LF is its LF again.
std::string utf16_as_saved(std::string_view bytes) {
    std::string saved;
    saved.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (bytes.substr(at, 2) == "\r\n") continue;
        saved += bytes[at];
    }
    return saved;
}

} // namespace

void decode(std::string_view bytes, const CodePage& page, DecodedSink& sink) {
    if (page.number == UTF16LE && bytes.find("\r\n") != std::string_view::npos) {
        const std::string saved = utf16_as_saved(bytes);
        decode(saved, page, sink);
        return;
    }
    Converter converter(page);
    if (!converter.usable()) {
        sink.raw(bytes);
        return;
    }
    while (!bytes.empty()) {
        bytes.remove_prefix(converter.convert(bytes, sink));
        if (bytes.empty()) break;
        sink.raw(bytes.substr(0, 1));
        bytes.remove_prefix(1);
    }
}

std::string decoded_text(std::string_view bytes, const CodePage& page) {
    TextWithEscapes sink;
    decode(bytes, page, sink);
    return std::move(sink.result);
}

std::string decoded_text(std::string_view bytes, int code_page) {
    const CodePage* page = find_code_page(code_page);
    return page != nullptr ? decoded_text(bytes, *page) : std::string(bytes);
}

} // namespace lum::reports
