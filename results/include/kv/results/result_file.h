#pragma once
// The result file (".vesk") as the engines leave it and the workbench reads it.
//
// Loading is all or nothing: LoadResultFile reads and computes into a fresh
// DoseModel and returns it only when every step succeeded. The caller swaps it
// in (`shown = std::move(*result.model)`); on failure nothing the caller holds
// has changed. load_steps.h runs a whole load the way the results screen does.
//
//   LoadResult r = LoadResultFile(workDir, "run1.vesk", pendingEvents);
//   if (r) shown = std::move(*r.model); else message(texts.cannotRead);
//   HeaderPreview p = previewResultHeader(workDir, "run1.vesk", texts);   // lines for the preview box
//
// The file itself (layout, limits, reader and writer) is formats/result_file.h.
#include "kv/common/records.h"
#include "kv/formats/result_file.h"
#include "kv/results/dose_model.h"
#include "kv/texts/results_model.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::results {

using formats::descriptionLineCount;
using formats::kMammographyKind;
using formats::kMaxResultFileBytes;
using formats::kTomosynthesisKind;
using formats::LoadFailure;
using formats::ResultFileContent;

struct LoadResult {
    std::optional<DoseModel> model; // set exactly when the load succeeded
    LoadFailure failure = LoadFailure::None;
    int line = 0; // NotANumber in a dose block: the file's line of it
    explicit operator bool() const { return model.has_value(); }
};

// Reads `name` (a bare name) in `workDir` and computes every quantity,
// DepthDose included; SelectedYIndex is 80 and SelectedZIndex 1. `pendingEvents`
// (may be empty) runs after the file is read, before and after the rescaling.
// Never throws: every fault, an allocation failure included, is a LoadFailure.
LoadResult LoadResultFile(const std::filesystem::path& workDir, std::string_view name,
                          const std::function<void()>& pendingEvents = {});
// The same from a reader positioned at line 1.
LoadResult loadResultFrom(RecordReader& in, const std::function<void()>& pendingEvents = {});

// Why a load failed, in the edition's words.
std::string_view failureReason(LoadFailure f, const texts::ResultsModelTexts& t);
// "<file>: <reason>", the detail under the screens' "cannot be read".
std::string fileAndReason(std::string_view file, LoadFailure f, const texts::ResultsModelTexts& t);

// The preview box's lines (lines 1 to T+4 of the file, labelled). A file that
// ends early, holds a non-number where a number belongs, or cannot be opened
// gives the lines printed so far and complete = false. Never throws.
struct HeaderPreview {
    std::vector<std::string> lines;
    bool complete = false;
    LoadFailure failure = LoadFailure::None; // why it is not complete
};
HeaderPreview previewResultHeader(const std::filesystem::path& workDir, std::string_view name,
                                  const texts::ResultsModelTexts& t);
HeaderPreview previewResultHeader(RecordReader& in, const texts::ResultsModelTexts& t);

} // namespace kv::results
