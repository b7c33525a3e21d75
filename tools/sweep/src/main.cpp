// kv-sweep: a table of conversion factors, one simulation per grid row.
#include "kv/common/program_start.h"
#include "kv/engine/runner.h"
#include "kv/texts/sweep.h"
#include "sweep.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>

#if KV_WITH_MPI
#include <mpi.h>
#endif

namespace {

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

bool startedAsOneOfMany() {
    for (const char* n : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE"})
        if (std::getenv(n)) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::englishSweepTexts.usage, kv::Needs::Console))
        return *end;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // A closed terminal or a logged-out session: stop as on Ctrl+C, claims and temporaries removed.
    std::signal(SIGHUP, onInterrupt);
    std::vector<std::string> args(argv + 1, argv + argc);
    auto stop = [] { return interrupted.load(); };
    kv::sweep::Processes procs;
#if KV_WITH_MPI
    if (startedAsOneOfMany()) {
        int provided = 0;
        MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &procs.rank);
        MPI_Comm_size(MPI_COMM_WORLD, &procs.size);
        MPI_Comm local;
        MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &local);
        int n = 1;
        MPI_Comm_size(local, &n);
        MPI_Comm_free(&local);
        procs.localSize = static_cast<unsigned>(n);
        procs.barrier = [] { MPI_Barrier(MPI_COMM_WORLD); };
        procs.maxOver = [](int v) {
            int all = v;
            MPI_Allreduce(&v, &all, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
            return all;
        };
        int rc = kv::sweep::runSweep(args, std::cout, std::cerr, procs, stop);
        // An interrupted process has left the others waiting: end them all.
        if (rc == 130) MPI_Abort(MPI_COMM_WORLD, rc);
        MPI_Finalize();
        return rc;
    }
#else
    if (startedAsOneOfMany() && std::getenv("OMPI_COMM_WORLD_SIZE") &&
        std::string(std::getenv("OMPI_COMM_WORLD_SIZE")) != "1") {
        std::cerr << kv::texts::englishSweepTexts.withoutMpi.view() << "\n";
        return 1;
    }
#endif
    return kv::sweep::runSweep(args, std::cout, std::cerr, procs, stop);
}
