#pragma once
// The calls a program makes to put a file durably in place (fsync and
// rename), as the preloaded recorder wrote them down: for tests of the order
// "content flushed, renamed, folder flushed, then told".
#include <filesystem>
#include <string>
#include <vector>

namespace kv::test_support {

struct RecordedCall {
    std::string call;           // "fsync" or "rename"
    std::string path, to;       // the file or folder flushed; a rename's two names
    long long stdoutBytes = -1; // what the program had written to its output file by then
    int result = 0;
};

// The environment assignments that run a program with the recorder writing to `log`.
std::string recorderEnvironment(const std::filesystem::path& log);
std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& log);

// The index of the first call of `call` whose path (or, for a rename, its
// target) is `path`, from `from` on; -1 when there is none.
int findCall(const std::vector<RecordedCall>& calls, const std::string& call,
             const std::filesystem::path& path, int from = 0);

} // namespace kv::test_support
