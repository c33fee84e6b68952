// tests/server/sha256_test.cpp: SHA-256 against the published test vectors, whole and in pieces.
#include "server/common/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lumresults {
namespace {

std::string digest_of(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes);
    return hash.finish_hex();
}

TEST(Sha256, GivesThePublishedDigests) {
    struct Case {
        std::string text;
        std::string_view digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the last block, padding takes a block of its own.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqr"
         "stu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(digest_of(c.text), c.digest) << c.text.size() << " bytes";
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>(i * 7 + 3);
    const std::string whole = digest_of(text);
    for (std::size_t piece = 1; piece <= 130; ++piece) {
        Sha256 hash;
        for (std::size_t at = 0; at < text.size(); at += piece)
            hash.update(std::string_view(text).substr(at, piece));
        hash.update(""); // an empty piece changes nothing
        EXPECT_EQ(hash.finish_hex(), whole) << "pieces of " << piece;
    }
}

} // namespace
} // namespace lumresults
