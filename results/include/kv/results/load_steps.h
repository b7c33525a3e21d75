#pragma once
// LoadResultFile as the results screen's "OK" runs it, with the screens behind
// a small interface so the order of the steps lives here and is tested here.
//
// On success, in this order: the shown model is replaced whole, then
//   showNumberFields(fields)  Text1/Text7/Text8 of Form2 and their copies on
//                             Form5/6/7, Text2 of Form5, "8.0" into Text3 of
//                             Form2 and Form7, "0" into Text4 of Form2 and Form6
//   enableResultControls()    Picture1, Command1, Command5, Command3 of Form2
//   DrawYZPlane()             from the new model
//   DrawDepthDoseGraph()      from the new model (DepthDose is already filled)
// processPendingEvents() runs at the three points of a long load (after the
// file is read, before and after the rescaling).
// On failure only showWarning() is called, with the file and the reason as
// its detail: the model, the fields and the drawings keep what they showed.
#include "kv/results/dose_model.h"
#include "kv/results/result_file.h"
#include "kv/texts/results_model.h"

#include <filesystem>
#include <string_view>

namespace kv::results {

class LoadView {
  public:
    virtual ~LoadView() = default;
    // Warning icon, OK button; `detail` (the file and why) stands below the message.
    virtual void showWarning(std::string_view message, std::string_view detail = {}) = 0;
    virtual void processPendingEvents() {}
    virtual void showNumberFields(const DoseFields& fields) = 0;
    virtual void enableResultControls() = 0;
    virtual void DrawYZPlane() = 0;
    virtual void DrawDepthDoseGraph() = 0;
};

// `selectedName` is the file list's selection (empty when none). Returns the
// failure, LoadFailure::None when `shown` now holds the file.
LoadFailure runLoadResultFile(DoseModel& shown, const std::filesystem::path& workDir,
                              std::string_view selectedName, LoadView& view,
                              const texts::ResultsModelTexts& t);

} // namespace kv::results
