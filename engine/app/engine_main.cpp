#include "engine_cluster.h"
#include "kv/common/format.h"
#include "kv/common/program_start.h"
#include "kv/common/typed_number.h"
#include "kv/engine/engine_options.h"
#include "kv/formats/edition_file.h"
#include "kv/formats/settings_file.h"
#include "kv/texts/engine.h"
#include "progress_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <random>

namespace kv::engine {

namespace {

std::atomic<unsigned> interruptions{0};
extern "C" void onInterrupt(int) {
    interruptions.fetch_add(1);
}

std::string seconds(double s) {
    return durationText(s).toStdString();
}

int runConsole(const std::filesystem::path& dir, ExposureKind kind, const EngineOptions& opt) {
    const texts::EngineTexts& t = texts::engineTexts();
    std::unique_ptr<EngineSession> session;
    const unsigned threads = opt.threads.value_or(defaultThreadCount());
    try {
        session = prepareSession(dir, kind, threads, opt.seed.value_or(freshSeed()), opt);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", fillText(t.cannotStart, {startRefusal(e)}).c_str());
        return 1;
    }
    const RunInputs& in = session->inputs();
    std::printf("%s\n%s\n",
                fillText(t.consoleStart,
                         {in.control.resultFile, std::to_string(in.histories), std::to_string(threads)})
                    .c_str(),
                t.consoleHint.c_str());
    std::fflush(stdout);
    catchInterrupts();
    session->start();
    auto lastPrint = std::chrono::steady_clock::now();
    while (!session->finished()) {
        session->waitFinished(std::chrono::milliseconds(100));
        if (interruptRequested()) session->stopAndSave();
        auto now = std::chrono::steady_clock::now();
        if (now - lastPrint < std::chrono::seconds(5)) continue;
        lastPrint = now;
        std::printf("%s\n", progressLine(session->progress()).c_str());
        std::fflush(stdout);
    }
    const SessionOutcome o = sessionOutcome(*session);
    std::fprintf(o.success ? stdout : stderr, "%s\n", o.text.toStdString().c_str());
    return o.success ? 0 : 1;
}

// The run-options file's options under those of the command line. nullopt
// when the run is not to start: `exitCode` then says how the program ends.
std::optional<EngineOptions> engineOptions(int argc, char** argv, const std::filesystem::path& dir,
                                           int& exitCode, std::string& problem) {
    const texts::EngineTexts& t = texts::engineTexts();
    try {
        EngineOptions given =
            parseEngineOptions(std::vector<std::string>(argv + 1, argv + argc), texts::engineEdition());
        if (given.help) {
            std::printf("%s\n", t.usage.c_str());
            exitCode = 0;
            return std::nullopt;
        }
        return readRunOptionsFile(dir).overriddenBy(given);
    } catch (const OptionError& e) {
        problem = fillText(t.badOption, {e.what()});
        std::fprintf(stderr, "%s\n%s\n", problem.c_str(), t.usage.c_str());
    } catch (const formats::FileError& e) {
        problem = fillText(t.badOption, {e.what()});
        std::fprintf(stderr, "%s\n", problem.c_str());
    }
    exitCode = 2;
    return std::nullopt;
}

} // namespace

std::string fillText(std::string_view pattern, std::initializer_list<std::string> args) {
    return fillNumbered(pattern, args);
}

std::string startRefusal(const std::exception& e) {
    if (const auto* refused = dynamic_cast<const InputError*>(&e))
        return refused->text(texts::engineEdition());
    return e.what();
}

std::string progressLine(const SessionProgress& p) {
    const texts::EngineTexts& t = texts::engineTexts();
    double share = p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0;
    return fillText(t.consoleProgress,
                    {format(100.0 * share, "0.0"), std::to_string(p.done), std::to_string(p.total),
                     format(p.rate, "0.00E+00"), seconds(p.elapsed), seconds(p.remaining),
                     format(p.referenceRelSigma * 100.0, "0.00") + " %",
                     format(p.sagdRelSigma * 100.0, "0.00") + " %"});
}

std::string savedText(const EngineSession& session) {
    const texts::EngineTexts& t = texts::engineTexts();
    const RunInputs& in = session.inputs();
    const std::string file = in.control.resultFile, done = std::to_string(session.savedHistories());
    if (session.savedAtTarget() && session.control().mapTarget() > 0)
        return fillText(t.mapTargetReached,
                        {file, done, format(session.savedSagdRelSigma() * 100.0, "0.00") + " %",
                         format(session.savedMapRelSigma() * 100.0, "0.00") + " %"});
    if (session.savedAtTarget())
        return fillText(t.targetReached,
                        {file, done, format(session.savedSagdRelSigma() * 100.0, "0.00") + " %"});
    if (session.savedHistories() < in.histories)
        return fillText(t.stoppedAndSaved, {file, done, std::to_string(in.histories)});
    return fillText(t.saved, {file, done});
}

uint64_t freshSeed() {
    std::random_device rd;
    return (static_cast<uint64_t>(rd()) << 32) ^ rd() ^
           static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

void catchInterrupts() {
    // Closing the terminal (SIGHUP) must not lose a long run either.
    struct sigaction a {};
    a.sa_handler = onInterrupt;
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &a, nullptr);
}

bool interruptRequested() {
    return interruptions.load() > 0;
}

unsigned interruptCount() {
    return interruptions.load();
}

int runEngine(int argc, char** argv, ExposureKind kind) {
    const std::filesystem::path dir = std::filesystem::current_path();
    // Started by the workbench without arguments: its edition is in the folder.
    std::string editionProblem;
    try {
        texts::engineEdition() = formats::readEditionFile(dir);
    } catch (const formats::FileError& e) {
        editionProblem = e.what();
    }
    int exitCode = 0;
    std::string problem;
    std::optional<EngineOptions> opt = engineOptions(argc, argv, dir, exitCode, problem);
    if (opt && !editionProblem.empty()) {
        problem = fillText(texts::engineTexts().badOption, {editionProblem});
        std::fprintf(stderr, "%s\n", problem.c_str());
        exitCode = 2;
        opt.reset();
    }
    if (startedAsOneOfMany()) return opt ? runShared(dir, kind, *opt) : exitCode;
    // Without a window system progress goes to the console.
    if (!kv::hasDisplay()) return opt ? runConsole(dir, kind, *opt) : exitCode;
    QApplication app(argc, argv);
    // Qt's own words (the buttons of a message box) in the edition's language.
    QTranslator qtTexts;
    if (texts::engineEdition() == texts::Edition::Japanese &&
        qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    const texts::EngineTexts& t = texts::engineTexts();
    QString caption = QString::fromUtf8(kind == ExposureKind::Tomosynthesis ? t.captionTomosynthesis.c_str()
                                                                            : t.captionMammography.c_str());
    if (!opt) {
        if (!problem.empty()) QMessageBox::warning(nullptr, caption, QString::fromStdString(problem));
        return exitCode;
    }
    std::unique_ptr<EngineSession> session;
    try {
        session = prepareSession(dir, kind, opt->threads.value_or(defaultThreadCount()),
                                 opt->seed.value_or(freshSeed()), *opt);
    } catch (const std::exception& e) {
        QMessageBox::warning(nullptr, caption,
                             QString::fromStdString(fillText(t.cannotStart, {startRefusal(e)})));
        return 1;
    }
    ProgressWindow w(*session);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) w.placeInside(screen->availableGeometry());
    w.show();
    w.raise();
    w.activateWindow();
    // A signal stops and saves as "Stop and save" does; the window sees it at its next refresh.
    catchInterrupts();
    session->start();
    int rc = app.exec();
    return sessionOutcome(*session).success ? rc : 1;
}

} // namespace kv::engine
