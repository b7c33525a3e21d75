#include "kv/common/format.h"
#include "kv/texts/engine.h"
#include "progress_window.h"

#include <QApplication>
#include <QMessageBox>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

namespace kv::engine {

namespace {

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) { interrupted.store(true); }

// Without a window system (and no platform asked for) progress goes to the console.
bool hasDisplay() {
    auto set = [](const char* n) {
        const char* v = std::getenv(n);
        return v && *v;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

uint64_t freshSeed() {
    std::random_device rd;
    return (static_cast<uint64_t>(rd()) << 32) ^ rd() ^
           static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

// The console's texts with %1, %2 ... filled in, as QString::arg does for the window.
std::string fill(std::string_view pattern, std::initializer_list<std::string> args) {
    QString s = QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size()));
    for (const std::string& a : args) s = s.arg(QString::fromStdString(a));
    return s.toStdString();
}

std::string seconds(double s) { return durationText(s).toStdString(); }

int runConsole(const std::filesystem::path& dir, ExposureKind kind) {
    const texts::EngineTexts& t = texts::engineTexts();
    std::unique_ptr<EngineSession> session;
    try {
        session = prepareSession(dir, kind, defaultThreadCount(), freshSeed());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", fill(t.cannotStart, {e.what()}).c_str());
        return 1;
    }
    const RunInputs& in = session->inputs();
    std::printf("%s\n%s\n",
                fill(t.consoleStart, {in.control.resultFile, std::to_string(in.histories),
                                            std::to_string(defaultThreadCount())})
                    .c_str(),
                t.consoleHint.c_str());
    std::fflush(stdout);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    session->start();
    auto lastPrint = std::chrono::steady_clock::now();
    while (!session->finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (interrupted.load()) session->stopAndSave();
        auto now = std::chrono::steady_clock::now();
        if (now - lastPrint < std::chrono::seconds(5)) continue;
        lastPrint = now;
        SessionProgress p = session->progress();
        std::printf("%s\n", fill(t.consoleProgress,
                                 {format(100.0 * static_cast<double>(p.done) / static_cast<double>(p.total), "0.0"),
                                  std::to_string(p.done), std::to_string(p.total), format(p.rate, "0.00E+00"),
                                  seconds(p.elapsed), seconds(p.remaining),
                                  format(p.referenceRelSigma * 100.0, "0.00") + " %",
                                  format(p.sagdRelSigma * 100.0, "0.00") + " %"})
                                .c_str());
        std::fflush(stdout);
    }
    switch (session->state()) {
    case SessionState::Saved:
        std::printf("%s\n", (session->savedHistories() < in.histories
                                 ? fill(t.stoppedAndSaved, {in.control.resultFile,
                                                                  std::to_string(session->savedHistories()),
                                                                  std::to_string(in.histories)})
                                 : fill(t.saved, {in.control.resultFile, std::to_string(session->savedHistories())}))
                                .c_str());
        return 0;
    case SessionState::Failed:
        std::fprintf(stderr, "%s\n", fill(t.writeFailed, {session->failure()}).c_str());
        return 1;
    default: std::printf("%s\n", t.cancelled.c_str()); return 1;
    }
}

} // namespace

int runEngine(int argc, char** argv, ExposureKind kind) {
    const std::filesystem::path dir = std::filesystem::current_path();
    if (!hasDisplay()) return runConsole(dir, kind);
    QApplication app(argc, argv);
    const texts::EngineTexts& t = texts::engineTexts();
    QString caption = QString::fromUtf8(kind == ExposureKind::Tomosynthesis ? t.captionTomosynthesis.c_str()
                                                                            : t.captionMammography.c_str());
    std::unique_ptr<EngineSession> session;
    try {
        session = prepareSession(dir, kind, defaultThreadCount(), freshSeed());
    } catch (const std::exception& e) {
        QMessageBox::warning(nullptr, caption, QString::fromStdString(fill(t.cannotStart, {e.what()})));
        return 1;
    }
    ProgressWindow w(*session);
    w.show();
    w.raise();
    w.activateWindow();
    session->start();
    int rc = app.exec();
    return session->state() == SessionState::Saved ? rc : 1;
}

} // namespace kv::engine
