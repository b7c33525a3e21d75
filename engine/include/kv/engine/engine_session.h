#pragma once
// One engine run as the programs drive it: the simulation runs on its own
// threads, the window or the console polls progress(), and at the end the
// result file is written (after "Stop and save" with the histories done so
// far) or nothing is written ("Cancel").
#include "kv/engine/engine_options.h"
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/engine/workbench_sim.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kv::engine {

struct SessionProgress {
    uint64_t done = 0, total = 0;
    double elapsed = 0;   // s
    double rate = 0;      // histories per second
    double remaining = 0; // s, estimated
    double referenceRelSigma = 0, sagdRelSigma = 0;
};

enum class SessionState { Running, Saved, Cancelled, Failed };

// Why a run ended without its whole result saved.
enum class SessionFault {
    None,
    RunFailed,   // the run itself broke off (runFault() says why); what it did is saved if it can be
    WriteFailed, // the file could not be written (failure() says why)
    Refused,     // a result the workbench could not use (resultFault())
};

class EngineSession {
  public:
    // Builds the physics tables; throws std::invalid_argument on a setup the
    // transport cannot use.
    EngineSession(std::filesystem::path workDir, RunInputs inputs, unsigned threads, uint64_t seed,
                  bool maps = true);
    ~EngineSession();

    // Before start(): stop once the sAGD's relative 1 sigma is at most `relSigma`,
    void setTarget(double relSigma) { ctl_.setTarget(relSigma, 1); }
    // and once the median relative 1 sigma of the reference region's voxels is.
    void setMapTarget(double relSigma) { ctl_.setMapTarget(relSigma); }
    // The targets of `opt` (percentages), where it gives them.
    void setTargets(const EngineOptions& opt);
    // Before start(), for a run shared over processes: this session runs its
    // share and stops; the caller combines the shares, judges the
    // checkpoints through control(), and ends the session with complete().
    void shareWith(BatchShare share);
    RunControl& control() { return ctl_; }
    const RunControl& control() const { return ctl_; }
    bool shareDone() const { return shareDone_.load(); }
    RunPart takePart() { return std::move(part_); }
    // Writes the combined result (the process that saves) or just ends.
    void complete(const std::optional<RunPart>& all, unsigned processes);

    void start();
    void stopAndSave();
    void cancel();

    SessionState state() const { return state_.load(); }
    bool finished() const { return state() != SessionState::Running; }
    // Waits at most `most` for the run to end (its file written or not): a poller that slept
    // instead would keep a finished run waiting for the rest of its sleep.
    void waitFinished(std::chrono::milliseconds most) const;
    SessionProgress progress() const;
    const RunInputs& inputs() const { return inputs_; }
    uint64_t seed() const { return seed_; }
    // After Saved: the histories in the file; after Failed: why.
    uint64_t savedHistories() const { return saved_; }
    // After Saved: whether the target ended the run, and the sAGD's relative 1 sigma.
    bool savedAtTarget() const { return savedAtTarget_; }
    // After Saved: the median relative 1 sigma of the reference region's voxels.
    double savedMapRelSigma() const { return savedMapRelSigma_; }
    double savedSagdRelSigma() const { return savedSagdRelSigma_; }
    double savedReferenceRelSigma() const { return savedReferenceRelSigma_; }
    std::string failure() const;
    // Set when the run broke off: Saved then holds the histories done before.
    // Read once finished.
    std::string runFault() const;
    SessionFault fault() const;
    ResultFault resultFault() const;

  private:
    void body() noexcept;
    void noteRunFault(std::string why);
    void save(WorkbenchResult r);
    std::filesystem::path dir_;
    RunInputs inputs_;
    unsigned threads_;
    uint64_t seed_;
    std::unique_ptr<WorkbenchSimulation> sim_;
    RunControl ctl_;
    std::atomic<bool> cancelled_{false};
    std::atomic<SessionState> state_{SessionState::Running};
    std::chrono::steady_clock::time_point start_;
    std::thread thread_;
    mutable std::mutex endMutex_;
    mutable std::condition_variable ended_;
    bool bodyDone_ = false;
    uint64_t saved_ = 0;
    bool savedAtTarget_ = false;
    double savedSagdRelSigma_ = 0, savedReferenceRelSigma_ = 0, savedMapRelSigma_ = 0;
    bool shared_ = false;
    std::atomic<bool> shareDone_{false};
    RunPart part_;
    mutable std::mutex mutex_;
    std::string failure_, runFault_;
    SessionFault fault_ = SessionFault::None;
    ResultFault resultFault_ = ResultFault::None;
};

// Reads the inputs of `workDir` and prepares a session; throws InputError
// (or std::invalid_argument for a geometry the transport refuses).
// `opt.maps` false: a run for the numbers alone (no voxel walk).
std::unique_ptr<EngineSession> prepareSession(const std::filesystem::path& workDir, ExposureKind kind,
                                              unsigned threads, uint64_t seed, const EngineOptions& opt = {});

} // namespace kv::engine
