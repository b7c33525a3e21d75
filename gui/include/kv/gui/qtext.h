#pragma once
// Texts and model strings are UTF-8; every screen turns them into Qt text
// through this one conversion.
#include <QString>
#include <string_view>

namespace kv::gui {

inline QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace kv::gui
