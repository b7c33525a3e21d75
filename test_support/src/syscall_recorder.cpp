#include "kv/test_support/syscall_recorder.h"

#include "kv/test_support/work_dir.h"

#include <sstream>

namespace kv::test_support {

std::string recorderEnvironment(const std::filesystem::path& log) {
    // A sanitizer's runtime wants to come first; the recorder needs no checking.
    return "LD_PRELOAD='" + std::string(KV_SYSCALL_RECORDER) + "' KV_SYSCALL_LOG='" + log.string() +
           "' ASAN_OPTIONS=verify_asan_link_order=0";
}

std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& log) {
    std::vector<RecordedCall> calls;
    std::istringstream in(readFile(log));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        RecordedCall c;
        std::string bytes, result;
        std::getline(fields, c.call, '\t');
        std::getline(fields, c.path, '\t');
        std::getline(fields, c.to, '\t');
        std::getline(fields, bytes, '\t');
        std::getline(fields, result, '\t');
        c.stdoutBytes = bytes.empty() ? -1 : std::stoll(bytes);
        c.result = result.empty() ? 0 : std::stoi(result);
        calls.push_back(std::move(c));
    }
    return calls;
}

int findCall(const std::vector<RecordedCall>& calls, const std::string& call,
             const std::filesystem::path& path, int from) {
    const std::string wanted = std::filesystem::weakly_canonical(path).string();
    for (int i = std::max(from, 0); i < static_cast<int>(calls.size()); ++i) {
        const RecordedCall& c = calls[static_cast<size_t>(i)];
        const std::string& seen = call == "rename" ? c.to : c.path;
        if (c.call == call && std::filesystem::weakly_canonical(seen).string() == wanted) return i;
    }
    return -1;
}

} // namespace kv::test_support
