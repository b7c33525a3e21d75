// What would stop a finished run from being saved, asked before its first
// history: the result's name and what stands under it, the texts of its
// header, and a spectrum that could give no dose or no air kerma.
#include "kv/common/codepage.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/typed_number.h"
#include "kv/engine/physics.h"
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/engine/source.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace kv::engine {

namespace {

std::string inQuotes(std::string_view text) {
    std::string s(1, '"');
    s += shownText(text);
    s += '"';
    return s;
}

std::string lineOf(int bin) {
    return "line " + std::to_string(formats::kSpectrumHeaderLines + bin);
}

// What a spectrum file's settings can be: what the spectrum tool computes.
constexpr double kMinTubeVoltage = 15, kMaxTubeVoltage = 50; // kV
constexpr double kMaxTargetAngle = 45, kMaxTubeTilt = 30;    // deg
constexpr double kMaxFilter = 20, kMaxAirLayer = 500;        // mm, cm

// Fewer photons than this share crossing the paddle leave no dose to speak of.
constexpr double kLeastTransmission = 1e-6;
// The heel effect changes the fluence across the field by tens of percent, never a thousandfold.
constexpr double kLeastChamberShare = 1e-3;

} // namespace

void requireReplaceableResult(const std::filesystem::path& dir, const std::string& resultFile) {
    const std::string mc(formats::kControlFileName);
    const std::string named = "line 8 names the result file " + inQuotes(resultFile);
    switch (replaceRefusal(dir, resultFile)) {
    case ReplaceRefusal::None:
        return;
    case ReplaceRefusal::NameTooLong:
        throw InputError(mc, named + ", " + std::to_string(resultFile.size()) +
                                 " bytes long; the working folder takes names of at most " +
                                 std::to_string(maxNameBytes(dir)) + " bytes: choose a shorter name");
    case ReplaceRefusal::NotAFile: {
        struct stat st {};
        const bool folder = ::stat((dir / resultFile).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        throw InputError(mc,
                         named + ", but " + (folder ? "a folder" : "a pipe or device") +
                             " of that name stands in the working folder, and a result cannot replace it: "
                             "choose another name");
    }
    case ReplaceRefusal::WriteProtected:
        throw InputError(mc, named + ", but the older result of that name is write-protected, so the new one "
                                     "could not replace it: remove the protection or choose another name");
    }
}

void requireHeaderCodePage(const RunInputs& in) {
    struct Text {
        std::string file;
        const char* where;
        const std::string& text;
    };
    const std::string mc(formats::kControlFileName), ph(formats::kPhantomFileName);
    for (const Text& t : {Text{mc, "line 9, the equipment name", in.control.equipmentName},
                          Text{ph, "line 1, the glandular fraction", in.phantom.fractionText},
                          Text{ph, "line 2, the composition file", in.phantom.compositionFile}}) {
        try {
            toCp932(t.text);
        } catch (const CodePageError&) {
            throw InputError(t.file,
                             std::string(t.where) + " " + inQuotes(t.text) +
                                 ", holds characters that the result file's code page (CP932) cannot "
                                 "hold (shown as \xEF\xBF\xBD where the bytes were no CP932 text): type "
                                 "it again in letters, digits, kana or kanji");
        }
    }
    // Whatever else reaches the header comes from the program itself, but a
    // failure here is still cheaper than one after the run.
    for (const std::string& line : describeRun(in, WorkbenchResult{})) {
        try {
            toCp932(line);
        } catch (const CodePageError&) {
            throw InputError(in.control.resultFile, "its header line " + inQuotes(line) +
                                                        " holds characters that CP932 cannot hold");
        }
    }
}

void requireDoseFromSpectrum(const RunInputs& in) {
    const std::string sp(formats::kSpectrumFileName);
    const formats::SpectrumFileContents& s = in.spectrum;
    struct Setting {
        int line;
        const char* what;
        double value, min, max;
        const char* unit;
        bool aboveMin;
    };
    for (const Setting& h : {
             Setting{2, "the tube voltage", s.tubeVoltage, kMinTubeVoltage, kMaxTubeVoltage, "kV", false},
             Setting{3, "the target angle", s.targetAngle, 0, kMaxTargetAngle, "deg", true},
             Setting{4, "the tube tilt angle", s.tubeTiltAngle, -kMaxTubeTilt, kMaxTubeTilt, "deg", false},
             Setting{5, "the beryllium filter", s.beryllium, 0, kMaxFilter, "mm", false},
             Setting{6, "the aluminium filter", s.aluminum, 0, kMaxFilter, "mm", false},
             Setting{7, "the molybdenum filter", s.molybdenum, 0, kMaxFilter, "mm", false},
             Setting{8, "the rhodium filter", s.rhodium, 0, kMaxFilter, "mm", false},
             Setting{9, "the silver filter", s.silver, 0, kMaxFilter, "mm", false},
             Setting{10, "the air layer", s.airLayer, 0, kMaxAirLayer, "cm", false},
         }) {
        if ((h.aboveMin ? h.value > h.min : h.value >= h.min) && h.value <= h.max) continue;
        throw InputError(sp, "line " + std::to_string(h.line) + ", " + h.what + " of " +
                                 plainDecimal(h.value) + " " + h.unit + ", lies outside " +
                                 plainDecimal(h.min) + " to " + plainDecimal(h.max) + " " + h.unit);
    }
    // The writer normalises rays 1..42 to add up to 1 together; a share
    // beyond that is no spectrum the tool made, and one huge cell would
    // leave every other ray, the air kerma's included, all but empty.
    for (int i = 1; i < formats::kBins; ++i)
        for (int k = 1; k < formats::kColumns; ++k) {
            const double v = s.table[k][i];
            if (v > 1)
                throw InputError(sp, lineOf(i) + ": the share " + plainDecimal(v) + " of ray " +
                                         std::to_string(k) + " at " + plainDecimal(formats::binEnergy(i)) +
                                         " keV is more than 1; the shares of all rays add up to 1");
            if (v > 0 && formats::binEnergy(i) > s.tubeVoltage + 0.1)
                throw InputError(sp, lineOf(i) + ": ray " + std::to_string(k) + " holds photons at " +
                                         plainDecimal(formats::binEnergy(i)) +
                                         " keV, above the tube voltage of " + plainDecimal(s.tubeVoltage) +
                                         " kV (line 2)");
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
        throw InputError(
            sp, "the rays hold " + (chamber > 0 ? "almost no" : std::string("no")) +
                    " photons toward the point where the air kerma is taken (on the central line, " +
                    plainDecimal(kChamberY) + " cm from the chest-wall edge, at the FCD of " +
                    plainDecimal(in.control.fcd) + " cm), so the doses per air kerma would mean nothing");
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
        throw InputError(sp, "hardly any of the spectrum's photons cross the " +
                                 plainDecimal(setup.paddleThickness * 10) +
                                 " mm compression paddle (a share of " + format(through / all, "0.0E+00") +
                                 "), so the run could give no dose: the spectrum needs photons of more than "
                                 "a few keV");
}

} // namespace kv::engine
