// Screens bind their controls once, in functions named bind...; everywhere
// else they use the typed members. This scans the screens' sources for a
// control looked up by its name outside such a function: a typo there would
// only show as a logic_error when the user clicks.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Comments become blanks and the contents of string and character literals
// too (their quotes stay), so neither can hide or fake a call; newlines stay.
std::string blankCommentsAndLiterals(const std::string& s) {
    std::string out = s;
    enum { Code, Line, Block, Str, Chr } state = Code;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i], next = i + 1 < s.size() ? s[i + 1] : '\0';
        auto blank = [&](size_t k) {
            if (out[k] != '\n') out[k] = ' ';
        };
        switch (state) {
        case Code:
            if (c == '/' && next == '/') {
                state = Line;
                blank(i);
            } else if (c == '/' && next == '*') {
                state = Block;
                blank(i);
            } else if (c == '"') {
                state = Str;
            } else if (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1])))) {
                state = Chr; // not a digit separator as in 1'000
            }
            break;
        case Line:
            if (c == '\n')
                state = Code;
            else
                blank(i);
            break;
        case Block:
            blank(i);
            if (c == '*' && next == '/') {
                blank(i + 1);
                ++i;
                state = Code;
            }
            break;
        case Str:
        case Chr:
            if (c == '\\') {
                blank(i);
                if (i + 1 < s.size()) blank(i + 1);
                ++i;
            } else if (c == (state == Str ? '"' : '\'')) {
                state = Code;
            } else {
                blank(i);
            }
            break;
        }
    }
    return out;
}

// The end of the bracketed group opening at `open` (one past its closer), or npos.
size_t closing(const std::string& s, size_t open) {
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if (s[i] == '(' || s[i] == '{' || s[i] == '[') ++depth;
        if (s[i] == ')' || s[i] == '}' || s[i] == ']')
            if (--depth == 0) return i + 1;
    }
    return std::string::npos;
}

// The top-level arguments of the call whose "(" is at `open`.
std::vector<std::string> argumentsAt(const std::string& s, size_t open) {
    const size_t end = closing(s, open);
    std::vector<std::string> args;
    if (end == std::string::npos) return args;
    std::string cur;
    int depth = 0;
    for (size_t i = open + 1; i + 1 < end; ++i) {
        const char c = s[i];
        if (c == '(' || c == '{' || c == '[') ++depth;
        if (c == ')' || c == '}' || c == ']') --depth;
        if (c == ',' && depth == 0) {
            args.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (cur.find_first_not_of(" \t\n") != std::string::npos || !args.empty()) args.push_back(cur);
    return args;
}

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\n"), e = s.find_last_not_of(" \t\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The bodies of functions named bind...: definitions, not calls, so the
// constructor body after ": c_(bind()) {" is not one of them.
std::vector<std::pair<size_t, size_t>> bindingBodies(const std::string& s) {
    std::vector<std::pair<size_t, size_t>> bodies;
    static const std::regex name(R"(\bbind\w*\s*\()");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), name); it != std::sregex_iterator(); ++it) {
        const size_t at = static_cast<size_t>(it->position());
        size_t before = at;
        while (before > 0 && std::isspace(static_cast<unsigned char>(s[before - 1])))
            --before;
        // A definition has its return type (or its class and "::") before the name.
        if (before == 0 ||
            !(std::isalnum(static_cast<unsigned char>(s[before - 1])) || s[before - 1] == '_' ||
              s[before - 1] == ':' || s[before - 1] == '>' || s[before - 1] == '*' || s[before - 1] == '&'))
            continue;
        size_t after = closing(s, at + static_cast<size_t>(it->length()) - 1);
        if (after == std::string::npos) continue;
        static const std::regex tail(R"(^\s*(const\s*)?(override\s*)?\{)");
        std::smatch m;
        const std::string rest = s.substr(after, 40);
        if (!std::regex_search(rest, m, tail)) continue;
        const size_t open = after + static_cast<size_t>(m.length()) - 1;
        bodies.emplace_back(open, closing(s, open));
    }
    return bodies;
}

struct Finding {
    int line;
    std::string call;
};

bool isStringLiteral(const std::string& arg) {
    const std::string a = trimmed(arg);
    return a.size() >= 2 && a.front() == '"';
}
bool isName(const std::string& arg) {
    static const std::regex name(R"(^[A-Za-z_]\w*$)");
    return std::regex_match(trimmed(arg), name);
}

