// What would stop a finished run from being saved, asked before its first
// history: the result's name and what stands under it, the texts of its
// header, and a spectrum that could give no dose or no air kerma.
#include "kv/common/codepage.h"
#include "kv/common/constants.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/typed_number.h"
#include "kv/engine/physics.h"
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/engine/source.h"
#include "kv/texts/engine.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace kv::engine {

namespace {

using Input = texts::EngineInputTexts;
using Keys = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// A reason worded in each edition by `problem`, for reasons whose keys are
// themselves texts of the edition.
template <class F> InputError refused(const std::string& file, F problem) {
    auto whole = [&](const texts::EngineTexts& t) {
        const std::string p = problem(t.inputs);
        return fillIn(std::string(t.inputs.refusal.view()), {{"{file}", shownText(file)}, {"{problem}", p}});
    };
    return InputError(file, whole(texts::englishEngineTexts), whole(texts::japaneseEngineTexts));
}

std::string filled(const texts::Text& text, Keys keys) {
    return fillIn(std::string(text.view()), keys);
}

// Fewer photons than this share crossing the paddle leave no dose to speak of.
constexpr double kLeastTransmission = 1e-6;
// The heel effect changes the fluence across the field by tens of percent, never a thousandfold.
constexpr double kLeastChamberShare = 1e-3;

} // namespace

