#pragma once
// SHA-256 of file contents, for telling whether what a stored result was made
// from, or the result itself, is still the same bytes.
//
//   ContentHash h;  h.add("name");  h.add(bytes);  std::string hex = h.hex();
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

class ContentHash {
  public:
    ContentHash();
    ContentHash& add(std::string_view bytes);
    // Adds the length first, so that ("ab", "c") and ("a", "bc") differ.
    ContentHash& addField(std::string_view bytes);
    // 64 lower-case hex digits; the hash takes no more input after this.
    std::string hex();

  private:
    void block(const unsigned char* p);
    std::array<uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_{};
    size_t pendingBytes_ = 0;
    uint64_t totalBytes_ = 0;
    bool finished_ = false;
};

std::string sha256Hex(std::string_view bytes);

} // namespace kv
