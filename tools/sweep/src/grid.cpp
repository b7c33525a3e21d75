#include "kv/sweep/grid.h"

#include "kv/common/constants.h"
#include "kv/common/csv.h"
#include "kv/common/format.h"
#include "kv/common/text.h"
#include "kv/engine/engine_options.h"
#include "kv/engine/workbench_sim.h"
#include "kv/formats/measured_spectrum_file.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>

namespace kv::sweep {

namespace {

struct RowReader {
    const std::map<std::string, std::string>& values;
    const texts::SweepTexts& t;

    const std::string* given(const std::string& column) const {
        auto it = values.find(column);
        return it == values.end() || it->second.empty() ? nullptr : &it->second;
    }
    double number(const std::string& column, double fallback, double lo, double hi) const {
        const std::string* v = given(column);
        if (!v) return fallback;
        double x = 0;
        if (!parseNumberStrict(*v, x) || !std::isfinite(x))
            throw std::invalid_argument(fill(t.cellNotNumber, {column, *v}));
        if (!(x >= lo && x <= hi))
            throw std::invalid_argument(
                fill(t.cellOutside, {column, *v, plainDecimal(lo), plainDecimal(hi)}));
        return x;
    }
    double required(const std::string& column, double lo, double hi) const {
        if (!given(column)) throw std::invalid_argument(fill(t.cellEmpty, {column}));
        return number(column, 0, lo, hi);
    }
};

// The spectrum file texts of the same edition, for a measured spectrum's faults.
const texts::SpectrumFileTexts& spectrumTextsFor(const texts::SweepTexts& t) {
    return texts::spectrumFileTextsOf(&t == &texts::japaneseSweepTexts ? texts::Edition::Japanese
                                                                       : texts::Edition::English);
}

std::shared_ptr<const formats::MeasuredSpectrum>
readMeasured(const std::string& name, const std::filesystem::path& gridDir, const texts::SweepTexts& t) {
    const std::filesystem::path file = gridDir / name; // an absolute name stays as it is
    try {
        return std::make_shared<const formats::MeasuredSpectrum>(formats::readMeasuredSpectrum(file));
    } catch (const formats::MeasuredSpectrumError& e) {
        formats::MeasuredSpectrumError named = e;
        named.file = name; // as the grid names it: a long folder would shorten it past recognition
        throw std::invalid_argument(formats::describeMeasured(named, spectrumTextsFor(t)));
    } catch (const formats::FileError& e) {
        formats::FileError named = e;
        named.file = name;
        throw std::invalid_argument(formats::describe(named, spectrumTextsFor(t)));
    }
}

// The scan of a tomosynthesis row, checked as Geometry.dat's reader checks it.
void readScan(const RowReader& in, factors::Row& r) {
    const texts::SweepTexts& t = in.t;
    for (const char* c : {"projections", "projection_loading", "projection_angle", "rotation_axis_cm"})
        if (!r.tomosynthesis && in.given(c)) throw std::invalid_argument(fill(t.onlyTomosynthesis, {c}));
    if (const std::string* v = in.given("projections")) {
        double n = 0;
        if (!parseNumberStrict(*v, n) || n != std::floor(n) || n < 0 || n == 1 ||
            n > formats::kMaxProjections)
            throw std::invalid_argument(fill(t.projectionsNotScan, {*v}));
        r.projections = static_cast<int>(n);
    }
    if (const std::string* v = in.given("projection_loading")) {
        std::vector<double> shares;
        std::stringstream words(*v);
        std::string w;
        double sum = 0;
        bool ok = true;
        while (words >> w) {
            double x = 0;
            ok = ok && parseNumberStrict(w, x) && std::isfinite(x) && x >= 0;
            shares.push_back(x);
            sum += x;
        }
        if (!ok || static_cast<int>(shares.size()) != r.projections || !(sum > 0))
            throw std::invalid_argument(fill(t.loadingNotShares, {*v, std::to_string(r.projections)}));
        r.projectionLoading = shares;
    }
    if (in.given("projection_angle")) {
        const double a =
            in.number("projection_angle", 0, -formats::kMaxProjectionAngle, formats::kMaxProjectionAngle);
        if (r.projections != 0)
            throw std::invalid_argument(fill(t.angleBesideProjections, {plainDecimal(a)}));
        r.projectionAngle = a;
    }
    if (in.given("rotation_axis_cm")) {
        const double h = in.number("rotation_axis_cm", 0, 0, formats::kMaxRotationAxisCm);
        if (!(h < r.fid))
            throw std::invalid_argument(fill(t.axisAtFocus, {plainDecimal(h), plainDecimal(r.fid)}));
        r.rotationAxis = h;
    }
}

factors::Row readRow(const std::map<std::string, std::string>& values, const formats::EquipmentRecord& eq,
                     const std::filesystem::path& gridDir, const texts::SweepTexts& t) {
    RowReader in{values, t};
    factors::Row r;
    if (const std::string* m = in.given("model")) {
        std::string v = lowered(*m);
        if (v != "workbench" && v != "protocol") throw std::invalid_argument(fill(t.modelNeither, {*m}));
        r.protocol = v == "protocol";
    }
    if (r.protocol) {
        // The protocol breast: any glandularity, 2 to 11 cm, no composition file.
        r.thickness =
            in.required("thickness_cm", engine::kMinProtocolThickness, engine::kMaxProtocolThickness);
        r.glandular = in.required("glandular_percent", 0, 100);
        r.adiposeMm = in.number("adipose_mm", r.adiposeMm, 0, formats::kMaxAdiposeMm);
        r.adiposeRimMm = in.number("adipose_rim_mm", r.adiposeRimMm, 0, formats::kMaxAdiposeRimMm);
        if (!(r.thickness * 10 - 2 * r.adiposeMm >= 1 - 1e-9))
            throw std::invalid_argument(
                fill(t.noInnerRegion, {plainDecimal(r.adiposeMm), plainDecimal(r.thickness)}));
        if (const std::string* p = in.given("plates")) {
            std::string v = lowered(*p);
            if (v != "absorbing" && v != "full") throw std::invalid_argument(fill(t.platesNeither, {*p}));
            r.plates = v == "full" ? formats::PlateMode::Full : formats::PlateMode::Absorbing;
        }
    } else {
        for (const char* c : {"adipose_mm", "adipose_rim_mm", "plates"})
            if (in.given(c)) throw std::invalid_argument(fill(t.onlyProtocol, {c}));
        r.plates = formats::PlateMode::Full;
        r.thickness = in.required("thickness_cm", 0.1, 6.0);
        r.glandular = in.required("glandular_percent", 10, 90);
        if (std::fabs(r.glandular / 10 - std::round(r.glandular / 10)) > 1e-9)
            throw std::invalid_argument(fill(t.noComposition, {plainDecimal(r.glandular)}));
    }
    const std::string* target = in.given("target");
    if (!target) throw std::invalid_argument(fill(t.cellEmpty, {"target"}));
    const auto* named = std::find_if(
        formats::kTargetMaterials.begin(), formats::kTargetMaterials.end(),
        [&](formats::TargetMaterial m) { return sameIgnoringCase(*target, formats::symbol(m)); });
    if (named == formats::kTargetMaterials.end())
        throw std::invalid_argument(fill(t.targetNeither, {*target}));
    r.target = *named;
    if (const std::string* file = in.given("spectrum_file")) {
        r.spectrumFile = *file;
        r.measured = readMeasured(*file, gridDir, t);
    }
    // A measured spectrum may state its own tube voltage.
    const double kv = r.measured && r.measured->tubeVoltage && !in.given("kv")
                          ? in.number("kv", *r.measured->tubeVoltage, 0, 1e9)
                          : in.required("kv", spectrum::kMinTubeVoltage, spectrum::kMaxTubeVoltage);
    if (!(kv >= spectrum::kMinTubeVoltage && kv <= spectrum::kMaxTubeVoltage))
        throw std::invalid_argument(
            fill(t.cellOutside, {"kv", plainDecimal(kv), plainDecimal(spectrum::kMinTubeVoltage),
                                 plainDecimal(spectrum::kMaxTubeVoltage)}));
    if (r.measured) {
        const std::array<double, spectrum::kBins> below = spectrum::rebinnedFluence(*r.measured, kv);
        if (!(std::accumulate(below.begin(), below.end(), 0.0) > 0))
            throw std::invalid_argument(formats::describeMeasured(
                formats::MeasuredSpectrumError(formats::MeasuredFault::NothingBelowTubeVoltage,
                                               r.spectrumFile, 0, plainDecimal(kv)),
                spectrumTextsFor(t)));
    }
    if (const std::string* m = in.given("method")) {
        std::string v = lowered(*m);
        if (v != "mammography" && v != "tomosynthesis")
            throw std::invalid_argument(fill(t.methodNeither, {*m}));
        r.tomosynthesis = v == "tomosynthesis";
    }
    // The spectrum screen's start values, as after a click on the target option. A
    // measured spectrum holds its tube's own window and air: its filters start at 0.
    const spectrum::TargetFilters start =
        r.measured ? spectrum::TargetFilters{"0", "0", "0", "0"} : spectrum::targetFilters(r.target);
    formats::SpectrumFields& f = r.spectrum;
    f.tubeVoltage = plainDecimal(kv);
    f.beryllium = plainDecimal(in.number("be_mm", parseNumber(start.beryllium), 0, 100));
    f.aluminum = plainDecimal(in.number("al_mm", parseNumber(start.aluminum), 0, 100));
    // A named filter replaces the target's own: a Mo row with rh_mm is Mo/Rh.
    const bool ownFilter = !in.given("mo_mm") && !in.given("rh_mm") && !in.given("ag_mm");
    f.molybdenum = plainDecimal(in.number("mo_mm", ownFilter ? parseNumber(start.molybdenum) : 0, 0, 100));
    f.rhodium = plainDecimal(in.number("rh_mm", ownFilter ? parseNumber(start.rhodium) : 0, 0, 100));
    f.silver = plainDecimal(in.number("ag_mm", 0, 0, 100));
    f.airLayer = plainDecimal(in.number("air_cm", r.measured ? 0 : 60, 0, 1000));
    f.targetAngle = plainDecimal(in.number("target_angle", eq.targetAngle, 0, 90));
    f.tubeTiltAngle = plainDecimal(in.number("tilt", eq.tubeTiltAngle, -90, 90));
    // The set-up screen's start values: the record's distances, the air kerma at the FAD.
    r.fid = in.number("fid_cm", eq.fid, 1, 1000);
    r.fad = in.number("fad_cm", eq.fad, 0, 1000);
    r.fcd = in.number("fcd_cm", r.fad, 0, 1000);
    r.angularRange = in.number("angular_range", eq.angularRange, 0, 60);
    r.histories = in.number("histories", factors::kDefaultHistories, 1, kMaxHistories);
    r.sagdSigmaPercent = in.number("sagd_sigma_percent", 0, 0, 100);
    if (const std::string* s = in.given("seed")) {
        r.seed = engine::parseSeed(*s);
        if (!r.seed) throw std::invalid_argument(fill(t.seedNotWhole, {*s}));
    }
    readScan(in, r);
    return r;
}

} // namespace

GridReader::GridReader(const formats::EquipmentRecord& eq, const texts::SweepTexts& t,
                       std::filesystem::path gridDir)
    : eq_(eq), t_(t), gridDir_(std::move(gridDir)) {}

void GridReader::line(std::string_view text) {
    const int number = ++lines_;
    std::vector<CsvLine> read = readCsvLines(text);
    if (read.empty()) return;
    const std::vector<std::string>& c = read[0].cells;
    if (header_.empty()) {
        readHeader(number, c);
        return;
    }
    if (grid_.dataRows == static_cast<int>(kMaxGridRows))
        throw GridError(fill(t_.gridTooManyRows, {std::to_string(kMaxGridRows)}));
    const int index = grid_.dataRows++;
    if (c.size() != header_.size()) {
        grid_.refused.push_back(
            {number, fill(t_.rowCellCount, {std::to_string(c.size()), std::to_string(header_.size())})});
        return;
    }
    std::map<std::string, std::string> values;
    for (size_t i = 0; i < header_.size(); ++i)
        values[header_[i]] = c[i];
    try {
        factors::Row r = readRow(values, eq_, gridDir_, t_);
        r.line = number;
        r.index = index;
        grid_.rows.push_back(std::move(r));
    } catch (const std::invalid_argument& e) {
        grid_.refused.push_back({number, e.what()});
    }
}

void GridReader::readHeader(int number, const std::vector<std::string>& cells) {
    std::vector<std::string> header;
    for (const std::string& h : cells)
        header.push_back(lowered(h));
    for (size_t i = 0; i < header.size(); ++i) {
        if (std::find(factors::kInputColumns.begin(), factors::kInputColumns.end(), header[i]) ==
            factors::kInputColumns.end())
            throw GridError(fill(t_.gridUnknownColumn, {std::to_string(number), header[i]}));
        if (std::find(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(i), header[i]) !=
            header.begin() + static_cast<std::ptrdiff_t>(i))
            throw GridError(fill(t_.gridColumnTwice, {std::to_string(number), header[i]}));
    }
    for (const std::string& c : factors::kRequiredColumns)
        if (std::find(header.begin(), header.end(), c) == header.end())
            throw GridError(fill(t_.gridLacksColumn, {c}));
    header_ = std::move(header);
}

Grid GridReader::finish() {
    if (header_.empty()) throw GridError(t_.gridNoHeader.str());
    return std::move(grid_);
}

Grid parseGrid(const std::string& text, const formats::EquipmentRecord& eq, const texts::SweepTexts& t,
               const std::filesystem::path& gridDir) {
    GridReader reader(eq, t, gridDir);
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        reader.line(std::string_view(text).substr(at, end - at));
        at = end + 1;
    }
    return reader.finish();
}

