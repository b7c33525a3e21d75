#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace kv::fuzz {
namespace {

std::filesystem::path makeScratchDir() {
    std::error_code ec;
    // Memory-backed where there is one: a target writes its file on every run.
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::filesystem::path dir = base / ("kv-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir(), ignored);
    });
    return dir;
}

} // namespace

const std::filesystem::path& scratchDir() {
    static const std::filesystem::path dir = makeScratchDir();
    return dir;
}

const std::filesystem::path& putFile(std::string_view name, const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = scratchDir();
    const std::string path = (dir / name).string();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail("cannot write the scratch file " + path);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) fail("cannot write the scratch file " + path);
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return dir;
}

void fail(std::string_view what) {
    std::fprintf(stderr, "fuzz target: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

} // namespace kv::fuzz
