#include "kv/common/program_start.h"

#include "kv/common/typed_number.h"
#include "kv/common/version.h"
#include "kv/texts/program.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace kv {

namespace {

bool isSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

std::string programName(int argc, char** argv) {
    std::string path = argc > 0 && argv[0] ? argv[0] : "";
    const size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? path : path.substr(slash + 1);
    return path.empty() ? "Kelvane-Vesk" : path;
}

} // namespace

bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string_view p = platform ? platform : "";
    // "xcb", "wayland" and "wayland-egl" need their window system; an empty
    // choice lets Qt take whichever is there.
    if (p.starts_with("xcb")) return isSet("DISPLAY");
    if (p.starts_with("wayland")) return isSet("WAYLAND_DISPLAY");
    return !p.empty() || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

std::optional<int> beginProgram(int argc, char** argv, std::string_view usage, Needs needs, std::ostream& out,
                                std::ostream& err) {
    const texts::ProgramTexts& t = texts::programTexts();
    const std::string name = programName(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--") break;
        if (a == "--version") {
            out << fillIn(std::string(t.versionLine), {{"{program}", name}, {"{version}", version()}})
                << "\n";
            return 0;
        }
        if (a == "--help" || a == "-h") {
            out << usage << "\n";
            return 0;
        }
    }
    if (needs == Needs::Display && !hasDisplay()) {
        err << fillIn(std::string(t.noDisplay), {{"{program}", name}}) << "\n";
        return 1;
    }
    return std::nullopt;
}

std::optional<int> beginProgram(int argc, char** argv, std::string_view usage, Needs needs) {
    return beginProgram(argc, argv, usage, needs, std::cout, std::cerr);
}

} // namespace kv
