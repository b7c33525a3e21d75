#include "kv/results/load_steps.h"

namespace kv::results {

LoadFailure RunLoadResultFile(DoseModel& shown, const std::filesystem::path& workDir, std::string_view selectedName,
                              LoadView& view, const texts::ResultsModelTexts& t) {
    if (selectedName.empty()) {
        view.ShowMessage(t.selectFile);
        return LoadFailure::NoFileSelected;
    }
    LoadResult r = LoadResultFile(workDir, selectedName, [&view] { view.ProcessPendingEvents(); });
    if (!r) {
        view.ShowMessage(t.cannotRead);
        return r.failure;
    }
    shown = std::move(*r.model);
    view.ShowNumberFields(shown.fields());
    view.EnableResultControls();
    view.DrawYZPlane();
    view.DrawDepthDoseGraph();
    return LoadFailure::None;
}

} // namespace kv::results
