// SHA-256 against the published test vectors (FIPS 180-2, appendix B), and
// input given in pieces against input given whole; the name hash
// against values worked out apart (below), so that stored rows keep their names.
#include "kv/common/content_hash.h"

#include <gtest/gtest.h>
#include <string>

TEST(ContentHash, PublishedVectors) {
    struct Row {
        std::string input;
        const char* hex;
    };
    const Row rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kv::sha256Hex(r.input), r.hex) << r.input.size() << " bytes";
}

TEST(ContentHash, PiecesAtEveryBoundaryGiveTheWholeHash) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>(i * 7);
    const std::string whole = kv::sha256Hex(text);
    for (size_t cut : {0, 1, 55, 56, 63, 64, 65, 119, 128, 299}) {
        kv::ContentHash h;
        h.add(std::string_view(text).substr(0, cut)).add(std::string_view(text).substr(cut));
        EXPECT_EQ(h.hex(), whole) << cut;
    }
    kv::ContentHash a, b;
    a.addField("ab").addField("c");
    b.addField("a").addField("bc");
    EXPECT_NE(a.hex(), b.hex());
}

TEST(ContentHash, TheNameHashOfShortTextsStaysWhatStoredRowsWereNamedBy) {
    // h = 1469598103934665603; for each byte: h = (h xor byte) * 1099511628211 mod 2^64, worked out
    // in Python's integers. The last row's byte 0xE3 (the start of a UTF-8 character) counts as 227.
    struct Row {
        const char* input;
        uint64_t hash;
    };
    const Row rows[] = {
        {"", 0x14650fb0739d0383ull},
        {"a", 0x44bd8ad473cd9906ull},
        {"foobar", 0x88fad7c0a8ff07f2ull},
        {"\xe3", 0x44bd08d473ccbc20ull},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kv::nameHash(r.input), r.hash) << '"' << r.input << '"';
    // Not the published FNV-1a (whose "" is 0xcbf29ce484222325): the basis is one digit short.
    EXPECT_NE(kv::nameHash(""), 0xcbf29ce484222325ull);
}
