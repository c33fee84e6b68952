// tests/server/code_page_test.cpp: a section's code page found from its bytes, and bytes decoded without loss.
#include <gtest/gtest.h>

#include <iconv.h>

#include <memory>
#include <string>
#include <vector>

#include "server/reports/decoding/decoder.h"
#include "server/reports/decoding/detector.h"

namespace {

using namespace lum::reports;

// `utf8` as a Windows tool would have printed it in `code_page`.
std::string encoded(const std::string& utf8, const char* code_page) {
    iconv_t handle = iconv_open(code_page, "UTF-8");
    EXPECT_NE(handle, reinterpret_cast<iconv_t>(-1)) << code_page;
    const std::unique_ptr<void, int (*)(iconv_t)> closer(handle, &iconv_close);
    std::string out(utf8.size() * 4 + 4, '\0');
    char* from = const_cast<char*>(utf8.data());
    std::size_t left = utf8.size();
    char* to = out.data();
    std::size_t room = out.size();
    EXPECT_NE(iconv(handle, &from, &left, &to, &room), static_cast<std::size_t>(-1)) << utf8;
    out.resize(out.size() - room);
    return out;
}

struct Sample {
    const char* what;
    std::string utf8;
    const char* iconv_name;
    int expected;
};

// Lines real Windows consoles printed (see the samples of localized ping), in their own code pages.
TEST(CodePageTest, ConsoleOutputIsReadInItsOwnCodePage) {
    const Sample samples[] = {
        {"Russian ping",
         "Ответ от 8.8.8.8: число байт=32 время=37мс TTL=55\r\nПревышен интервал ожидания для запроса.\r\n", "CP866",
         866},
        {"Japanese ping", "8.8.8.8 からの応答: バイト数 =32 時間 =7ms TTL=55\r\n要求がタイムアウトしました。\r\n",
         "CP932", 932},
        {"Korean ping", "8.8.8.8의 응답: 바이트=32 시간=33ms TTL=114\r\n요청 시간이 만료되었습니다.\r\n", "CP949", 949},
        {"Polish ping", "Odpowiedź z 8.8.8.8: bajtów=32 czas=128ms TTL=240\r\nUpłynął limit czasu żądania.\r\n",
         "CP852", 852},
        {"UTF-8 console", "Ответ от 8.8.8.8: число байт=32 время=37мс TTL=55\r\n", "UTF-8", 65001},
    };
    for (const Sample& sample : samples) {
        const CodePageGuess guess = guess_code_page(encoded(sample.utf8, sample.iconv_name), SectionSource::Console);
        EXPECT_EQ(guess.code_page, sample.expected) << sample.what;
    }
}

TEST(CodePageTest, FilesAreReadInWhatNotepadSavedThemAs) {
    const std::string comment =
        "# Это пример файла HOSTS, используемого Microsoft TCP/IP для Windows.\r\n127.0.0.1 localhost\r\n";
    EXPECT_EQ(guess_code_page(encoded(comment, "CP1251"), SectionSource::File).code_page, 1251);
    const CodePageGuess marked = guess_code_page("\xFF\xFE" + encoded(comment, "UTF-16LE"), SectionSource::File);
    EXPECT_EQ(marked.code_page, UTF16LE);
    EXPECT_EQ(marked.basis, GuessBasis::ByteOrderMark);
    EXPECT_EQ(guess_code_page("127.0.0.1 localhost\r\n", SectionSource::File).basis, GuessBasis::Ascii);
}

// What the code page cannot read stays as the bytes they were; nothing is dropped or replaced.
TEST(CodePageTest, UnreadableBytesAreKeptAsBytes) {
    EXPECT_EQ(decoded_text("\x8E\xE2\xA2\xA5\xE2", *find_code_page(866)), "Ответ");
    // 0x81 0x20 is no Shift_JIS character; 0x82 0xA0 is "あ"; a lead byte at the end is cut off.
    EXPECT_EQ(decoded_text("a\x81 \x82\xA0z\x82", *find_code_page(932)), "a\\x81 あz\\x82");
    EXPECT_EQ(decoded_text("\xC3\xA9\xFF", *find_code_page(65001)), "é\\xFF");
    // Past U+10FFFF, a surrogate and an overlong form are no UTF-8 either, though they have its shape.
    EXPECT_EQ(decoded_text("\xF6\xB1\x9A\x8Cw \xED\xA0\x80 \xC0\xAF \xF4\x8F\xBF\xBF", *find_code_page(65001)),
              "\\xF6\\xB1\\x9A\\x8Cw \\xED\\xA0\\x80 \\xC0\\xAF \xF4\x8F\xBF\xBF");
}

// CP1258 and CP1255 hold a letter back until they know whether a combining mark follows it: the letter before
// a byte the code page cannot read, and the last one, are written out all the same.
TEST(CodePageTest, LettersHeldForACombiningMarkAreKept) {
    const struct {
        int code_page;
        std::string bytes;
        std::string text;
    } cases[] = {
        {1258, "Ping: abc", "Ping: abc"},
        {1258, encoded("Trả lời từ", "CP1258") + "\x81" + encoded("thời gian Việt", "CP1258"),
         "Trả lời từ\\x81thời gian Việt"},
        {1255, encoded("תשובה מאת", "CP1255") + "\xFF" + encoded("8.8.8.8: זמן", "CP1255"),
         "תשובה מאת\\xFF8.8.8.8: זמן"},
    };
    for (const auto& [code_page, bytes, text] : cases)
        EXPECT_EQ(decoded_text(bytes, code_page), text) << code_page;
}

// Code pages that read a section as the same text leave no doubt between them: it is decoded, named by the
// first of them (or by the one the caller names, the report's own) and the others are named beside it.
TEST(CodePageTest, CodePagesThatReadTheSameTextAreOneChoice) {
    CodePageGuess guess = guess_code_page(encoded("Périphérique déconnecté\r\n", "CP850"), SectionSource::Console);
    EXPECT_EQ(guess.code_page, 437);
    EXPECT_EQ(guess.same_text_in, (std::vector<int>{775, 850, 852, 857}));
    EXPECT_EQ(guess.confidence, 100); // over the first page that reads it otherwise
    name_by(guess, 850);
    EXPECT_EQ(guess.code_page, 850);
    EXPECT_EQ(guess.same_text_in, (std::vector<int>{437, 775, 852, 857}));
    name_by(guess, 866); // reads it otherwise
    EXPECT_EQ(guess.code_page, 850);
}

} // namespace
