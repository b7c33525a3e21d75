#include "sweep.h"

#include "kv/common/codepage.h"
#include "kv/common/command_line.h"
#include "kv/common/content_hash.h"
#include "kv/common/csv.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"
#include "kv/engine/engine_session.h"
#include "kv/factors/row_factors.h"
#include "kv/formats/settings_file.h"
#include "kv/sweep/factors.h"
#include "kv/sweep/grid.h"
#include "kv/sweep/plot.h"
#include "kv/tools/common/shared_options.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>

namespace kv::sweep {

namespace fs = std::filesystem;

std::string fill(std::string_view pattern, std::initializer_list<std::string> args) {
    return fillNumbered(pattern, args);
}

namespace {

// Every name differs from the inputs' (histories and sagd_sigma_percent are asked for, the
// outputs say what was done and reached); hvl1_mm_al is without the paddle, hvl1_mm_al_paddle with it.
const std::vector<std::string> kOutputColumns = {"hvl1_mm_al",
                                                 "hvl1_mm_al_paddle",
                                                 "mean_kev",
                                                 "sagd",
                                                 "sagd_sigma_reached_percent",
                                                 "dose100",
                                                 "dose100_sigma_percent",
                                                 "mean_percentage",
                                                 "mgd",
                                                 "mgd_sigma_percent",
                                                 "k_surface_per_k_fcd",
                                                 "k_fcd_paddle_per_k_fcd",
                                                 "histories_done",
                                                 "engine_version"};
constexpr const char* kTableName = "table.csv";
constexpr const char* kPlotName = "sagd.png";
constexpr const char* kFactorsName = "factors.csv";
constexpr const char* kGPlotName = "g.png";
constexpr const char* kTPlotName = "t.png";
// What grid the folder's sweep runs, so that a sweep of another grid is refused.
constexpr const char* kGridRecordName = "grid.sweep";
// The engine's pace on one thread, for the estimate of the rows without a history
// count or a target: the slowest of three rows measured as README.md says
// (CPU time of 2.1E+07 against 1.0E+06 histories).
constexpr double kHistoriesPerThreadSecond = 2.1e6;

struct Options {
    fs::path grid, out, data = fs::current_path();
    std::optional<unsigned> threads;
    int shard = 1, shards = 1;
    bool sharded = false, merge = false, factors = false, help = false, dataGiven = false;
    texts::Edition edition = texts::Edition::English; // the sweep's words, and its data files' faults
};

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

// Throws CommandLineError; a missing grid or folder is worded by the caller.
Options parseOptions(const std::vector<std::string>& args, texts::Edition lang) {
    using tools::SharedOption;
    const CommandLine line(
        args, tools::withSharedOptions(
                  {{"--out", true}, {"--data", true}, {"--merge", false}, {"--factors", false}},
                  {SharedOption::Edition, SharedOption::Threads, SharedOption::Shard, SharedOption::Help}));
    Options o;
    o.help = line.has("--help");
    line.refuseOperandsBeyond(1);
    line.refuseTogether("--merge", "--shard");
    tools::refuseUnknownEdition(line);
    if (!line.operands().empty()) o.grid = line.operands()[0];
    if (const auto v = line.value("--out")) o.out = *v;
    if (const auto v = line.value("--data")) o.data = *v, o.dataGiven = true;
    o.merge = line.has("--merge");
    o.factors = line.has("--factors");
    if (const auto threads = tools::threadsGiven(line, lang)) o.threads = *threads;
    if (const auto shard = tools::shardGiven(line, lang))
        o.shard = shard->index, o.shards = shard->count, o.sharded = true;
    return o;
}

std::vector<std::string> outputCells(const factors::RowFactors& f) {
    return {format(f.hvl1, "0.0000"),
            format(f.hvl1Paddle, "0.0000"),
            format(f.meanKev, "0.000"),
            format(f.sagd, "0.00000"),
            format(f.sagdSigmaPercent, "0.000"),
            format(f.dose100, "0.00000"),
            format(f.dose100SigmaPercent, "0.000"),
            format(f.meanPercentage, "0.00"),
            format(f.mgd, "0.00000"),
            format(f.mgdSigmaPercent, "0.000"),
            format(f.kSurfacePerKFcd, "0.00000"),
            format(f.kFcdPaddlePerKFcd, "0.00000"),
            std::to_string(f.histories),
            f.engineVersion};
}

std::string damageText(const factors::ResultDamage& d, const texts::SweepTexts& t) {
    using formats::TrailerDamage;
    std::string why;
    switch (d.trailer) {
    case TrailerDamage::CutShort:
        why = t.damageCutShort.str();
        break;
    case TrailerDamage::NotNameValue:
        why = t.damageNotNameValue.str();
        break;
    case TrailerDamage::NameTwice:
        why = t.damageNameTwice.str();
        break;
    case TrailerDamage::TextBefore:
        why = t.damageTextBefore.str();
        break;
    case TrailerDamage::TextAfter:
        why = t.damageTextAfter.str();
        break;
    case TrailerDamage::HashNotLast:
        why = t.damageHashNotLast.str();
        break;
    case TrailerDamage::HashMismatch:
        why = t.damageHashMismatch.str();
        break;
    case TrailerDamage::DisagreesWithHead:
        why = fill(t.damageDisagrees, {d.key});
        break;
    case TrailerDamage::None:
        why = t.damageValues.str();
        break;
    }
    if (d.line > 0) why = fill(t.atLine, {why, std::to_string(d.line)});
    return fill(t.staleDamaged, {why});
}

std::string stalenessText(const factors::RowOutcome& o, const texts::SweepTexts& t) {
    switch (o.redone) {
    case factors::Staleness::Inputs:
        return t.staleInputs.str();
    case factors::Staleness::Physics:
        return t.stalePhysics.str();
    case factors::Staleness::Result:
        return t.staleResult.str();
    case factors::Staleness::Damaged:
        return damageText(o.damage, t);
    default:
        return {};
    }
}

// The grid as the rows it runs: the same for every shard and process of one sweep.
std::string gridHash(const Grid& g) {
    ContentHash h;
    for (const factors::Row& r : g.rows)
        h.addField(factors::rowKey(r));
    return h.hex();
}

// Creates `name` in `dir` holding `text` only where no file of that name
// stands, whole or not at all, also on a folder other machines share. False
// when one stands, nullopt when the folder takes no file.
std::optional<bool> createOnce(const fs::path& dir, const std::string& name, const std::string& text) {
    try {
        RecordWriter w(dir, name);
        w.text(text);
        return w.create();
    } catch (const WriteFailed&) {
        return std::nullopt;
    }
}

// The `name` setting of a small record in `dir`, empty when there is none.
std::string recorded(const fs::path& dir, const std::string& file, std::string_view name) {
    try {
        const std::optional<formats::SettingsFile> f = formats::SettingsFile::read(dir, file);
        const formats::Setting* v = f ? f->find(name) : nullptr;
        return v ? v->value : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

// A row is run by one process at a time: the one that creates its claim
// first, on this machine or another that shares the folder. A claim whose
// process ended on this machine is taken over.
class RowClaim {
  public:
    RowClaim(fs::path dir, std::string name) : dir_(std::move(dir)), name_(std::move(name)) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const std::optional<bool> made = createOnce(dir_, name_, "writer = " + writerTag() + "\r\n");
            // A folder that takes no claim takes no result either: the row says so itself.
            if (!made) mine_ = false;
            held_ = made.value_or(true);
            if (held_) return;
            holder_ = recorded(dir_, name_, "writer");
            if (holder_.empty() || !writerEnded(holder_)) return;
            std::error_code ec;
            fs::remove(dir_ / name_, ec);
        }
    }
    ~RowClaim() {
        std::error_code ec;
        if (held_ && mine_ && recorded(dir_, name_, "writer") == writerTag()) fs::remove(dir_ / name_, ec);
    }
    RowClaim(const RowClaim&) = delete;
    RowClaim& operator=(const RowClaim&) = delete;
    bool held() const { return held_; }
    const std::string& holder() const { return holder_; }

  private:
    fs::path dir_;
    std::string name_, holder_;
    bool held_ = false, mine_ = true;
};

class Sweep {
  public:
    Sweep(const Options& o, std::ostream& out, std::ostream& err, const Processes& procs,
          const std::function<bool()>& interrupted)
        : o_(o), t_(texts::sweepTextsOf(o.edition)), out_(out), err_(err), procs_(procs),
          interrupted_(interrupted) {}