void requireReplaceableResult(const std::filesystem::path& dir, const std::string& resultFile) {
    const std::string mc(formats::kControlFileName), name = shownText(resultFile);
    switch (replaceRefusal(dir, resultFile)) {
    case ReplaceRefusal::None:
        return;
    case ReplaceRefusal::NameTooLong:
        throw InputError(mc, &Input::resultNameTooLong,
                         {{"{name}", name},
                          {"{bytes}", std::to_string(resultFile.size())},
                          {"{most}", std::to_string(maxNameBytes(dir))}});
    case ReplaceRefusal::NotAFile: {
        struct stat st {};
        const bool folder = ::stat((dir / resultFile).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        throw InputError(mc, folder ? &Input::folderInTheWay : &Input::pipeInTheWay, {{"{name}", name}});
    }
    case ReplaceRefusal::WriteProtected:
        throw InputError(mc, &Input::olderProtected, {{"{name}", name}});
    }
}

void requireHeaderCodePage(const RunInputs& in) {
    struct Text {
        std::string file;
        texts::Text Input::*where;
        const std::string& text;
    };
    const std::string mc(formats::kControlFileName), ph(formats::kPhantomFileName);
    for (const Text& x : {Text{mc, &Input::equipmentName, in.control.equipmentName},
                          Text{ph, &Input::glandularFraction, in.phantom.fractionText},
                          Text{ph, &Input::compositionFile, in.phantom.compositionFile}}) {
        try {
            toCp932(x.text);
        } catch (const CodePageError&) {
            throw refused(x.file, [&](const Input& t) {
                return filled(t.notInCodePage,
                              {{"{where}", (t.*x.where).view()}, {"{text}", shownText(x.text)}});
            });
        }
    }
    // Whatever else reaches the header comes from the program itself, but a
    // failure here is still cheaper than one after the run.
    for (const std::string& line : describeRun(in, WorkbenchResult{})) {
        try {
            toCp932(line);
        } catch (const CodePageError&) {
            throw InputError(in.control.resultFile, &Input::headerNotInCodePage,
                             {{"{line}", shownText(line)}});
        }
    }
}

void requireDoseFromSpectrum(const RunInputs& in) {
    const std::string sp(formats::kSpectrumFileName);
    const formats::SpectrumFileContents& s = in.spectrum;
    struct Setting {
        int line;
        texts::Text Input::*what;
        double value, min, max;
        const char* unit;
        bool aboveMin;
    };
    for (const Setting& h : {
             Setting{2, &Input::tubeVoltage, s.tubeVoltage, kMinTubeVoltage, kMaxTubeVoltage, "kV", false},
             Setting{3, &Input::targetAngle, s.targetAngle, 0, kMaxTargetAngle, "deg", true},
             Setting{4, &Input::tubeTilt, s.tubeTiltAngle, -kMaxTubeTilt, kMaxTubeTilt, "deg", false},
             Setting{5, &Input::beryllium, s.beryllium, 0, kMaxFilterMm, "mm", false},
             Setting{6, &Input::aluminium, s.aluminum, 0, kMaxFilterMm, "mm", false},
             Setting{7, &Input::molybdenum, s.molybdenum, 0, kMaxFilterMm, "mm", false},
             Setting{8, &Input::rhodium, s.rhodium, 0, kMaxFilterMm, "mm", false},
             Setting{9, &Input::silver, s.silver, 0, kMaxFilterMm, "mm", false},
             Setting{10, &Input::airLayer, s.airLayer, 0, kMaxAirLayerCm, "cm", false},
         }) {
        if ((h.aboveMin ? h.value > h.min : h.value >= h.min) && h.value <= h.max) continue;
        throw refused(sp, [&](const Input& t) {
            return filled(t.settingOutside, {{"{line}", std::to_string(h.line)},
                                             {"{what}", (t.*h.what).view()},
                                             {"{value}", plainDecimal(h.value)},
                                             {"{min}", plainDecimal(h.min)},
                                             {"{max}", plainDecimal(h.max)},
                                             {"{unit}", h.unit}});
        });
    }
    // The writer normalises rays 1..42 to add up to 1 together; a share
    // beyond that is no spectrum the tool made, and one huge cell would
    // leave every other ray, the air kerma's included, all but empty.
    for (int i = 1; i < formats::kBins; ++i)
        for (int k = 1; k < formats::kColumns; ++k) {
            const double v = s.table[k][i];
            const bool aboveOne = v > 1, aboveVoltage = v > 0 && formats::binEnergy(i) > s.tubeVoltage + 0.1;
            if (!aboveOne && !aboveVoltage)
                continue; // the texts only for a message: ten thousand cells pass here
            const std::string line = std::to_string(formats::kSpectrumHeaderLines + i),
                              ray = std::to_string(k), energy = plainDecimal(formats::binEnergy(i));
            if (aboveOne)
                throw InputError(
                    sp, &Input::shareAboveOne,
                    {{"{line}", line}, {"{value}", plainDecimal(v)}, {"{ray}", ray}, {"{energy}", energy}});
            throw InputError(sp, &Input::aboveTubeVoltage,
                             {{"{line}", line},
                              {"{ray}", ray},
                              {"{energy}", energy},
                              {"{kv}", plainDecimal(s.tubeVoltage)}});
        }
    const WorkbenchSetup setup = workbenchSetup(in);
    const FieldSource source(fieldGeometry(setup), setup.spectrum);
    // The air kerma divides every dose: the ray toward its point must hold
    // photons, and not a vanishing share of those across the field.
    auto photonsAt = [&](double y) {
        double sum = 0;
        for (double f : source.fluenceAt({0.0, y, in.control.fcd}))
            sum += f;
        return sum;
    };
    const double chamber = photonsAt(kChamberY);
    double most = 0;
    for (double y = 0; y <= setup.fieldY * in.control.fcd / setup.fid + 1e-9; y += 0.5)
        most = std::max(most, photonsAt(y));
    if (!(chamber > kLeastChamberShare * most) || !std::isfinite(chamber))
        throw InputError(sp, chamber > 0 ? &Input::fewChamberPhotons : &Input::noChamberPhotons,
                         {{"{y}", plainDecimal(kChamberY)}, {"{fcd}", plainDecimal(in.control.fcd)}});
    // The share of the photons that cross the paddle straight down.
    double all = 0, through = 0;
    const Material& m = setup.paddle;
    for (size_t i = 0; i < setup.spectrum.energies.size(); ++i) {
        const double e = setup.spectrum.energies[i];
        const double mu =
            m.density * (MixtureData::photo(m, e) + MixtureData::rayleigh(m, e) + MixtureData::compton(m, e));
        for (const std::vector<double>& ray : setup.spectrum.weights) {
            all += ray[i];
            through += ray[i] * std::exp(-mu * setup.paddleThickness);
        }
    }
    if (!(through >= kLeastTransmission * all))
        throw InputError(sp, &Input::paddleStops,
                         {{"{mm}", plainDecimal(setup.paddleThickness * 10)},
                          {"{share}", format(through / all, "0.0E+00")}});
}

} // namespace kv::engine
