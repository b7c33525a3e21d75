// One line per task screen, each from a library in the dorvel link list of
// this folder's CMakeLists.txt. A button without a screen beeps.
#include "kv/shell/task_screens.h"

#include "kv/shell/phantom_screen.h"
#include "kv/shell/setup_screen.h"
#include "kv/shell/workbench.h"

namespace kv::shell {

void registerTaskScreens(Workbench& wb) {
    TaskScreens& screens = wb.taskScreens();
    screens.phantom = openPhantomScreen;  // Form1
    screens.setUp = openSetUpScreen;      // Form4
    // screens.results = ...;  // Form2
}

} // namespace kv::shell
