// kv-audit: the dose audit from the images' headers.
#include "kv/audit/engine_physics.h"
#include "kv/common/program_start.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

} // namespace

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::englishAuditTexts.usage, kv::Needs::Console))
        return *end;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kv::audit::runAudit(args, std::cout, std::cerr, kv::audit::makeEnginePhysics,
                               [] { return interrupted.load(); });
}