    int run();

  private:
    // nullopt when done, else why the row has no result.
    std::optional<std::string> runRow(const factors::Row& r, size_t position, size_t count);
    // Under mpirun process 0 alone tells the sweep's progress; the others' rows are alike.
    bool tellsProgress() const { return procs_.rank == 0; }
    std::string restEstimate(size_t count) const;
    void announceDefaultHistories(const std::vector<const factors::Row*>& mine);
    int merge(const Grid& g);
    bool ownsFolder(const Grid& g);
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
    size_t rowsDone_ = 0; // whole rows this process has finished, whatever their outcome
    size_t rowsInShard_ = 0;
    bool stopped_ = false;
};

int Sweep::run() {
    try {
        equipment_ = formats::readEquipmentStrictly(o_.data);
    } catch (const formats::FileError& e) {
        err_ << fill(t_.cannotStart, {formats::describe(e, texts::spectrumFileTextsOf(o_.edition))}) << "\n";
        return 1;
    }
    Grid grid;
    try {
        grid = readGrid(o_.grid, equipment_, t_);
    } catch (const GridError& e) {
        err_ << fill(t_.cannotStart, {fill(t_.gridFault, {o_.grid.string(), e.what()})}) << "\n";
        return 1;
    }
    std::error_code ec;
    // A merge reads what an earlier sweep wrote: it makes no folder.
    if (!o_.merge) fs::create_directories(o_.out, ec);
    if (!fs::is_directory(o_.out, ec)) {
        err_ << fill(t_.cannotStart, {fill(o_.merge ? t_.mergeNoFolder : t_.outNotFolder, {o_.out.string()})})
             << "\n";
        return 1;
    }
    if (!ownsFolder(grid)) return 1;
    // What killed sweeps left here, never what a process still at work writes.
    removeAbandonedTemporaries(o_.out);
    factors::removeAbandonedRowFolders(o_.out);
    try {
        data_ = spectrum::LoadPhysicalData(o_.data);
    } catch (const formats::FileError& e) {
        err_ << fill(t_.cannotStart, {formats::describe(e, texts::spectrumFileTextsOf(o_.edition))}) << "\n";
        return 1;
    }
    if (o_.merge) return procs_.rank == 0 ? merge(grid) : 0;

    // This process's rows: every N-th of the shard, then every size-th of those.
    std::vector<const factors::Row*> mine;
    size_t inShard = 0;
    for (const factors::Row& r : grid.rows)
        if (r.index % o_.shards == o_.shard - 1 &&
            inShard++ % procs_.size == static_cast<size_t>(procs_.rank))
            mine.push_back(&r);
    rowsInShard_ = inShard;
    int failed = 0;
    if (procs_.rank == 0)
        for (const RowProblem& p : grid.refused)
            err_ << fill(t_.badRow, {std::to_string(p.line), p.problem}) << "\n";
    if (tellsProgress()) announceDefaultHistories(mine);
    for (size_t k = 0; k < mine.size() && !stopped_; ++k) {
        // Rows that are already stored take no engine run, and a long grid of them
        // must still stop when asked.
        if (interrupted_()) {
            stopped_ = true;
            break;
        }
        const std::string claimName = factors::resultStem(*mine[k]) + ".claim";
        if (const std::optional<std::string> kind = factors::unusableEntry(o_.out, claimName, o_.edition)) {
            err_ << fill(t_.claimRefused,
                         {std::to_string(mine[k]->line), (o_.out / claimName).string(), *kind})
                 << "\n";
            failed = 1;
            rowsDone_ = k + 1;
            continue;
        }
        const RowClaim claim(o_.out, claimName);
        if (!claim.held()) {
            out_ << fill(t_.rowClaimed,
                         {std::to_string(mine[k]->line), claim.holder(), (o_.out / claimName).string()})
                 << "\n";
            rowsDone_ = k + 1;
            continue;
        }
        std::optional<std::string> problem = runRow(*mine[k], k, mine.size());
        if (problem && !stopped_) {
            err_ << fill(t_.badRow, {std::to_string(mine[k]->line), *problem}) << "\n";
            failed = 1;
        }
        rowsDone_ = k + 1;
    }
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

bool Sweep::ownsFolder(const Grid& g) {
    const std::string hash = gridHash(g);
    if (!o_.merge) {
        // The grid's name is there for the message to another grid only: one the
        // record's code page cannot hold is left out rather than the record.
        std::string record = "grid = " + o_.grid.filename().string() + "\r\n";
        try {
            (void)toCp932(record);
        } catch (const CodePageError&) {
            record.clear();
        }
        record += "rows = " + std::to_string(g.rows.size()) + "\r\ngrid_sha256 = " + hash + "\r\n";
        const std::optional<bool> made = createOnce(o_.out, kGridRecordName, record);
        // A folder that takes no file refuses the rows' own files too, each with its reason.
        if (made.value_or(true)) return true;
    }
    const std::string held = recorded(o_.out, kGridRecordName, "grid_sha256");
    // A folder of a sweep from before the record is taken as this grid's.
    if (held == hash || (held.empty() && !fs::exists(o_.out / kGridRecordName))) return true;
    std::string name = recorded(o_.out, kGridRecordName, "grid");
    err_ << fill(t_.cannotStart, {fill(t_.otherGrid, {o_.out.string(), name.empty() ? "?" : name,
                                                      (o_.out / kGridRecordName).string()})})
         << "\n";
    return false;
}

// The set-up screen's history count runs for minutes: said once, with what
// all such rows of this process take at the engine's measured pace (README).
void Sweep::announceDefaultHistories(const std::vector<const factors::Row*>& mine) {
    size_t n = 0;
    for (const factors::Row* r : mine)
        n += r->histories == factors::kDefaultHistories && !(r->sagdSigmaPercent > 0);
    if (n == 0) return;
    const double perRow = factors::kDefaultHistories / (kHistoriesPerThreadSecond * threads());
    out_ << fill(t_.defaultHistories,
                 {std::to_string(n), format(factors::kDefaultHistories, "0.0E+00"), duration(perRow),
                  std::to_string(threads()), duration(perRow * static_cast<double>(n))})
         << "\n"
         << std::flush;
}

// The time the rest of the sweep takes at the pace of the rows this process has finished. A row's
// own share says little: a row with an uncertainty target stops long before its history count.
std::string Sweep::restEstimate(size_t count) const {
    if (rowsDone_ == 0) return std::string(t_.restAfterFirstRow);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rest = elapsed / static_cast<double>(rowsDone_) * static_cast<double>(count - rowsDone_);
    return fill(t_.restEstimate, {duration(rest), std::to_string(rowsDone_)});
}

std::optional<std::string> Sweep::runRow(const factors::Row& r, size_t position, size_t count) {
    std::string shortText =
        fill("%1, %2 %, %3 %4 kV, %5", {format(r.thickness, "0.0") + " cm", plainDecimal(r.glandular),
                                        std::string(formats::symbol(r.target)), r.spectrum.tubeVoltage,
                                        std::string(r.tomosynthesis ? t_.tomosynthesis : t_.mammography)});
    if (tellsProgress() && procs_.size > 1) {
        // Every process starts one row of this round; process 0 speaks for them.
        const size_t first = position * static_cast<size_t>(procs_.size) + 1;
        const size_t last = std::min(rowsInShard_, first + static_cast<size_t>(procs_.size) - 1);
        out_ << fill(t_.rowsStart, {std::to_string(first), std::to_string(last), std::to_string(rowsInShard_),
                                    std::to_string(procs_.size), std::to_string(r.line), shortText})
             << "\n"
             << std::flush;
    } else if (tellsProgress()) {
        out_ << fill(t_.rowStart,
                     {std::to_string(position + 1), std::to_string(count), std::to_string(r.line), shortText})
             << "\n"
             << std::flush;
    }
    auto lastPrint = std::chrono::steady_clock::now();
    factors::RowRunOptions options;
    options.threads = threads();
    options.edition = o_.edition;
    options.interrupted = interrupted_;
    options.progress = [&](const engine::SessionProgress& p) {
        if (!tellsProgress()) return;
        const double share = p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0;
        auto now = std::chrono::steady_clock::now();
        if (now - lastPrint < std::chrono::seconds(5)) return;
        lastPrint = now;
        out_ << fill(t_.rowProgress, {std::to_string(r.line), format(100 * share, "0.0"),
                                      format(static_cast<double>(p.total), "0.0E+00"),
                                      format(p.sagdRelSigma * 100, "0.00") + " %", restEstimate(count)})
             << "\n"
             << std::flush;
    };
    try {
        const auto started = std::chrono::steady_clock::now();
        factors::RowOutcome o = factors::runGridRow(r, o_.data, *data_, o_.out, options);
        if (o.kept) {
            out_ << fill(t_.rowKept, {std::to_string(r.line), o.resultFile}) << "\n" << std::flush;
            return std::nullopt;
        }
        if (o.redone != factors::Staleness::None)
            out_ << fill(t_.rowRedone, {std::to_string(r.line), stalenessText(o, t_)}) << "\n";
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        out_ << fill(t_.rowDone, {std::to_string(r.line), o.resultFile, format(o.factors.sagd, "0.0000"),
                                  format(o.factors.sagdSigmaPercent, "0.00"), format(seconds, "0.0")})
             << "\n"
             << std::flush;
        return std::nullopt;
    } catch (const factors::RowInterrupted&) {
        stopped_ = true;
        return std::string("interrupted");
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
}

int Sweep::merge(const Grid& g) {
    std::vector<std::string> header = factors::kInputColumns;
    header.insert(header.end(), kOutputColumns.begin(), kOutputColumns.end());
    header.push_back("file");
    RecordWriter table(o_.out, kTableName);
    table.line(csvLine(header));
    std::vector<PlotPoint> points;
    std::vector<FactorRow> factorRows;
    std::map<std::string, std::string> curveOf; // beam key -> legend
    int missing = 0, rows = 0;
    for (const factors::Row& r : g.rows) {
        if (interrupted_()) {
            err_ << t_.interrupted.view() << "\n";
            return 130; // the table is not written: the one there stays
        }
        factors::StoredRow k;
        try {
            k = factors::storedGridRow(r, o_.data, *data_, o_.out, false, o_.edition);
        } catch (const factors::RowFailure& e) {
            err_ << fill(t_.rowMissingBecause, {std::to_string(r.line), e.what()}) << "\n";
            ++missing;
            continue;
        }
        if (!k.factors) {
            err_ << fill(t_.rowMissing, {std::to_string(r.line)}) << "\n";
            ++missing;
            continue;
        }
        const factors::RowFactors& f = *k.factors;
        std::vector<std::string> cells = factors::inputCells(r, f.seed);
        for (const std::string& c : outputCells(f))
            cells.push_back(c);
        cells.push_back(factors::resultStem(r) + std::string(formats::kResultExtension));
        table.line(csvLine(cells)); // a spectrum file's name may hold a comma
        ++rows;
        if (r.protocol) factorRows.push_back({r, f});

        // One curve per glandularity and beam: everything but the thickness and the statistics.
        factors::Row beam = r;
        beam.thickness = 1, beam.histories = 1, beam.sagdSigmaPercent = 0, beam.seed.reset();
        const std::string key = factors::rowKey(beam);
        if (!curveOf.count(key)) {
            std::string label = plainDecimal(r.glandular) + " %, " + std::string(formats::symbol(r.target)) +
                                "/" + factors::filterName(r) + " " + r.spectrum.tubeVoltage + " kV" +
                                (r.measured ? ", " + r.spectrumFile : std::string()) +
                                (r.tomosynthesis ? ", " + std::string(t_.tomosynthesis) : std::string()) +
                                (r.protocol ? ", protocol" : "");
            int same = 0;
            for (const auto& [other, legend] : curveOf)
                same += legend.rfind(label, 0) == 0;
            curveOf[key] = same ? label + " #" + std::to_string(same + 1) : label;
        }
        points.push_back({curveOf[key], r.thickness, f.sagd, f.sagdSigmaPercent});
    }
    try {
        table.commit();
    } catch (const RecordError& e) {
        err_ << fill(t_.cannotStart, {e.what()}) << "\n";
        return 1;
    }
    out_ << fill(t_.tableWritten, {(o_.out / kTableName).string(), std::to_string(rows)}) << "\n";
    const PlotLabels sagdLabels{t_.plotTitle.str(), t_.plotThickness.str(), t_.plotSagd.str(), true};
    int status = 0;
    const auto plot = [&](const fs::path& file, const std::vector<PlotPoint>& pts, const PlotLabels& labels) {
        if (std::optional<std::string> why = writePlot(file, pts, labels)) {
            err_ << fill(t_.plotNotWritten, {*why}) << "\n";
            if (plotsBuiltIn()) status = 1;
        } else
            out_ << fill(t_.plotWritten, {file.string()}) << "\n";
    };
    plot(o_.out / kPlotName, points, sagdLabels);
    if (o_.factors) {
        const std::vector<FactorLine> lines = conversionFactors(factorRows);
        try {
            writeFactorsFile(o_.out, kFactorsName, lines);
            out_ << fill(t_.tableWritten, {(o_.out / kFactorsName).string(), std::to_string(lines.size())})
                 << "\n";
        } catch (const RecordError& e) {
            err_ << fill(t_.cannotStart, {e.what()}) << "\n";
            return 1;
        }
        const PlotLabels gLabels{t_.gPlotTitle.str(), t_.gPlotHvl.str(), t_.gPlotG.str(), false};
        plot(o_.out / kGPlotName, gPlotPoints(lines), gLabels);
        const std::vector<PlotPoint> tPoints = tPlotPoints(lines);
        if (!tPoints.empty()) {
            const PlotLabels tLabels{t_.tPlotTitle.str(), t_.tPlotAngle.str(), t_.tPlotT.str(), false};
            plot(o_.out / kTPlotName, tPoints, tLabels);
        }
    }
    if (missing + static_cast<int>(g.refused.size()) > 0) {
        err_ << fill(t_.rowsRefused, {std::to_string(missing + static_cast<int>(g.refused.size()))}) << "\n";
        return 1;
    }
    return status;
}

} // namespace

int runSweep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const Processes& procs, const std::function<bool()>& interrupted) {
    const texts::Edition lang =
        CommandLine::peek(args, "--edition") == "ja" ? texts::Edition::Japanese : texts::Edition::English;
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(lang);
    Options o;
    try {
        o = parseOptions(args, lang);
    } catch (const CommandLineError& e) {
        err << commandLineMessage(e, cl) << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    o.edition = lang;
    if (o.help) {
        out << texts::sweepTextsOf(lang).usage.view() << "\n";
        return 0;
    }
    if (o.grid.empty() || o.out.empty()) {
        err << (o.grid.empty() ? texts::sweepTextsOf(lang).noGrid : texts::sweepTextsOf(lang).noOut).view()
            << "\n"
            << cl.seeHelp.view() << "\n";
        return 2;
    }
    // A new working folder reads the data shipped with the programs, as kv-audit does.
    if (!o.dataGiven) {
        o.data = toolDataDir(fs::current_path());
        if (o.data != fs::current_path() && procs.rank == 0)
            out << fillIn(cl.shippedData.str(),
                          {{"{dir}", fs::current_path().string()}, {"{shipped}", o.data.string()}})
                << "\n";
    }
    return Sweep(o, out, err, procs, interrupted).run();
}

} // namespace kv::sweep
