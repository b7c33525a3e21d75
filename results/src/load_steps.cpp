#include "kv/results/load_steps.h"

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
        view.showWarning(t.cannotRead, fileAndReason(selectedName, r.failure, t));
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
