#pragma once
// SHA-256 of file contents, for telling whether what a stored result was made
// from, or the result itself, is still the same bytes. OpenSSL's libcrypto
// does the work: it uses the processor's SHA instructions where it has them.
//
//   ContentHash h;  h.add("name");  h.add(bytes);  std::string hex = h.hex();
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

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
    struct Free {
        void operator()(evp_md_ctx_st* c) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> ctx_;
    std::string hex_; // once finished
};

std::string sha256Hex(std::string_view bytes);

// A 64-bit mark of a short text that changes with any input (a stored row's file name, its seed):
// FNV-1a's steps and prime, but from 1469598103934665603, the published offset basis short of its
// last digit, as the first stored rows were named; kept so that their names and seeds stay. No
// guard against a chosen collision, so never for telling contents apart.
constexpr uint64_t nameHash(std::string_view text) {
    uint64_t h = 1469598103934665603ull;
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

} // namespace kv
