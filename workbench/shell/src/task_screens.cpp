// One line per task screen, each from a library in the dorvel link list of
// this folder's CMakeLists.txt. A button without a screen beeps.
#include "kv/shell/task_screens.h"

#include "kv/results/results_screens.h"
#include "kv/shell/phantom_screen.h"
#include "kv/shell/reference_screens.h"
#include "kv/shell/setup_screen.h"
#include "kv/shell/workbench.h"

#include <QApplication>

namespace kv::shell {

namespace {

// Hides the screen of that type if it was ever created.
template <class S>
void hideScreen() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<S*>(w))
            s->hide();
}

// Form2 with the plane screens, as the menu's "Simulation results" opens it.
class ResultsTask : public results::ResultsScreens {
public:
    explicit ResultsTask(Workbench& wb) : ResultsScreens(wb.workDir()) {
        hideMethodScreen = [] { hideScreen<MethodScreen>(); };
        hideAirKermaScreen = [] { hideScreen<AirKermaScreen>(); };
    }
};

QWidget* openResultsScreen(Workbench& wb) {
    auto& s = wb.screen<ResultsTask>();
    s.openFromMenu();
    return &s;
}

} // namespace

void registerTaskScreens(Workbench& wb) {
    TaskScreens& screens = wb.taskScreens();
    screens.phantom = openPhantomScreen;  // Form1
    screens.setUp = openSetUpScreen;      // Form4
    screens.results = openResultsScreen;  // Form2
}

} // namespace kv::shell