Grid readGrid(const std::filesystem::path& file, const formats::EquipmentRecord& eq,
              const texts::SweepTexts& t) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) throw GridError(t.gridNotReadable.str());
    if (std::filesystem::file_size(file, ec) > kMaxGridBytes) throw GridError(t.gridTooLarge.str());
    std::ifstream in(file, std::ios::binary);
    if (!in) throw GridError(t.gridCannotBeRead.str());
    // A line at a time, so that what is held is the rows, never the file; a
    // file that grows while it is read stops at the limit all the same.
    GridReader reader(eq, t, file.parent_path());
    std::string pending;
    std::vector<char> chunk(64 * 1024);
    size_t total = 0;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const size_t got = static_cast<size_t>(in.gcount());
        total += got;
        if (total > kMaxGridBytes) throw GridError(t.gridTooLarge.str());
        for (size_t at = 0; at < got;) {
            const char* from = chunk.data() + at;
            const char* nl = static_cast<const char*>(std::memchr(from, '\n', got - at));
            if (!nl) {
                pending.append(from, got - at);
                break;
            }
            pending.append(from, static_cast<size_t>(nl - from));
            reader.line(pending);
            pending.clear();
            at = static_cast<size_t>(nl - chunk.data()) + 1;
        }
    }
    if (in.bad()) throw GridError(t.gridCannotBeRead.str());
    if (!pending.empty()) reader.line(pending);
    return reader.finish();
}

} // namespace kv::sweep
