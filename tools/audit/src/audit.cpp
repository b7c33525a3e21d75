#include "kv/audit/audit.h"

#include "kv/common/command_line.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"
#include "kv/common/version.h"
#include "report.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <thread>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;
using texts::AuditTexts;

std::string csvCell(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) line += ',';
        line += csvCell(cells[i]);
    }
    return line;
}

std::string opt(const std::optional<double>& v, const char* pattern) {
    return v ? format(*v, pattern) : std::string();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Options {
    std::vector<fs::path> paths;
    fs::path out, data = ".", cache;
    std::optional<fs::path> output, hvl;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    double histories = kDefaultHistories;
    bool paths_ = false;
    int shard = 0, shards = 1; // this process computes nodes shard, shard + shards, ... (0-based)
};

struct Row {
    int index = 0;
    Exposure x;
    std::string path;
    double k = 0, hvl = 0;
    std::string kSource, hvlSource, note;
    MatchedBeam beam;
    TypicalGlandularity gland;
    FactorNode lo, hi;
    Interpolated factor;
    std::string factorId;
};

struct Skipped {
    int index = 0;
    Skip skip;
    std::string path;
};

std::string skipDetail(const Skip& s, const AuditTexts& t) {
    const texts::Text* w = nullptr;
    switch (s.code) {
    case SkipCode::NotRegularFile:
        w = &t.skipNotAFile;
        break;
    case SkipCode::NotDicom:
        w = &t.skipNotDicom;
        break;
    case SkipCode::Unreadable:
        w = &t.skipUnreadable;
        break;
    case SkipCode::NotMammography:
        w = &t.skipNotMammography;
        break;
    case SkipCode::Synthesized2d:
        w = &t.skipSynthesized;
        break;
    case SkipCode::Tomosynthesis:
        w = &t.skipTomosynthesis;
        break;
    case SkipCode::UnsupportedAnode:
        w = &t.skipAnode;
        break;
    case SkipCode::UnsupportedFilter:
        w = &t.skipFilter;
        break;
    case SkipCode::MissingValue:
        w = &t.skipMissing;
        break;
    case SkipCode::BadValue:
        w = &t.skipBad;
        break;
    case SkipCode::Duplicate:
        w = &t.skipDuplicate;
        break;
    case SkipCode::NoAirKerma:
        w = &t.skipNoAirKerma;
        break;
    case SkipCode::NoFactor:
        w = &t.skipNoFactor;
        break;
    }
    return fillIn(w->str(), {{"{tag}", s.tag}, {"{value}", s.detail}});
}

std::string measuredMessage(const MeasuredError& e, const AuditTexts& t) {
    const texts::Text* why = &t.measuredUnreadable;
    switch (e.fault) {
    case MeasuredFault::Unreadable:
        why = &t.measuredUnreadable;
        break;
    case MeasuredFault::UnknownColumn:
        why = &t.measuredUnknownColumn;
        break;
    case MeasuredFault::RepeatedColumn:
        why = &t.measuredRepeatedColumn;
        break;
    case MeasuredFault::MissingColumn:
        why = &t.measuredMissingColumn;
        break;
    case MeasuredFault::BadNumber:
        why = &t.measuredBadNumber;
        break;
    case MeasuredFault::BadTarget:
        why = &t.measuredBadTarget;
        break;
    case MeasuredFault::BadFilter:
        why = &t.measuredBadFilter;
        break;
    case MeasuredFault::NoHeader:
        why = &t.measuredNoHeader;
        break;
    }
    return fillIn(t.measuredFault.str(), {{"{file}", e.file},
                                          {"{line}", std::to_string(e.line)},
                                          {"{column}", e.column},
                                          {"{value}", e.value},
                                          {"{why}", why->view()}});
}

// Every file under the paths, each once, in the order of its path: that order
// gives the index. The audit's own folders are left out, so that an audit
// written inside the folder it reads does not read itself the next time.
std::vector<fs::path> collectFiles(const std::vector<fs::path>& paths, const std::vector<fs::path>& own,
                                   std::ostream& err, const AuditTexts& t) {
    std::vector<fs::path> ownDirs;
    for (const fs::path& p : own) {
        std::error_code ec;
        const fs::path c = fs::weakly_canonical(p, ec);
        if (!ec) ownDirs.push_back(c);
    }
    auto isOwn = [&](const fs::path& dir) {
        std::error_code ec;
        const fs::path c = fs::weakly_canonical(dir, ec);
        return !ec && std::find(ownDirs.begin(), ownDirs.end(), c) != ownDirs.end();
    };
    std::set<fs::path> files;
    for (const fs::path& p : paths) {
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (ec || !fs::exists(st)) {
            err << fillIn(t.notAPath.str(), {{"{path}", p.string()}}) << "\n";
            continue;
        }
        if (!fs::is_directory(st)) {
            files.insert(p.lexically_normal());
            continue;
        }
        // Links to folders are not followed: a loop of them would never end.
        fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code e2;
            if (!it->is_directory(e2))
                files.insert(it->path().lexically_normal());
            else if (isOwn(it->path()))
                it.disable_recursion_pending();
        }
    }
    return {files.begin(), files.end()};
}

} // namespace

