#include "kv/common/codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace kv {
namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw CodePageError(std::string("no conversion from ") + from + " to " + to);
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

} // namespace

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
