#include "engine_cluster.h"

#include "kv/common/format.h"
#include "kv/texts/engine.h"
#include "progress_window.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#if KV_WITH_MPI
#include <mpi.h>
#endif

namespace kv::engine {

bool startedAsOneOfMany() {
    // OpenMPI's mpirun, and the process managers of other launchers and of Slurm.
    for (const char* n : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE"})
        if (std::getenv(n)) return true;
    return false;
}

#if !KV_WITH_MPI

int runShared(const std::filesystem::path&, ExposureKind, const EngineOptions&) {
    std::fprintf(stderr, "%s\n", texts::engineTexts().builtWithoutMpi.c_str());
    return 1;
}

#else

namespace {

// n and the units, then each channel's sums, sums of squares and units'
// squares; a discrete scan's runs have a channel per projection more.
std::vector<double> packed(const std::vector<ScalarStats>& batches) {
    std::vector<double> v;
    for (const ScalarStats& s : batches) {
        v.push_back(static_cast<double>(s.n));
        v.push_back(static_cast<double>(s.units));
        for (size_t k = 0; k < s.s1.size(); ++k)
            v.push_back(s.s1[k]), v.push_back(s.s2[k]), v.push_back(s.u2[k]);
    }
    return v;
}

std::vector<ScalarStats> unpacked(const std::vector<double>& v, size_t channels) {
    const size_t perBatch = 2 + 3 * channels;
    std::vector<ScalarStats> batches(v.size() / perBatch, ScalarStats(channels));
    for (size_t b = 0; b < batches.size(); ++b) {
        const double* p = &v[b * perBatch];
        batches[b].n = static_cast<uint64_t>(p[0]);
        batches[b].units = static_cast<uint64_t>(p[1]);
        for (size_t k = 0; k < channels; ++k)
            batches[b].s1[k] = p[2 + 3 * k], batches[b].s2[k] = p[3 + 3 * k], batches[b].u2[k] = p[4 + 3 * k];
    }
    return batches;
}

// Each batch ran in exactly one process and is zero in all others, so the sum
// over processes is that process's numbers unchanged, in whatever order it is formed.
std::vector<ScalarStats> combinedBatches(const std::vector<ScalarStats>& mine, int root) {
    std::vector<double> local = packed(mine), all(local.size(), 0.0);
    int count = static_cast<int>(local.size());
    if (root < 0)
        MPI_Allreduce(local.data(), all.data(), count, MPI_DOUBLE, MPI_SUM, MPI_COMM_WORLD);
    else
        MPI_Reduce(local.data(), all.data(), count, MPI_DOUBLE, MPI_SUM, root, MPI_COMM_WORLD);
    return unpacked(all, mine.empty() ? kWorkbenchChannels : mine.front().s1.size());
}

// The machine's cores shared among the processes started on it.
unsigned threadsPerProcess() {
    MPI_Comm local;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &local);
    int n = 1;
    MPI_Comm_size(local, &n);
    MPI_Comm_free(&local);
    return std::max(1u, defaultThreadCount() / static_cast<unsigned>(std::max(1, n)));
}

struct MpiScope {
    MpiScope() {
        int provided = 0;
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
    }
    ~MpiScope() { MPI_Finalize(); }
};

// Every process takes part in each round in step: the counts, whether a
// stop was asked for anywhere, where each process stands, and the scores so far.
void shareRounds(EngineSession& session, int rank, int size) {
    enum { Done, Stop, Waiting, Finished, Flags };
    auto lastPrint = std::chrono::steady_clock::now();
    RunControl& ctl = session.control();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ctl.atCheckpoint() ? 5 : 100));
        bool finished = session.shareDone();
        std::vector<double> mine = {static_cast<double>(ctl.historiesDone()),
                                    interruptRequested() ? 1.0 : 0.0,
                                    !finished && ctl.atCheckpoint() ? 1.0 : 0.0, finished ? 1.0 : 0.0};
        for (double v : packed({ctl.liveStats()}))
            mine.push_back(v);
        std::vector<double> all(mine.size());
        MPI_Allreduce(mine.data(), all.data(), static_cast<int>(mine.size()), MPI_DOUBLE, MPI_SUM,
                      MPI_COMM_WORLD);
        if (all[Stop] > 0) session.stopAndSave();
        if (all[Finished] == size) break;
        if (all[Waiting] > 0 && all[Waiting] + all[Finished] == size) {
            // Only at the checkpoints that look at the map: its sums are large.
            double mapSigma = 0.0;
            if (ctl.mapJudgedAtCheckpoint()) {
                MapSums sums = ctl.mapSums();
                MPI_Allreduce(MPI_IN_PLACE, sums.total.data(), static_cast<int>(sums.total.size()),
                              MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
                MPI_Allreduce(MPI_IN_PLACE, sums.squares.data(), static_cast<int>(sums.squares.size()),
                              MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
                mapSigma = medianRelativeSigma(sums);
            }
            ctl.passCheckpoint(combinedBatches(ctl.checkpointBatches(), -1), mapSigma);
        }
        auto now = std::chrono::steady_clock::now();
        if (rank != 0 || now - lastPrint < std::chrono::seconds(5)) continue;
        lastPrint = now;
        SessionProgress p = session.progress();
        p.done = static_cast<uint64_t>(all[Done]);
        p.rate = p.elapsed > 0 ? all[Done] / p.elapsed : 0.0;
        p.remaining = p.rate > 0 ? static_cast<double>(p.total - std::min(p.done, p.total)) / p.rate : 0.0;
        const ScalarStats sum =
            unpacked(std::vector<double>(all.begin() + Flags, all.end()), ctl.liveStats().s1.size())[0];
        p.referenceRelSigma = sum.relativeSigma(0);
        p.sagdRelSigma = sum.relativeSigma(1);
        std::printf("%s\n", progressLine(p).c_str());
        std::fflush(stdout);
    }
}

// This process's part added to the others' on rank 0, which alone gets it back.
std::optional<RunPart> gatheredPart(EngineSession& session, int rank) {
    RunPart part = session.takePart();
    std::vector<ScalarStats> batches = combinedBatches(part.batches, 0);
    std::vector<int64_t> tally(rank == 0 ? part.tally.size() : 0);
    MPI_Reduce(part.tally.data(), tally.data(), static_cast<int>(part.tally.size()), MPI_INT64_T, MPI_SUM, 0,
               MPI_COMM_WORLD);
    std::vector<uint64_t> squares(rank == 0 ? part.squares.size() : 0);
    MPI_Reduce(part.squares.data(), squares.data(), static_cast<int>(part.squares.size()), MPI_UINT64_T,
               MPI_SUM, 0, MPI_COMM_WORLD);
    double longest = 0;
    MPI_Reduce(&part.seconds, &longest, 1, MPI_DOUBLE, MPI_MAX, 0, MPI_COMM_WORLD);
    if (rank != 0) return std::nullopt;
    part.batches = std::move(batches);
    part.tally = std::move(tally);
    part.squares = std::move(squares);
    part.seconds = longest;
    return part;
}

} // namespace

