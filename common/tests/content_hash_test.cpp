// SHA-256 against the published test vectors (FIPS 180-2, appendix B), and
// input given in pieces against input given whole.
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