// Every call outside a binding body that looks a control up by name.
std::vector<Finding> nameLookUps(const std::string& source) {
    const std::string s = blankCommentsAndLiterals(source);
    const auto bodies = bindingBodies(s);
    static const std::regex call(
        R"((this->|[\w\]\)]+(?:->|\.))?\b(find|label|button|textBox|option|check|frame|listBox|comboBox|fileList|picture|line|shape|setText|text|onClick|findChild|findChildren)\s*(<[^<>()]*>)?\s*\()");
    std::vector<Finding> found;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), call); it != std::sregex_iterator(); ++it) {
        const size_t at = static_cast<size_t>(it->position());
        if (at > 0 &&
            (std::isalnum(static_cast<unsigned char>(s[at - 1])) || s[at - 1] == '_' || s[at - 1] == ':'))
            continue; // part of a longer name, or qualified: not a Form member
        if (std::any_of(bodies.begin(), bodies.end(),
                        [at](const auto& b) { return at >= b.first && at < b.second; }))
            continue;
        const std::string receiver = (*it)[1], fn = (*it)[2];
        const bool templated = (*it)[3].matched;
        const std::vector<std::string> args = argumentsAt(s, at + static_cast<size_t>(it->length()) - 1);
        bool lookUp = false;
        if (fn == "findChild" || fn == "findChildren") {
            lookUp = true;
        } else if (fn == "find") {
            // std containers find too: only Form's templated find, or an unqualified find of a name.
            lookUp = templated || (receiver.empty() && args.size() == 1 && isStringLiteral(args[0]));
        } else if (fn == "setText") {
            // A widget's setText takes one text; the form's takes the control and the text.
            lookUp = args.size() == 2 || (args.size() == 1 && receiver.empty() && isStringLiteral(args[0]));
        } else if (fn == "onClick" || fn == "text") {
            lookUp = !args.empty() && isStringLiteral(args[0]);
        } else {
            // The tables' row helpers take the name and more; a look-up takes the name alone.
            lookUp = args.size() == 1 && (isStringLiteral(args[0]) || isName(args[0]));
        }
        if (lookUp) {
            const auto line =
                static_cast<int>(std::count(s.begin(), s.begin() + static_cast<long>(at), '\n')) + 1;
            found.push_back({line, source.substr(at, source.find('\n', at) - at)});
        }
    }
    return found;
}

TEST(ControlBinding, ScannerTellsLookUpsFromBindingAndLookAlikes) {
    const struct {
        const char* what;
        const char* source;
        size_t lookUps;
    } cases[] = {
        {"a look-up in an action", "void F::load() { label(\"Label3\")->hide(); }", 1},
        {"the binding itself", "F::Controls F::bind() const { return {.a = label(\"Label3\")}; }", 0},
        {"a free binding helper",
         "ReadOut bindReadOut(const Form& f, std::string_view row) { return {f.textBox(row)}; }", 0},
        {"the constructor body after the binding call",
         "F::F() : Form(w, t), c_(bind()) { onClick(\"Command1\", a); }", 1},
        {"a binding call followed by more initialisers",
         "F::F() : c_(bind()), d_(1) { picture(\"Picture8\"); }", 1},
        {"a look-up in a comment", "void F::f() { // label(\"Label3\")\n /* button(\"Command1\") */ }", 0},
        {"a look-up spelt in a string", "const char* s = \"label(\\\"Label3\\\")\";", 0},
        {"the form's setText on another form", "void g(Form& form) { form.setText(box, text); }", 1},
        {"a widget's own setText", "void F::f() { c_.notice->setText(qs(t)); }", 0},
        {"a table row helper", "rows = {label(\"Label1\", 480, 120, t.selectFile)};", 0},
        {"a templated find of a variable name", "for (auto n : names) find<QWidget>(n)->setToolTip(tip);", 1},
        {"a line found by a variable", "void g(Form& s) { s.line(l)->hide(); }", 1},
        {"a string's find and a canvas line", "full.find('+'); g.line(x, 0, x, kTop);", 0},
        {"a child found behind the form's back", "auto* w = findChild<QLabel*>(QStringLiteral(\"Label3\"));",
         1},
        {"a text read by name", "const std::string v = text(\"Text1\");", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameLookUps(c.source).size(), c.lookUps) << c.what;
}

TEST(ControlBinding, NoScreenLooksUpAControlByNameOutsideItsBinding) {
    const fs::path root = KV_SOURCE_DIR;
    // The screens' code; Form itself holds the look-ups the bindings call.
    const char* folders[] = {"gui/src", "gui/include", "launcher", "spectrum/ui", "workbench"};
    const fs::path machinery[] = {root / "gui/src/form.cpp", root / "gui/include/kv/gui/form.h"};
    std::ostringstream report;
    size_t files = 0;
    for (const char* folder : folders) {
        for (const auto& e : fs::recursive_directory_iterator(root / folder)) {
            const fs::path& p = e.path();
            const std::string rel = fs::relative(p, root).generic_string();
            if (!e.is_regular_file() || (p.extension() != ".cpp" && p.extension() != ".h")) continue;
            if (rel.find("/tests/") != std::string::npos || rel.find("/bench/") != std::string::npos)
                continue;
            if (std::find(std::begin(machinery), std::end(machinery), p) != std::end(machinery)) continue;
            std::ifstream in(p);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ++files;
            for (const Finding& f : nameLookUps(text))
                report << rel << ":" << f.line << ": " << f.call << "\n";
        }
    }
    EXPECT_GT(files, 40u) << "the screens' sources were not found under " << root;
    EXPECT_EQ(report.str(), "") << "bind these controls into the screen's typed members";
}

} // namespace
