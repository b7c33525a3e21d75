#include "kv/workbench/results/model/load_steps.h"

namespace kv::results {

LoadFailure runLoadResultFile(DoseModel& shown, const std::filesystem::path& workDir,
                              std::string_view selectedName, LoadView& view,
                              const texts::ResultsModelTexts& t) {
    if (selectedName.empty()) {
        view.showWarning(t.selectFile);
        return LoadFailure::NoFileSelected;
    }
    LoadResult r = LoadResultFile(workDir, selectedName, [&view] { view.processPendingEvents(); });
    if (!r) {
        // A protocol breast over 6 cm is a good file the screens cannot show: say so under the usual words.
        if (r.failure == LoadFailure::ThickerThanScreens)
            view.showWarning(t.cannotRead.str() + "\n\n" + std::string(failureReason(r.failure, t)));
        else
            view.showWarning(t.cannotRead);
        return r.failure;
    }
    shown = std::move(*r.model);
    view.showNumberFields(shown.fields());
    view.enableResultControls();
    view.DrawYZPlane();
    view.DrawDepthDoseGraph();
    return LoadFailure::None;
}

} // namespace kv::results
