#include "sweep.h"

#include "grid.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/engine/engine_session.h"
#include "kv/formats/control_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/settings_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/workbench/results/model/result_file.h"
#include "plot.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <thread>
#include <unistd.h>

namespace kv::sweep {

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kOutputColumns = {"hvl1_mm_al",         "mean_kev", "sagd",
                                                 "sagd_sigma_percent", "dose100",  "dose100_sigma_percent",
                                                 "mean_percentage",    "histories"};
constexpr const char* kTableName = "table.csv";
constexpr const char* kPlotName = "sagd.png";
constexpr const char* kWorkFolder = ".work";

struct Options {
    fs::path grid, out, data = fs::current_path();
    std::optional<unsigned> threads;
    int shard = 1, shards = 1;
    bool sharded = false, merge = false;
    const texts::SweepTexts* t = &texts::englishSweepTexts;
};

bool parseWholeNumber(const std::string& text, int& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && !text.empty();
}

std::string fill(std::string_view pattern, std::initializer_list<std::string> args) {
    std::string s(pattern);
    int n = 1;
    for (const std::string& a : args) {
        std::string mark(1, '%');
        mark += std::to_string(n++);
        for (size_t at = s.find(mark); at != std::string::npos; at = s.find(mark, at + a.size()))
            s.replace(at, mark.size(), a);
    }
    return s;
}

std::string duration(double s) {
    long v = std::lround(std::max(0.0, s));
    char buf[32];
    if (v >= 3600)
        std::snprintf(buf, sizeof buf, "%ld h %02ld min", v / 3600, v / 60 % 60);
    else if (v >= 60)
        std::snprintf(buf, sizeof buf, "%ld min %02ld s", v / 60, v % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld s", v);
    return buf;
}

// Throws std::invalid_argument with the reason.
Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " wants a value");
        return args[++i];
    };
    bool gridGiven = false, outGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out")
            o.out = value(i), outGiven = true;
        else if (a == "--data")
            o.data = value(i);
        else if (a == "--merge")
            o.merge = true;
        else if (a == "--edition") {
            const std::string& e = value(i);
            if (e != "en" && e != "ja") throw std::invalid_argument("--edition takes en or ja");
            o.t = &texts::sweepTextsOf(e == "ja" ? texts::Edition::Japanese : texts::Edition::English);
        } else if (a == "--threads") {
            const std::string& v = value(i);
            int n = 0;
            if (!parseWholeNumber(v, n) || n < 1 || n > 1024)
                throw std::invalid_argument("--threads wants a whole number 1 .. 1024, not \"" + v + "\"");
            o.threads = static_cast<unsigned>(n);
        } else if (a == "--shard") {
            const std::string& v = value(i);
            size_t slash = v.find('/');
            int shard = 0, shards = 0;
            if (slash == std::string::npos || !parseWholeNumber(v.substr(0, slash), shard) ||
                !parseWholeNumber(v.substr(slash + 1), shards) || shards < 1 || shard < 1 || shard > shards)
                throw std::invalid_argument("--shard wants I/N with 1 <= I <= N, not \"" + v + "\"");
            o.shard = shard, o.shards = shards, o.sharded = true;
        } else if (!a.empty() && a[0] == '-') {
            throw std::invalid_argument("unknown option \"" + a + "\"");
        } else if (!gridGiven) {
            o.grid = a, gridGiven = true;
        } else {
            throw std::invalid_argument("a second grid \"" + a + "\"");
        }
    }
    if (!gridGiven) throw std::invalid_argument("no grid file given");
    if (!outGiven) throw std::invalid_argument("no --out folder given");
    if (o.merge && o.sharded) throw std::invalid_argument("--merge reads every shard: leave --shard out");
    return o;
}

// What the table holds of a row besides its inputs; kept beside the result file.
struct RowResult {
    std::string seed;
    std::map<std::string, std::string> cells; // the output columns
};

// The row's result when DIR holds one made from the same inputs.
std::optional<RowResult> keptResult(const fs::path& out, const Row& r) {
    try {
        const std::string stem = resultStem(r);
        std::error_code ec;
        if (!fs::is_regular_file(out / (stem + std::string(formats::kResultExtension)), ec))
            return std::nullopt;
        std::optional<formats::SettingsFile> f = formats::SettingsFile::read(out, stem + ".row");
        if (!f || !f->find("inputs") || f->find("inputs")->value != rowKey(r)) return std::nullopt;
        RowResult k;
        if (const formats::Setting* s = f->find("seed")) k.seed = s->value;
        for (const std::string& c : kOutputColumns) {
            const formats::Setting* s = f->find(c);
            if (!s) return std::nullopt;
            k.cells[c] = s->value;
        }
        return k;
    } catch (const RecordError&) {
        return std::nullopt; // an unreadable note: the row runs again
    }
}

