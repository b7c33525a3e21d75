#pragma once
// The one code page of every shared file: CP932 on disk, UTF-8 in memory.
#include <stdexcept>
#include <string>
#include <string_view>

namespace kv {

struct CodePageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws CodePageError when a character has no CP932 form.
std::string toCp932(std::string_view utf8);
// Throws CodePageError on bytes that are not CP932.
std::string fromCp932(std::string_view cp932);

} // namespace kv
