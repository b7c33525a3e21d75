#include "kv/common/content_hash.h"

#include <new>
#include <openssl/evp.h>
#include <stdexcept>

namespace kv {

namespace {

std::string toHex(const unsigned char* digest, unsigned int n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * n);
    for (unsigned int i = 0; i < n; ++i)
        out += digits[digest[i] >> 4], out += digits[digest[i] & 15];
    return out;
}

} // namespace

void ContentHash::Free::operator()(evp_md_ctx_st* c) const {
    EVP_MD_CTX_free(c);
}

// libcrypto fails here only when memory runs out.
ContentHash::ContentHash() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1) throw std::bad_alloc();
}

ContentHash& ContentHash::add(std::string_view bytes) {
    if (!hex_.empty()) throw std::logic_error("a finished hash takes no more input");
    if (EVP_DigestUpdate(ctx_.get(), bytes.data(), bytes.size()) != 1) throw std::bad_alloc();
    return *this;
}

ContentHash& ContentHash::addField(std::string_view bytes) {
    return add(std::to_string(bytes.size()) + ":").add(bytes);
}

std::string ContentHash::hex() {
    if (hex_.empty()) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int n = 0;
        if (EVP_DigestFinal_ex(ctx_.get(), digest, &n) != 1) throw std::bad_alloc();
        hex_ = toHex(digest, n);
    }
    return hex_;
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &n, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
    return toHex(digest, n);
}

} // namespace kv