class Sweep {
  public:
    Sweep(const Options& o, std::ostream& out, std::ostream& err, const Processes& procs,
          const std::function<bool()>& interrupted)
        : o_(o), t_(*o.t), out_(out), err_(err), procs_(procs), interrupted_(interrupted) {}

    int run();

  private:
    // nullopt when done, else why the row has no result.
    std::optional<std::string> runRow(const Row& r, size_t position, size_t count);
    int merge(const Grid& g);
    unsigned threads() const {
        if (o_.threads) return *o_.threads;
        return std::max(1u, engine::defaultThreadCount() / std::max(1u, procs_.localSize));
    }

    const Options& o_;
    const texts::SweepTexts& t_;
    std::ostream &out_, &err_;
    const Processes& procs_;
    std::function<bool()> interrupted_;
    formats::EquipmentRecord equipment_;
    std::optional<spectrum::PhysicalData> data_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double rowsDone_ = 0; // in this process, the current row's share included
    bool stopped_ = false;
};

int Sweep::run() {
    try {
        equipment_ = formats::readEquipment(o_.data);
    } catch (const formats::FileError& e) {
        err_ << fill(t_.cannotStart, {formats::describe(e, texts::englishSpectrumFileTexts)}) << "\n";
        return 1;
    }
    Grid grid;
    try {
        grid = readGrid(o_.grid, equipment_);
    } catch (const GridError& e) {
        err_ << fill(t_.cannotStart, {fill(t_.gridFault, {o_.grid.string(), e.what()})}) << "\n";
        return 1;
    }
    std::error_code ec;
    fs::create_directories(o_.out, ec);
    if (!fs::is_directory(o_.out, ec)) {
        err_ << fill(t_.cannotStart, {o_.out.string() + ": not a folder that can be made or used"}) << "\n";
        return 1;
    }
    if (o_.merge) return procs_.rank == 0 ? merge(grid) : 0;

    // This process's rows: every N-th of the shard, then every size-th of those.
    std::vector<const Row*> mine;
    size_t inShard = 0;
    for (const Row& r : grid.rows)
        if (r.index % o_.shards == o_.shard - 1 &&
            inShard++ % procs_.size == static_cast<size_t>(procs_.rank))
            mine.push_back(&r);
    int failed = 0;
    if (procs_.rank == 0)
        for (const RowProblem& p : grid.refused)
            err_ << fill(t_.badRow, {std::to_string(p.line), p.problem}) << "\n";
    try {
        data_ = spectrum::LoadPhysicalData(o_.data);
    } catch (const formats::FileError& e) {
        err_ << fill(t_.cannotStart, {formats::describe(e, texts::englishSpectrumFileTexts)}) << "\n";
        return 1;
    }
    for (size_t k = 0; k < mine.size() && !stopped_; ++k) {
        std::optional<std::string> problem = runRow(*mine[k], k, mine.size());
        if (problem && !stopped_) {
            err_ << fill(t_.badRow, {std::to_string(mine[k]->line), *problem}) << "\n";
            failed = 1;
        }
        rowsDone_ = static_cast<double>(k + 1);
    }
    ec.clear();
    fs::remove(o_.out / kWorkFolder, ec); // only when empty: other processes may still be at work
    if (stopped_) {
        err_ << t_.interrupted.view() << "\n";
        return 130;
    }
    procs_.barrier();
    int status = procs_.maxOver(failed || !grid.refused.empty() ? 1 : 0);
    if (o_.sharded) return status;
    int merged = procs_.rank == 0 ? merge(grid) : 0;
    return std::max(status, procs_.maxOver(merged));
}