std::string Beam::key() const {
    return std::string(symbol(target)) + "/" + symbol(filter) + " " + format(filterMm, "0.0000") + " mm " +
           plainDecimal(kvp) + " kV Al " + aluminum;
}

std::string Beam::label() const {
    std::string s = std::string(symbol(target)) + "/" + symbol(filter) + " " + format(filterMm, "0.000") +
                    " mm, " + plainDecimal(kvp) + " kV";
    if (parseNumber(aluminum) > 0) s += ", + Al " + aluminum + " mm";
    return s;
}

std::string FactorNode::key() const {
    return beam.key() + " | " + plainDecimal(thicknessMm) + " mm | " + format(glandularPercent, "0.0") + " %";
}

std::string FactorNode::label() const {
    return beam.label() + ", " + plainDecimal(thicknessMm) + " mm, " + format(glandularPercent, "0.0") + " %";
}

Interpolated interpolateFactor(double t, double t0, const Factor& f0, double t1, const Factor& f1) {
    if (t1 <= t0) return {f0.mgd, f0.sigmaPercent};
    const double w = (t - t0) / (t1 - t0);
    return {std::exp((1 - w) * std::log(f0.mgd) + w * std::log(f1.mgd)),
            (1 - w) * f0.sigmaPercent + w * f1.sigmaPercent};
}

int runAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PhysicsMaker& physics, const std::function<bool()>& interrupted) {
    const std::optional<std::string> edition = CommandLine::peek(args, "--edition");
    const texts::Edition lang = edition == "ja" ? texts::Edition::Japanese : texts::Edition::English;
    const AuditTexts& t = texts::auditTextsOf(lang);
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(lang);

    Options o;
    std::optional<CommandLine> line;
    try {
        line.emplace(args, std::vector<OptionSpec>{{"--out", true},
                                                   {"--output", true},
                                                   {"--hvl", true},
                                                   {"--data", true},
                                                   {"--cache", true},
                                                   {"--threads", true},
                                                   {"--histories", true},
                                                   {"--paths", false},
                                                   {"--shard", true},
                                                   {"--edition", true},
                                                   {"--help", false, "-h"}});
        if (edition && *edition != "en" && *edition != "ja")
            throw CommandLineError(CommandLineFault::BadChoice, "--edition", *edition, "en, ja");
    } catch (const CommandLineError& bad) {
        err << commandLineMessage(bad, cl) << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    if (line->has("--help")) {
        out << t.usage.view() << "\n";
        return 0;
    }
    if (!line->value("--out")) {
        err << t.needsOut.view() << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    if (line->operands().empty()) {
        err << t.needsPath.view() << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    for (const std::string& p : line->operands())
        o.paths.push_back(p);
    o.out = *line->value("--out");
    // Without --data, a folder with no equipment.dat of its own takes the one shipped with the programs.
    std::error_code noData;
    if (auto v = line->value("--data"))
        o.data = *v;
    else if (!fs::exists(o.data / "equipment.dat", noData))
        o.data = shippedDataDir();
    o.cache = line->value("--cache") ? fs::path(*line->value("--cache")) : o.out / "factors";
    if (auto v = line->value("--output")) o.output = *v;
    if (auto v = line->value("--hvl")) o.hvl = *v;
    o.paths_ = line->has("--paths");
    for (const auto& [name, range] : {std::pair<const char*, NumberRange>{"--threads", {1, 1024}},
                                      std::pair<const char*, NumberRange>{"--histories", {1, 1e12}}}) {
        if (auto v = line->value(name)) {
            const TypedNumber n = readTypedNumber(*v, range);
            if (!n.ok() || n.value != std::floor(n.value)) {
                err << fillIn(t.badNumber.str(), {{"{option}", name}, {"{text}", shownText(*v)}}) << "\n";
                return 2;
            }
            if (std::string(name) == "--threads")
                o.threads = static_cast<unsigned>(n.value);
            else
                o.histories = n.value;
        }
    }

    if (auto v = line->value("--shard")) {
        const size_t slash = v->find('/');
        const TypedNumber i = readTypedNumber(v->substr(0, slash), {1, 1e6});
        const TypedNumber n =
            readTypedNumber(slash == std::string::npos ? "" : v->substr(slash + 1), {1, 1e6});
        if (!i.ok() || !n.ok() || i.value > n.value || i.value != std::floor(i.value) ||
            n.value != std::floor(n.value)) {
            err << fillIn(t.badShard.str(), {{"{text}", shownText(*v)}}) << "\n";
            return 2;
        }
        o.shard = static_cast<int>(i.value) - 1, o.shards = static_cast<int>(n.value);
    }

    // The measured tables first: a fault there is the user's to mend before anything runs.
    MeasuredTable output, hvls;
    try {
        if (o.output) output = MeasuredTable::read(*o.output, MeasuredKind::Output);
        if (o.hvl) hvls = MeasuredTable::read(*o.hvl, MeasuredKind::Hvl);
    } catch (const MeasuredError& e) {
        err << measuredMessage(e, t) << "\n";
        return 2;
    }
    std::error_code ec;
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out, ec)) {
        err << fillIn(t.cannotStart.str(), {{"{why}", o.out.string() + ": " + std::strerror(ENOTDIR)}})
            << "\n";
        return 1;
    }
    removeAbandonedTemporaries(o.out);

    // Read every header; the first copy of an acquisition counts, later ones are duplicates.
    const std::vector<fs::path> files = collectFiles(o.paths, {o.out, o.cache}, err, t);
    std::vector<Row> rows;
    std::vector<Skipped> skipped;
    std::map<std::string, int> firstOf; // acquisition key -> index
    for (size_t i = 0; i < files.size(); ++i) {
        if (interrupted()) {
            err << t.interrupted.view() << "\n";
            return 130;
        }
        const int index = static_cast<int>(i) + 1;
        Reading r = readExposure(files[i]);
        if (Skip* s = std::get_if<Skip>(&r)) {
            skipped.push_back({index, *s, files[i].string()});
            continue;
        }
        Exposure& x = std::get<Exposure>(r);
        auto [it, fresh] = firstOf.emplace(x.acquisitionKey, index);
        if (!fresh) {
            skipped.push_back(
                {index, {SkipCode::Duplicate, {}, std::to_string(it->second)}, files[i].string()});
            continue;
        }
        x.acquisitionKey.clear(); // it holds UIDs: nothing further needs it
        Row row;
        row.index = index;
        row.x = std::move(x);
        row.path = files[i].string();
        rows.push_back(std::move(row));
    }

    PhysicsSettings ps;
    ps.dataDir = o.data, ps.cacheDir = o.cache, ps.threads = o.threads, ps.histories = o.histories;
    ps.interrupted = interrupted, ps.texts = &t;
    std::unique_ptr<Physics> phys;
    try {
        fs::create_directories(o.cache, ec);
        phys = physics(ps);
    } catch (const std::exception& e) {
        err << fillIn(t.cannotStart.str(), {{"{why}", e.what()}}) << "\n";
        return 1;
    }

    // Air kerma, HVL, beam and glandularity of each exposure; the nodes it needs.
    std::map<std::string, std::optional<MatchedBeam>> beams; // beam key + HVL asked -> match
    std::map<std::string, FactorNode> nodes;
    std::vector<Row> planned;
    for (Row& r : rows) {
        const Exposure& x = r.x;
        auto refuse = [&](SkipCode c, std::string detail) {
            skipped.push_back({r.index, {c, {}, std::move(detail)}, r.path});
        };
        // Air kerma at the upper breast surface.
        std::optional<double> k;
        if (auto m = output.lookup(x.target, x.filter, x.kvp, x.serial); m && x.mas && x.sourceToDetectorMm) {
            const double surface = *x.sourceToDetectorMm - m->supportGapMm - x.thicknessMm;
            if (surface > 0) {
                k = m->value * *x.mas * (m->distanceMm / surface) * (m->distanceMm / surface);
                r.kSource = "output";
            }
        }
        if (!k && x.entranceDoseMgy) k = *x.entranceDoseMgy, r.kSource = "header";
        if (!k) {
            refuse(SkipCode::NoAirKerma, {});
            continue;
        }
        r.k = *k;

        const std::optional<TypicalGlandularity> g = typicalGlandularity(x.thicknessMm, x.ageYears);
        if (!g) {
            refuse(SkipCode::NoFactor,
                   fillIn(t.thicknessOutside.str(), {{"{value}", plainDecimal(x.thicknessMm)}}));
            continue;
        }
        r.gland = *g;

        Beam b;
        b.target = x.target, b.filter = x.filter, b.filterMm = x.filterMm, b.kvp = x.kvp;
        std::optional<double> hvl;
        if (auto m = hvls.lookup(x.target, x.filter, x.kvp, x.serial))
            hvl = m->value, r.hvlSource = "measured";
        else if (x.hvlMmAl)
            hvl = *x.hvlMmAl, r.hvlSource = "header";
        else
            r.hvlSource = "model";
        auto matched = [&](std::optional<double> h) -> std::optional<MatchedBeam> {
            const std::string key = b.key() + (h ? " HVL " + format(*h, "0.0000") : "");
            auto it = beams.find(key);
            if (it == beams.end()) it = beams.emplace(key, phys->match(b, h)).first;
            return it->second;
        };
        std::optional<MatchedBeam> mb;
        try {
            mb = matched(hvl);
            // A header's HVL that the spectrum cannot reach is a header's fault: the model's stands in, said
            // so.
            if (!mb && r.hvlSource == "header") {
                r.note = fillIn(t.noteHeaderHvlUnreachable.str(), {{"{value}", plainDecimal(*hvl)}});
                r.hvlSource = "model";
                mb = matched(std::nullopt);
            }
        } catch (const FactorFailure& e) {
            refuse(SkipCode::NoFactor, e.what());
            continue;
        }
        if (!mb) {
            refuse(SkipCode::NoFactor,
                   fillIn(t.hvlUnreachable.str(), {{"{value}", hvl ? plainDecimal(*hvl) : ""}}));
            continue;
        }
        r.beam = *mb;
        r.hvl = r.hvlSource == "model" ? mb->hvlPaddle : *hvl;

        // The nodes around the thickness, each at the glandularity of this age group there.
        const double lo = std::min(std::floor(x.thicknessMm / kNodeStepMm) * kNodeStepMm,
                                   kTableMaxThicknessMm - kNodeStepMm);
        const double hi = x.thicknessMm <= lo ? lo : lo + kNodeStepMm;
        auto node = [&](double mm) {
            FactorNode n;
            n.beam = mb->beam;
            n.thicknessMm = mm;
            n.glandularPercent = typicalGlandularity(mm, x.ageYears)->percent;
            nodes.emplace(n.key(), n);
            return n;
        };
        r.lo = node(lo);
        r.hi = node(hi);
        planned.push_back(std::move(r));
    }

    // Each node once, stored ones first so that what is left to run is known.
    int stored = 0;
    for (const auto& [key, n] : nodes)
        stored += phys->stored(n);
    out << fillIn(t.filesRead.str(), {{"{files}", std::to_string(files.size())},
                                      {"{exposures}", std::to_string(rows.size())},
                                      {"{skipped}", std::to_string(skipped.size())}})
        << "\n"
        << fillIn(t.factorsNeeded.str(), {{"{count}", std::to_string(nodes.size())},
                                          {"{stored}", std::to_string(stored)},
                                          {"{cache}", o.cache.string()}})
        << "\n"
        << std::flush;
    std::map<std::string, Factor> factors;
    std::map<std::string, std::string> failed;
    int n = 0;
    for (const auto& [key, node] : nodes) {
        if (n++ % o.shards != o.shard) continue;
        out << fillIn(t.factorStart.str(), {{"{n}", std::to_string(n)},
                                            {"{count}", std::to_string(nodes.size())},
                                            {"{label}", node.label()}})
            << "\n"
            << std::flush;
        const auto start = std::chrono::steady_clock::now();
        try {
            const Factor f = phys->factor(node);
            factors[key] = f;
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            out << fillIn(t.factorDone.str(), {{"{id}", f.id},
                                               {"{mgd}", format(f.mgd, "0.00000")},
                                               {"{sigma}", format(f.sigmaPercent, "0.00")},
                                               {"{seconds}", format(s, "0.0")}})
                << "\n"
                << std::flush;
        } catch (const AuditInterrupted&) {
            err << t.interrupted.view() << "\n";
            return 130;
        } catch (const FactorFailure& e) {
            failed[key] = e.what();
            err << fillIn(t.factorFailed.str(), {{"{label}", node.label()}, {"{why}", e.what()}}) << "\n";
        }
    }

    // A share of a job array computes its nodes only; the run without --shard writes the audit.
    if (o.shards > 1) {
        out << fillIn(t.shardDone.str(), {{"{cache}", o.cache.string()}}) << "\n";
        return failed.empty() ? 0 : 1;
    }

    std::vector<Row> done;
    for (Row& r : planned) {
        const std::string a = r.lo.key(), b = r.hi.key();
        if (!factors.count(a) || !factors.count(b)) {
            skipped.push_back(
                {r.index, {SkipCode::NoFactor, {}, failed.count(a) ? failed[a] : failed[b]}, r.path});
            continue;
        }
        r.factor =
            interpolateFactor(r.x.thicknessMm, r.lo.thicknessMm, factors[a], r.hi.thicknessMm, factors[b]);
        r.factorId = a == b ? factors[a].id : factors[a].id + "/" + factors[b].id;
        done.push_back(std::move(r));
    }
    std::sort(skipped.begin(), skipped.end(),
              [](const Skipped& p, const Skipped& q) { return p.index < q.index; });

    int status = 0;
    auto write = [&](const std::string& name, const std::vector<std::vector<std::string>>& table) {
        RecordWriter w(o.out, name);
        for (const auto& cells : table)
            w.line(csvLine(cells));
        try {
            w.commit();
            out << fillIn(t.written.str(), {{"{file}", (o.out / name).string()}}) << "\n";
        } catch (const RecordError& e) {
            err << fillIn(t.notWritten.str(), {{"{file}", (o.out / name).string()}, {"{why}", e.what()}})
                << "\n";
            status = 1;
        }
    };
    std::vector<std::vector<std::string>> audit;
    std::vector<std::string> head = {"index",
                                     "device",
                                     "view",
                                     "laterality",
                                     "acquisition_date",
                                     "kvp",
                                     "mas",
                                     "anode",
                                     "filter",
                                     "filter_mm",
                                     "added_al_mm",
                                     "thickness_mm",
                                     "compression_force_n",
                                     "age_years",
                                     "age_group",
                                     "glandularity_percent",
                                     "hvl_mm_al",
                                     "hvl_source",
                                     "k_surface_mgy",
                                     "k_source",
                                     "factor",
                                     "factor_sigma_percent",
                                     "factor_id",
                                     "agd_mgy",
                                     "agd_sigma_percent",
                                     "unit_agd_mgy",
                                     "ratio",
                                     "note"};
    if (o.paths_) head.push_back("path");
    audit.push_back(head);
    std::vector<PlotPoint> points;
    for (const Row& r : done) {
        const Exposure& x = r.x;
        const double agd = r.k * r.factor.value;
        std::optional<double> ratio;
        if (x.organDoseMgy && *x.organDoseMgy > 0) ratio = agd / *x.organDoseMgy;
        std::vector<std::string> c = {std::to_string(r.index),
                                      x.device,
                                      x.view,
                                      x.laterality,
                                      x.acquisitionDate,
                                      plainDecimal(x.kvp),
                                      opt(x.mas, "0.000"),
                                      symbol(x.target),
                                      symbol(x.filter),
                                      format(x.filterMm, "0.000"),
                                      r.beam.beam.aluminum,
                                      plainDecimal(x.thicknessMm),
                                      opt(x.compressionForceN, "0.0"),
                                      x.ageYears ? plainDecimal(std::round(*x.ageYears * 10) / 10)
                                                 : std::string(),
                                      ageGroupLabel(r.gland),
                                      format(r.gland.percent, "0.0"),
                                      format(r.hvl, "0.000"),
                                      r.hvlSource,
                                      format(r.k, "0.0000"),
                                      r.kSource,
                                      format(r.factor.value, "0.00000"),
                                      format(r.factor.sigmaPercent, "0.00"),
                                      r.factorId,
                                      format(agd, "0.0000"),
                                      format(r.factor.sigmaPercent, "0.00"),
                                      opt(x.organDoseMgy, "0.0000"),
                                      opt(ratio, "0.0000"),
                                      r.note};
        if (o.paths_) c.push_back(r.path);
        audit.push_back(c);
        points.push_back({x.thicknessMm, agd, x.organDoseMgy, ratio});
    }
    write("audit.csv", audit);

    std::vector<std::vector<std::string>> skip = {{"index", "reason", "detail"}};
    if (o.paths_) skip[0].push_back("path");
    std::map<std::string, int> byReason;
    for (const Skipped& s : skipped) {
        std::vector<std::string> c = {std::to_string(s.index), skipCodeName(s.skip.code),
                                      skipDetail(s.skip, t)};
        if (o.paths_) c.push_back(s.path);
        skip.push_back(c);
        ++byReason[skipCodeName(s.skip.code)];
    }
    write("skipped.csv", skip);

    // summary.csv: per unit and view.
    struct Group {
        std::vector<double> agd, agd5060, ratio;
    };
    std::map<std::pair<std::string, std::string>, Group> groups;
    for (size_t i = 0; i < done.size(); ++i) {
        Group& g = groups[{done[i].x.device, done[i].x.view}];
        g.agd.push_back(points[i].agd);
        if (points[i].thicknessMm >= 50 && points[i].thicknessMm <= 60) g.agd5060.push_back(points[i].agd);
        if (points[i].ratio) g.ratio.push_back(*points[i].ratio);
    }
    std::vector<std::vector<std::string>> summary = {{"device", "view", "count", "median_agd_mgy",
                                                      "median_agd_50_60mm_mgy", "count_50_60mm",
                                                      "median_ratio"}};
    for (const auto& [key, g] : groups)
        summary.push_back(
            {key.first, key.second, std::to_string(g.agd.size()), format(median(g.agd), "0.0000"),
             g.agd5060.empty() ? "" : format(median(g.agd5060), "0.0000"), std::to_string(g.agd5060.size()),
             g.ratio.empty() ? "" : format(median(g.ratio), "0.0000")});
    write("summary.csv", summary);

    // Pictures and the record.
    for (const auto& [name, why] :
         {std::pair{"agd_vs_thickness.png", writeAgdPlot(o.out / "agd_vs_thickness.png", points, t)},
          std::pair{"ratio_hist.png", writeRatioHistogram(o.out / "ratio_hist.png", points, t)}}) {
        if (why) {
            err << fillIn(t.notWritten.str(), {{"{file}", (o.out / name).string()}, {"{why}", *why}}) << "\n";
            status = 1;
        } else {
            out << fillIn(t.written.str(), {{"{file}", (o.out / name).string()}}) << "\n";
        }
    }
    ReportContent rc;
    rc.version = std::string(kv::version());
    {
        const std::time_t now = std::time(nullptr);
        char buf[32];
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", std::localtime(&now));
        rc.date = buf;
    }
    rc.files = static_cast<int>(files.size()), rc.exposures = static_cast<int>(done.size());
    rc.skipped = static_cast<int>(skipped.size());
    ReportTable sumTable{t.reportSummary.str(), summary[0], {summary.begin() + 1, summary.end()}};
    ReportTable factorTable{
        t.reportFactors.str(),
        {"factor_id", "beam", "thickness_mm", "glandularity_percent", "mgd", "sigma_percent"},
        {}};
    for (const auto& [key, f] : factors)
        factorTable.rows.push_back({f.id, nodes[key].beam.label(), plainDecimal(nodes[key].thicknessMm),
                                    format(nodes[key].glandularPercent, "0.0"), format(f.mgd, "0.00000"),
                                    format(f.sigmaPercent, "0.00")});
    ReportTable skipTable{t.reportSkipped.str(), {"reason", "count"}, {}};
    for (const auto& [reason, count] : byReason)
        skipTable.rows.push_back({reason, std::to_string(count)});
    rc.tables = {sumTable, skipTable, factorTable};
    if (auto why = writeReportPdf(o.out / "report.pdf", rc, o.out, t)) {
        err << fillIn(t.notWritten.str(), {{"{file}", (o.out / "report.pdf").string()}, {"{why}", *why}})
            << "\n";
        status = 1;
    } else {
        out << fillIn(t.written.str(), {{"{file}", (o.out / "report.pdf").string()}}) << "\n";
    }
    return status;
}

} // namespace kv::audit
