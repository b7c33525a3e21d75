// Preloaded into a program under test (LD_PRELOAD), it writes each call that
// makes a file durable or puts it in place to the file KV_SYSCALL_LOG names,
// in the order the program makes them, with how much the program had written
// to its standard output by then: a test can see that a file was flushed
// before its name pointed at it, and both before the program said "Saved".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string pathOf(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string("?");
}

void note(const char* call, const std::string& path, const std::string& to, int rc) {
    const char* log = std::getenv("KV_SYSCALL_LOG");
    if (!log || !*log) return;
    const int saved = errno;
    struct stat out {};
    const long long written = ::fstat(1, &out) == 0 && S_ISREG(out.st_mode) ? out.st_size : -1;
    const std::string line = std::string(call) + "\t" + path + "\t" + to + "\t" + std::to_string(written) +
                             "\t" + std::to_string(rc) + "\n";
    const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        if (::write(fd, line.data(), line.size()) < 0) {
        }
        ::close(fd);
    }
    errno = saved;
}

template <class F> F real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

std::string absolute(int dirFd, const char* path) {
    if (path[0] == '/' || dirFd == AT_FDCWD) {
        if (path[0] == '/') return path;
        char cwd[4096];
        return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : std::string(path);
    }
    return pathOf(dirFd) + "/" + path;
}

} // namespace

extern "C" {

int fsync(int fd) {
    static auto f = real<int (*)(int)>("fsync");
    const int rc = f(fd);
    note("fsync", pathOf(fd), "", rc);
    return rc;
}

int fdatasync(int fd) {
    static auto f = real<int (*)(int)>("fdatasync");
    const int rc = f(fd);
    note("fsync", pathOf(fd), "", rc);
    return rc;
}

int rename(const char* from, const char* to) {
    static auto f = real<int (*)(const char*, const char*)>("rename");
    const int rc = f(from, to);
    note("rename", absolute(AT_FDCWD, from), absolute(AT_FDCWD, to), rc);
    return rc;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    static auto f = real<int (*)(int, const char*, int, const char*)>("renameat");
    const int rc = f(fromDir, from, toDir, to);
    note("rename", absolute(fromDir, from), absolute(toDir, to), rc);
    return rc;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    static auto f = real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    const int rc = f(fromDir, from, toDir, to, flags);
    note("rename", absolute(fromDir, from), absolute(toDir, to), rc);
    return rc;
}
}
