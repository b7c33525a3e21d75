#pragma once

namespace kv::gui {

// The screens ask for "Times New Roman" and "Meiryo"; on this platform they
// are served by the metric-compatible Liberation Serif and by Noto Sans CJK JP.
void registerFontSubstitutions();

} // namespace kv::gui
