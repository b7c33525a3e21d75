#include "line_fields.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"

namespace kv::formats::detail {

std::string LineFields::text(std::string_view what) {
    ++line_;
    if (r_.atEnd())
        throw FileError(FileFault::EndsEarly, r_.name(), line_, "ends before " + std::string(what));
    return r_.readLine();
}

double LineFields::number(std::string_view what) {
    std::string s = text(what);
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    std::string_view v =
        b == std::string::npos ? std::string_view() : std::string_view(s).substr(b, e - b + 1);
    double out = 0;
    if (v.empty() || !parseNumberStrict(v, out))
        throw FileError(FileFault::NotANumber, r_.name(), line_,
                        "holds \"" + shownText(s) + "\" where " + std::string(what) + " belongs");
    return out;
}

} // namespace kv::formats::detail
