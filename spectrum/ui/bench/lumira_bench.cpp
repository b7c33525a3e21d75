// What the user waits for after "Draw spectrum" (50 kV, the longest
// computation) and after "Clear", through the real screen on the offscreen
// platform, in a scratch copy of the shipped data.
#include "kv/gui/program.h"
#include "kv/spectrum/ui/spectrum_screen.h"
#include "kv/texts/lumira.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "lumira_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto made = std::make_unique<QApplication>(argc, argv);
        kv::gui::setUpApplication(QString::fromUtf8(kv::texts::lumiraTexts().title.c_str()));
        return made;
    }();
    return *a;
}

struct Screen {
    Screen() {
        app();
        for (const char* name : {"MUs12.dat", "Mo-STP.dat", "equipment.dat"})
            QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + name, dir.filePath(name));
        screen = std::make_unique<kv::spectrum::ui::SpectrumScreen>(dir.path().toStdString());
        if (!screen->start()) throw std::runtime_error("the shipped data did not load");
    }
    QTemporaryDir dir;
    std::unique_ptr<kv::spectrum::ui::SpectrumScreen> screen;
};

void drawSpectrum(benchmark::State& state, const char* option) {
    Screen s;
    s.screen->option(option)->click();
    s.screen->textBox("Text1")->setText(QStringLiteral("50"));
    for (auto _ : state)
        s.screen->button("Command1")->click();
}

void BM_DrawMolybdenum50kV(benchmark::State& state) {
    drawSpectrum(state, "Option1");
}
void BM_DrawTungsten50kV(benchmark::State& state) {
    drawSpectrum(state, "Option2");
}

void BM_Clear(benchmark::State& state) {
    Screen s;
    s.screen->button("Command1")->click();
    for (auto _ : state)
        s.screen->button("Command3")->click();
}

} // namespace

BENCHMARK(BM_DrawMolybdenum50kV)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_DrawTungsten50kV)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
