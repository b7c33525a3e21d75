#include "kv/common/temporaries.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <system_error>
#include <unistd.h>

namespace kv {

namespace {

constexpr size_t kRandomPart = 6;
constexpr size_t kMaxHost = 32;

// Only letters, digits and '-', so that the name parses back unambiguously.
std::string hostTag() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "host";
    std::string h;
    for (const char* p = buf; *p && h.size() < kMaxHost; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)) || *p == '-') h += *p;
    return h.empty() ? "host" : h;
}

bool alive(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

std::string temporaryTemplate(std::string_view name) {
    std::string tail(1, '.');
    tail += std::to_string(::getpid());
    tail += '@';
    tail += hostTag();
    tail += ".XXXXXX";
    // A name near the file system's limit still gets a temporary: its start
    // is enough to tell what it was for.
    constexpr size_t kMaxName = 255;
    size_t keep = std::min(name.size(), kMaxName - 1 - tail.size());
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    std::string t(1, '.');
    t.append(name.data(), keep);
    t += tail;
    return t;
}

bool parseTemporaryName(std::string_view f, TemporaryWriter& w) {
    if (f.size() < 1 + 1 + 1 + 3 + 1 + kRandomPart || f[0] != '.') return false;
    if (f[f.size() - kRandomPart - 1] != '.') return false;
    std::string_view rest = f.substr(0, f.size() - kRandomPart - 1); // ".<name>.<pid>@<host>"
    size_t at = rest.rfind('@');
    if (at == std::string_view::npos) return false;
    std::string_view host = rest.substr(at + 1);
    if (host.empty() || host.size() > kMaxHost) return false;
    for (char c : host)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-')) return false;
    size_t dot = rest.rfind('.', at);
    if (dot == std::string_view::npos || dot < 2) return false;
    std::string_view digits = rest.substr(dot + 1, at - dot - 1);
    if (digits.empty() || digits.size() > 9) return false;
    long pid = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        pid = pid * 10 + (c - '0');
    }
    if (pid <= 0) return false;
    w.pid = pid;
    w.host = std::string(host);
    return true;
}

std::string writerTag() {
    return std::to_string(::getpid()) + "@" + hostTag();
}

bool writerEnded(std::string_view tag) {
    TemporaryWriter w;
    // The tag in the shape of a temporary's name, so that one reading serves both.
    return parseTemporaryName(".x." + std::string(tag) + ".XXXXXX", w) && w.host == hostTag() &&
           !alive(w.pid);
}

int removeAbandonedTemporaries(const std::filesystem::path& dir, std::string_view forName) {
    // ".<name>" as this process would begin a temporary of it (a long name cut alike);
    // compared whole, so that "s.dat" never claims the leftovers of "s.dat.bak".
    auto namePart = [](std::string_view f) { return f.substr(0, f.rfind('.', f.rfind('@'))); };
    const std::string t = temporaryTemplate(forName);
    const std::string_view mine = namePart(t);
    int removed = 0;
    const std::string here = hostTag();
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        TemporaryWriter w;
        const std::string name = it->path().filename().string();
        if (!parseTemporaryName(name, w) || w.host != here || alive(w.pid)) continue;
        if (!forName.empty() && namePart(name) != mine) continue;
        std::error_code fileEc;
        // A link or a folder of that shape is not ours to remove.
        if (!it->is_regular_file(fileEc) || it->is_symlink(fileEc)) continue;
        if (std::filesystem::remove(it->path(), fileEc)) ++removed;
    }
    return removed;
}

} // namespace kv
