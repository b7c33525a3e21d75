#pragma once
// The one code page of every shared file: CP932 on disk, UTF-8 in memory.
#include <stdexcept>
#include <string>
#include <string_view>

namespace kv {

struct CodePageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Whether every byte is below 0x80 (such text is the same in both code
// pages). Eight bytes at a time: the result files are megabytes of it.
bool isAscii(std::string_view text);
// Throws CodePageError when a character has no CP932 form.
std::string toCp932(std::string_view utf8);
// Throws CodePageError on bytes that are not CP932.
std::string fromCp932(std::string_view cp932);
// Never throws on content: each byte that does not start a CP932 character
// becomes U+FFFD, and `replaced` (when given) says whether any did.
std::string fromCp932Lenient(std::string_view cp932, bool* replaced = nullptr);
// The length (1 to 4) of the well-formed UTF-8 sequence at s[i], 0 when none
// starts there: overlong forms, surrogates and code points beyond U+10FFFF
// are none. The one decoding of UTF-8 of the tree.
size_t utf8SequenceLength(std::string_view s, size_t i);
// Valid UTF-8 whatever `text` holds: each byte that is not part of a well-formed
// sequence becomes U+FFFD. `replaced` (when given) is set when any did.
std::string validUtf8(std::string_view text, bool* replaced = nullptr);
// Valid UTF-8 that tells the bytes back: each byte that is not part of a
// well-formed sequence, and each control character, as \xHH ("caf\xE9.dcm").
std::string escapedUtf8(std::string_view bytes);

} // namespace kv
