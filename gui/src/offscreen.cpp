#include "kv/gui/offscreen.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdio>

namespace kv::gui {

OffscreenPainting::OffscreenPainting(const char* programName)
    : previous_(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps argc and argv for the application's life.
    static int argc = 1;
    static char name[64];
    std::snprintf(name, sizeof name, "%s", programName);
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QGuiApplication>(argc, argv);
}

OffscreenPainting::~OffscreenPainting() {
    app_.reset();
    qInstallMessageHandler(previous_);
}

double roundTickStep(double span, int ticks) {
    const double raw = span / ticks, p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

} // namespace kv::gui
