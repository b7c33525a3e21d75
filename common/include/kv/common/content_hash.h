#pragma once
// SHA-256 of file contents, for telling whether what a stored result was made
// from, or the result itself, is still the same bytes. OpenSSL's libcrypto
// does the work: it uses the processor's SHA instructions where it has them.
//
//   ContentHash h;  h.add("name");  h.add(bytes);  std::string hex = h.hex();
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

} // namespace kv
