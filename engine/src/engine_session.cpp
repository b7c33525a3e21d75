#include "kv/engine/engine_session.h"

#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/engine/result_file.h"

namespace kv::engine {

namespace {
WorkbenchSetup withMaps(WorkbenchSetup s, bool maps) {
    s.maps = maps;
    return s;
}
} // namespace

EngineSession::EngineSession(std::filesystem::path workDir, RunInputs inputs, unsigned threads, uint64_t seed,
                             bool maps)
    : dir_(std::move(workDir)), inputs_(std::move(inputs)), threads_(threads), seed_(seed),
      sim_(std::make_unique<WorkbenchSimulation>(withMaps(workbenchSetup(inputs_), maps))) {}

void EngineSession::setTargets(const EngineOptions& opt) {
    if (opt.sagdSigmaPercent) setTarget(*opt.sagdSigmaPercent / 100.0);
    if (opt.mapSigmaPercent) setMapTarget(*opt.mapSigmaPercent / 100.0);
}

EngineSession::~EngineSession() {
    if (thread_.joinable()) {
        cancel();
        thread_.join();
    }
}

void EngineSession::start() {
    start_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] {
        body();
        {
            std::lock_guard lock(endMutex_);
            bodyDone_ = true;
        }
        ended_.notify_all();
    });
}

void EngineSession::waitFinished(std::chrono::milliseconds most) const {
    std::unique_lock lock(endMutex_);
    ended_.wait_for(lock, most, [this] { return bodyDone_; });
}

void EngineSession::stopAndSave() {
    ctl_.requestStop();
}

void EngineSession::cancel() {
    cancelled_.store(true);
    ctl_.requestStop();
}

void EngineSession::shareWith(BatchShare share) {
    ctl_.setShare(share);
    ctl_.setExternalCheckpoints(share.processes > 1);
    shared_ = true;
}

void EngineSession::noteRunFault(std::string why) {
    if (why.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = SessionFault::RunFailed;
    runFault_ = std::move(why);
}

// Nothing may leave this thread: an escaping exception would end the program
// and lose the run without a word.
void EngineSession::body() noexcept {
    try {
        RunPart part = sim_->runPart(inputs_.histories, seed_, threads_, ctl_);
        noteRunFault(ctl_.failure());
        if (shared_) {
            part_ = std::move(part);
            shareDone_.store(true);
            return;
        }
        if (cancelled_.load()) {
            state_.store(SessionState::Cancelled);
            return;
        }
        save(sim_->finish(part));
        return;
    } catch (const std::exception& e) {
        noteRunFault(e.what());
    } catch (...) {
        noteRunFault("unknown fault");
    }
    if (shared_)
        shareDone_.store(true);
    else
        state_.store(SessionState::Failed);
}

void EngineSession::complete(const std::optional<RunPart>& all, unsigned processes) {
    if (thread_.joinable()) thread_.join();
    if (cancelled_.load()) {
        state_.store(SessionState::Cancelled);
        return;
    }
    if (!all) {
        state_.store(SessionState::Saved);
        return;
    }
    WorkbenchResult r = sim_->finish(*all);
    r.processes = processes;
    save(std::move(r));
}

void EngineSession::save(WorkbenchResult r) {
    try {
        writeResultFile(dir_, inputs_, std::move(r));
        saved_ = r.histories;
        savedAtTarget_ = r.targetReached;
        savedSagdRelSigma_ = r.columnRelSigma;
        savedReferenceRelSigma_ = r.referenceRelSigma;
        savedMapRelSigma_ = r.mapRelSigma;
        state_.store(SessionState::Saved);
        return;
    } catch (const ResultRefused& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fault_ == SessionFault::None) fault_ = SessionFault::Refused;
        resultFault_ = e.fault;
    } catch (const RecordError& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fault_ == SessionFault::None) fault_ = SessionFault::WriteFailed;
        failure_ = e.file + ": " + e.what();
    } catch (const std::exception& e) {
        noteRunFault(e.what());
    }
    state_.store(SessionState::Failed);
}

std::string EngineSession::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

std::string EngineSession::runFault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runFault_;
}

SessionFault EngineSession::fault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

ResultFault EngineSession::resultFault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return resultFault_;
}

SessionProgress EngineSession::progress() const {
    SessionProgress p;
    p.total = inputs_.histories;
    p.done = ctl_.historiesDone();
    p.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    p.rate = p.elapsed > 0 ? static_cast<double>(p.done) / p.elapsed : 0.0;
    p.remaining = p.rate > 0 ? static_cast<double>(p.total - std::min(p.done, p.total)) / p.rate : 0.0;
    ScalarStats s = ctl_.liveStats();
    p.referenceRelSigma = s.relativeSigma(0);
    p.sagdRelSigma = s.relativeSigma(1);
    return p;
}

std::unique_ptr<EngineSession> prepareSession(const std::filesystem::path& workDir, ExposureKind kind,
                                              unsigned threads, uint64_t seed, const EngineOptions& opt) {
    // What a killed run left here goes first: it would only puzzle the user.
    removeAbandonedTemporaries(workDir);
    RunInputs in = checkRunStart(workDir, kind);
    auto session =
        std::make_unique<EngineSession>(workDir, std::move(in), threads, seed, opt.maps.value_or(true));
    session->setTargets(opt);
    return session;
}

} // namespace kv::engine