std::optional<std::string> Sweep::runRow(const Row& r, size_t position, size_t count) {
    const std::string stem = resultStem(r);
    const std::string resultName = stem + std::string(formats::kResultExtension);
    std::string shortText =
        fill("%1, %2 %, %3 %4 kV, %5",
             {format(r.thickness, "0.0") + " cm", plainDecimal(r.glandular),
              r.target == formats::TargetMaterial::Molybdenum ? "Mo" : "W", r.spectrum.tubeVoltage,
              std::string(r.tomosynthesis ? t_.tomosynthesis : t_.mammography)});
    out_ << fill(t_.rowStart,
                 {std::to_string(position + 1), std::to_string(count), std::to_string(r.line), shortText})
         << "\n"
         << std::flush;
    // A folder of this row that a killed run left behind goes first.
    std::error_code stale;
    std::vector<fs::path> left;
    for (fs::directory_iterator it(o_.out / kWorkFolder, stale), end; !stale && it != end;
         it.increment(stale))
        if (it->path().filename().string().rfind(stem + "-", 0) == 0) left.push_back(it->path());
    for (const fs::path& p : left)
        fs::remove_all(p, stale);
    if (keptResult(o_.out, r)) {
        out_ << fill(t_.rowKept, {std::to_string(r.line), resultName}) << "\n" << std::flush;
        return std::nullopt;
    }
    // A folder of the row's own, laid out as the workbench leaves the working folder.
    const fs::path work = o_.out / kWorkFolder / (stem + "-" + std::to_string(::getpid()));
    struct Cleanup {
        fs::path dir;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } cleanup{work};
    try {
        std::error_code ec;
        fs::create_directories(work);
        const std::string composition = formats::compositionFileName(plainDecimal(r.glandular));
        for (const std::string& name : {std::string(formats::kEquipmentFileName), composition})
            fs::copy_file(o_.data / name, work / name);
        if (fs::is_regular_file(o_.data / "Geometry.dat", ec))
            fs::copy_file(o_.data / "Geometry.dat", work / "Geometry.dat");

        formats::SpectrumFields fields = r.spectrum;
        spectrum::DrawCheck check = spectrum::checkDrawSpectrum(fields);
        if (check != spectrum::DrawCheck::Accepted)
            return std::string(spectrum::refusalMessage(check, texts::englishSpectrumFileTexts));
        spectrum::SpectrumResult s = spectrum::computeSpectrum(r.target, *data_, fields);
        if (s.tubeVoltageText) fields.tubeVoltage = *s.tubeVoltageText;
        formats::writeSpectrumFile(work, r.target, fields, s.table, texts::englishSpectrumFileTexts.labels);
        std::optional<spectrum::BeamQuality> q = spectrum::beamQuality(s.table[0], data_->aluminum);
        if (!q) return std::string("the spectrum holds no photons");
        formats::writePhantomFile(work, plainDecimal(r.glandular), plainDecimal(r.thickness));
        const std::string fid = plainDecimal(r.fid), fad = plainDecimal(r.fad),
                          range = plainDecimal(r.angularRange), histories = plainDecimal(r.histories);
        formats::writeControlFile(work, {.fidText = fid,
                                         .fadText = fad,
                                         .fcdSetting = r.fcd,
                                         .angularRangeText = range,
                                         .historiesText = histories,
                                         .resultName = stem,
                                         .equipmentName = equipment_.equipmentName});

        std::random_device rd;
        const uint64_t seed = r.seed.value_or((static_cast<uint64_t>(rd()) << 32) ^ rd());
        std::unique_ptr<engine::EngineSession> session = engine::prepareSession(
            work, r.tomosynthesis ? engine::ExposureKind::Tomosynthesis : engine::ExposureKind::Mammography,
            threads(), seed);
        if (r.sagdSigmaPercent > 0) session->setTarget(r.sagdSigmaPercent / 100);
        session->start();
        auto lastPrint = std::chrono::steady_clock::now();
        const double rowBase = rowsDone_;
        while (!session->finished()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (interrupted_()) {
                stopped_ = true;
                session->cancel();
            }
            engine::SessionProgress p = session->progress();
            double share = p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0;
            rowsDone_ = rowBase + share;
            auto now = std::chrono::steady_clock::now();
            if (now - lastPrint < std::chrono::seconds(5) || stopped_) continue;
            lastPrint = now;
            double elapsed = std::chrono::duration<double>(now - start_).count();
            double rest =
                rowsDone_ > 0 ? elapsed / rowsDone_ * (static_cast<double>(count) - rowsDone_) : 0.0;
            out_ << fill(t_.rowProgress, {std::to_string(r.line), format(100 * share, "0.0"),
                                          format(static_cast<double>(p.total), "0.0E+00"),
                                          format(p.sagdRelSigma * 100, "0.00") + " %", duration(rest)})
                 << "\n"
                 << std::flush;
        }
        if (stopped_) return std::string("interrupted");
        if (session->state() != engine::SessionState::Saved ||
            session->fault() != engine::SessionFault::None) {
            // A run that broke off saves what it did: not the row that was asked for.
            for (const std::string& why : {session->runFault(), session->failure()})
                if (!why.empty()) return why;
            return std::string("the result was refused");
        }
        fs::rename(work / resultName, o_.out / resultName);
        results::LoadResult loaded = results::LoadResultFile(o_.out, resultName);
        if (!loaded) return resultName + ": the result cannot be read back";
        const results::DoseModel& m = *loaded.model;
        std::vector<std::pair<std::string, std::string>> note = {
            {"inputs", rowKey(r)},
            {"seed", std::to_string(seed)},
            {"hvl1_mm_al", format(q->firstHvl, "0.0000")},
            {"mean_kev", format(q->meanEnergy, "0.000")},
            {"sagd", format(m.SagdValue, "0.00000")},
            {"sagd_sigma_percent", format(session->savedSagdRelSigma() * 100, "0.000")},
            {"dose100", format(m.ReferenceDose / m.AirKerma, "0.00000")},
            {"dose100_sigma_percent", format(session->savedReferenceRelSigma() * 100, "0.000")},
            {"mean_percentage", format(m.MeanGlandDose, "0.00")},
            {"histories", std::to_string(session->savedHistories())},
        };
        formats::writeSettingsFile(o_.out, stem + ".row", note);
        double seconds = session->progress().elapsed;
        out_ << fill(t_.rowDone, {std::to_string(r.line), resultName, format(m.SagdValue, "0.0000"),
                                  format(session->savedSagdRelSigma() * 100, "0.00"), format(seconds, "0.0")})
             << "\n"
             << std::flush;
        return std::nullopt;
    } catch (const engine::InputError& e) {
        return std::string(e.what());
    } catch (const formats::FileError& e) {
        return formats::describe(e, texts::englishSpectrumFileTexts);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
}

int Sweep::merge(const Grid& g) {
    std::vector<std::string> header = kInputColumns;
    header.insert(header.end(), kOutputColumns.begin(), kOutputColumns.end());
    header.push_back("file");
    RecordWriter table(o_.out, kTableName);
    std::string line;
    for (size_t i = 0; i < header.size(); ++i)
        line += (i ? "," : "") + header[i];
    table.line(line);
    std::vector<PlotPoint> points;
    std::map<std::string, std::string> curveOf; // beam key -> legend
    int missing = 0, rows = 0;
    for (const Row& r : g.rows) {
        std::optional<RowResult> k = keptResult(o_.out, r);
        if (!k) {
            err_ << fill(t_.rowMissing, {std::to_string(r.line)}) << "\n";
            ++missing;
            continue;
        }
        std::vector<std::string> cells = inputCells(r, k->seed);
        for (const std::string& c : kOutputColumns)
            cells.push_back(k->cells[c]);
        cells.push_back(resultStem(r) + std::string(formats::kResultExtension));
        line.clear();
        for (size_t i = 0; i < cells.size(); ++i)
            line += (i ? "," : "") + cells[i];
        table.line(line);
        ++rows;

        // One curve per glandularity and beam: everything but the thickness and the statistics.
        Row beam = r;
        beam.thickness = 1, beam.histories = 1, beam.sagdSigmaPercent = 0, beam.seed.reset();
        const std::string key = rowKey(beam);
        if (!curveOf.count(key)) {
            const formats::SpectrumFields& f = r.spectrum;
            std::string filter = parseNumber(f.rhodium) > 0      ? "Rh"
                                 : parseNumber(f.silver) > 0     ? "Ag"
                                 : parseNumber(f.molybdenum) > 0 ? "Mo"
                                 : parseNumber(f.aluminum) > 0   ? "Al"
                                                                 : "-";
            std::string label = plainDecimal(r.glandular) + " %, " +
                                (r.target == formats::TargetMaterial::Molybdenum ? "Mo/" : "W/") + filter +
                                " " + f.tubeVoltage + " kV" +
                                (r.tomosynthesis ? ", " + std::string(t_.tomosynthesis) : std::string());
            int same = 0;
            for (const auto& [other, legend] : curveOf)
                same += legend.rfind(label, 0) == 0;
            curveOf[key] = same ? label + " #" + std::to_string(same + 1) : label;
        }
        points.push_back({curveOf[key], r.thickness, parseNumber(k->cells["sagd"]),
                          parseNumber(k->cells["sagd_sigma_percent"])});
    }
    try {
        table.commit();
    } catch (const RecordError& e) {
        err_ << fill(t_.cannotStart, {e.what()}) << "\n";
        return 1;
    }
    out_ << fill(t_.tableWritten, {(o_.out / kTableName).string(), std::to_string(rows)}) << "\n";
    if (std::optional<std::string> why = writeSagdPlot(o_.out / kPlotName, points, t_))
        err_ << fill(t_.plotNotWritten, {*why}) << "\n";
    else
        out_ << fill(t_.plotWritten, {(o_.out / kPlotName).string()}) << "\n";
    if (missing + static_cast<int>(g.refused.size()) > 0) {
        err_ << fill(t_.rowsRefused, {std::to_string(missing + static_cast<int>(g.refused.size()))}) << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int runSweep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const Processes& procs, const std::function<bool()>& interrupted) {
    Options o;
    try {
        for (const std::string& a : args)
            if (a == "--help" || a == "-h") {
                out << texts::englishSweepTexts.usage.view() << "\n";
                return 0;
            }
        o = parseOptions(args);
    } catch (const std::invalid_argument& e) {
        err << fill(texts::englishSweepTexts.badOptions, {e.what()}) << "\n"
            << texts::englishSweepTexts.usage.view() << "\n";
        return 2;
    }
    return Sweep(o, out, err, procs, interrupted).run();
}

} // namespace kv::sweep
