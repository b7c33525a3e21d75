#include "kv/common/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace kv {
bool isAscii(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    // OR of whole words: one test per 32 bytes, none to leave the loop early on
    for (; n >= 32; p += 32, n -= 32) {
        uint64_t w[4];
        std::memcpy(w, p, sizeof w);
        if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080u) return false;
    }
    unsigned char high = 0;
    for (; n > 0; ++p, --n)
        high |= static_cast<unsigned char>(*p);
    return high < 0x80;
}

namespace {

std::string convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw CodePageError(std::string("no conversion from ") + from + " to " + to);
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                size_t used = static_cast<size_t>(dst - out.data());
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
                continue;
            }
            iconv_close(cd);
            throw CodePageError(std::string("text cannot be converted from ") + from + " to " + to);
        }
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    iconv_close(cd);
    return out;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

std::string convertLenient(std::string_view in, bool& replaced) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw CodePageError("no conversion from CP932 to UTF-8");
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
        if (out.size() - used < 16) out.resize(out.size() * 2);
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = static_cast<size_t>(dst - out.data());
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or a character cut off at the end: one byte is given up.
        if (out.size() - used < kReplacement.size()) out.resize(out.size() * 2);
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        ++src;
        --srcLeft;
        replaced = true;
    }
    out.resize(used);
    iconv_close(cd);
    return out;
}

} // namespace

size_t utf8SequenceLength(std::string_view s, size_t i) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = at(i);
    if (c < 0x80) return 1;
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c == 0xE0)
        n = 3, lo = 0xA0;
    else if (c == 0xED)
        n = 3, hi = 0x9F; // no surrogates
    else if (c >= 0xE1 && c <= 0xEF)
        n = 3;
    else if (c == 0xF0)
        n = 4, lo = 0x90;
    else if (c >= 0xF1 && c <= 0xF3)
        n = 4;
    else if (c == 0xF4)
        n = 4, hi = 0x8F; // nothing beyond U+10FFFF
    else
        return 0;
    if (i + n > s.size()) return 0;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    return n;
}

std::string validUtf8(std::string_view text, bool* replaced) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t n = utf8SequenceLength(text, i);
        if (n == 0) {
            out += kReplacement;
            if (replaced) *replaced = true;
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string escapedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = utf8SequenceLength(bytes, i);
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string toCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    return convert(utf8, "CP932", "UTF-8");
}

std::string fromCp932(std::string_view cp932) {
    // Only the span from the first to the last non-ASCII byte needs iconv: a
    // result file's Japanese header is converted without its 15 MB of numbers.
    auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    auto first = std::find_if(cp932.begin(), cp932.end(), high);
    if (first == cp932.end()) return std::string(cp932);
    auto last = std::find_if(cp932.rbegin(), cp932.rend(), high).base();
    if (last != cp932.end()) ++last; // the trail byte of a last double-byte character may look like ASCII
    std::string out(cp932.begin(), first);
    out += convert(std::string_view(first, static_cast<size_t>(last - first)), "UTF-8", "CP932");
    out.append(last, cp932.end());
    return out;
}

} // namespace kv

namespace kv {

std::string fromCp932Lenient(std::string_view cp932, bool* replaced) {
    auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    auto first = std::find_if(cp932.begin(), cp932.end(), high);
    if (first == cp932.end()) return std::string(cp932);
    auto last = std::find_if(cp932.rbegin(), cp932.rend(), high).base();
    if (last != cp932.end()) ++last;
    bool any = false;
    std::string out(cp932.begin(), first);
    out += convertLenient(std::string_view(first, static_cast<size_t>(last - first)), any);
    out.append(last, cp932.end());
    if (replaced && any) *replaced = true;
    return out;
}

} // namespace kv
