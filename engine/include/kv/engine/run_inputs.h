#pragma once
// What an engine reads from the working directory at its start, checked
// once: MC.dat, Phantom.dat, equipment.dat, P_SPCTL.dat and the composition
// file that Phantom.dat names, and Geometry.dat when it is there.
#include "kv/engine/workbench_sim.h"
#include "kv/formats/composition_file.h"
#include "kv/formats/control_file.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/texts/engine.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kv::engine {

enum class ExposureKind { Mammography, Tomosynthesis };

// A missing or unusable input, in both editions: what() is the English
// "<file>: <problem>", text(edition) the edition's words the engine and the
// workbench show.
struct InputError : std::runtime_error {
    // A problem worded once (English in both editions).
    InputError(std::string fileName, const std::string& problem);
    // The problem `reason` of the engine's texts with its keys filled in.
    InputError(std::string fileName, texts::Text texts::EngineInputTexts::*reason,
               std::initializer_list<std::pair<std::string_view, std::string>> keys = {});
    // Whole sentences already worded per edition (a file's own message).
    InputError(std::string fileName, std::string english, std::string japanese);
    const std::string& text(texts::Edition e) const {
        return e == texts::Edition::Japanese ? japanese_ : english_;
    }
    std::string file;

  private:
    std::string english_, japanese_;
};

// What a run may ask for (kv/common/constants.h).
using kv::kMaxAngularRange;
using kv::kMaxDistance;
using kv::kMaxHistories;
using kv::kMaxThickness;
using kv::kMinDistance;
using kv::kMinThickness;

struct RunInputs {
    ExposureKind kind = ExposureKind::Mammography;
    formats::ControlFile control;
    formats::PhantomFile phantom;
    formats::EquipmentRecord equipment;
    formats::SpectrumFileContents spectrum;
    formats::Composition composition;
    formats::Geometry geometry; // paddle and support; Geometry.dat or the usual plates
    uint64_t histories = 0;
};

// Throws InputError.
RunInputs readRunInputs(const std::filesystem::path& workDir, ExposureKind kind);

// Writes and removes a temporary of the result's name in `workDir`, and
// wants room for the result. Throws InputError naming the result file.
void requireWritableFolder(const std::filesystem::path& workDir, const std::string& resultFile);

// What would keep a finished run from being saved, each asked before the
// first history; throw InputError. The result's name and what stands under
// it (too long, a folder, pipe or link to one, a write-protected older file):
void requireReplaceableResult(const std::filesystem::path& workDir, const std::string& resultFile);
// Every text of the header in the result file's code page:
void requireHeaderCodePage(const RunInputs& in);
// Settings a spectrum file can hold, shares that add up to 1 and none above
// the tube voltage, photons for the air kerma and photons that cross the paddle:
void requireDoseFromSpectrum(const RunInputs& in);

// Everything an engine checks before its first history: what the workbench
// runs before it starts one. Throws InputError.
RunInputs checkRunStart(const std::filesystem::path& workDir, ExposureKind kind);

// The rays 1..42 of the spectrum file, bins from 1 keV up (lower bins cannot
// cross the air already folded into the spectrum).
RaySpectra raySpectra(const formats::SpectrumFileContents& s);

WorkbenchSetup workbenchSetup(const RunInputs& in);

} // namespace kv::engine