int runShared(const std::filesystem::path& dir, ExposureKind kind, const EngineOptions& opt) {
    MpiScope mpi;
    const texts::EngineTexts& t = texts::engineTexts();
    int rank = 0, size = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    uint64_t seed = opt.seed.value_or(rank == 0 ? freshSeed() : 0);
    MPI_Bcast(&seed, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
    const unsigned threads = opt.threads.value_or(threadsPerProcess());

    std::unique_ptr<EngineSession> session;
    int failed = 0;
    try {
        session = prepareSession(dir, kind, threads, seed, opt);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%d: %s\n", rank, fillText(t.cannotStart, {startRefusal(e)}).c_str());
        failed = 1;
    }
    int anyFailed = 0;
    MPI_Allreduce(&failed, &anyFailed, 1, MPI_INT, MPI_SUM, MPI_COMM_WORLD);
    if (anyFailed) return 1;
    session->shareWith({static_cast<unsigned>(rank), static_cast<unsigned>(size)});
    const RunInputs& in = session->inputs();
    if (rank == 0) {
        std::printf("%s\n%s\n",
                    fillText(t.consoleStartShared, {in.control.resultFile, std::to_string(in.histories),
                                                    std::to_string(size), std::to_string(threads)})
                        .c_str(),
                    t.consoleHint.c_str());
        std::fflush(stdout);
    }
    catchInterrupts();
    session->start();

    shareRounds(*session, rank, size);
    const std::optional<RunPart> combined = gatheredPart(*session, rank);
    session->complete(combined, static_cast<unsigned>(size));
    int rc = 0;
    if (rank == 0) {
        const SessionOutcome o = sessionOutcome(*session);
        std::fprintf(o.success ? stdout : stderr, "%s\n", o.text.toStdString().c_str());
        rc = o.success ? 0 : 1;
        std::fflush(stdout);
    }
    MPI_Bcast(&rc, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return rc;
}

#endif

} // namespace kv::engine
