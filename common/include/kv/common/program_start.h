#pragma once
// What every program's main does first, before Qt or anything else starts:
// --version and --help are answered (they need no display and no working
// folder), and a desktop program without a display ends with one line
// instead of aborting in Qt's platform plugin.
//
//   int main(int argc, char** argv) {
//       if (auto end = kv::beginProgram(argc, argv, kv::texts::programTexts().workbenchUsage,
//                                       kv::Needs::Display))
//           return *end;
//       ...
#include <optional>
#include <ostream>
#include <string_view>

namespace kv {

enum class Needs {
    Console, // runs anywhere (an engine without a display runs in the console)
    Display, // a desktop program
};

// The exit status when the program is to end here: 0 after --version or
// --help (-h), 1 for a desktop program without a display. Arguments after
// "--" are not looked at. The program's name is the file name of argv[0].
std::optional<int> beginProgram(int argc, char** argv, std::string_view usage, Needs needs);
std::optional<int> beginProgram(int argc, char** argv, std::string_view usage, Needs needs, std::ostream& out,
                                std::ostream& err);

// Whether Qt can open a window: a platform asked for by QT_QPA_PLATFORM that
// needs no window system (offscreen, minimal, ...), or an X11 or Wayland display.
bool hasDisplay();

} // namespace kv
