#include "kv/audit/audit.h"

#include "kv/audit/pseudonym.h"
#include "kv/audit/stages.h"
#include "kv/common/format.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"

#include <cstring>
#include <set>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;
using texts::AuditTexts;

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
    case MeasuredFault::BadDbtKerma:
        why = &t.measuredBadDbtKerma;
        break;
    case MeasuredFault::DbtKermaTwice:
        why = &t.measuredDbtKermaTwice;
        break;
    case MeasuredFault::BadModality:
        why = &t.measuredBadModality;
        break;
    case MeasuredFault::BadBand:
        why = &t.measuredBadBand;
        break;
    }
    return fillIn(t.measuredFault.str(), {{"{file}", e.file},
                                          {"{line}", std::to_string(e.line)},
                                          {"{column}", e.column},
                                          {"{value}", e.value},
                                          {"{why}", why->view()}});
}

std::string uncertaintyMessage(const UncertaintyError& e, const AuditTexts& t) {
    const texts::Text* why = &t.uncertaintyUnreadable;
    switch (e.fault) {
    case UncertaintyFault::Unreadable:
        why = &t.uncertaintyUnreadable;
        break;
    case UncertaintyFault::NoHeader:
        why = &t.uncertaintyNoHeader;
        break;
    case UncertaintyFault::UnknownInput:
        why = &t.uncertaintyUnknownInput;
        break;
    case UncertaintyFault::BadNumber:
        why = &t.uncertaintyBadNumber;
        break;
    case UncertaintyFault::Repeated:
        why = &t.uncertaintyRepeated;
        break;
    }
    return fillIn(t.uncertaintyFault.str(), {{"{file}", e.file},
                                             {"{line}", std::to_string(e.line)},
                                             {"{value}", e.value},
                                             {"{why}", why->view()}});
}

} // namespace

std::string Beam::key() const {
    return std::string(symbol(target)) + "/" + std::string(symbol(filter)) + " " +
           format(filterMm, "0.0000") + " mm " + plainDecimal(kvp) + " kV Al " + aluminum;
}

std::string Beam::label() const {
    std::string s = std::string(symbol(target)) + "/" + std::string(symbol(filter)) + " " +
                    format(filterMm, "0.000") + " mm, " + plainDecimal(kvp) + " kV";
    if (parseNumber(aluminum) > 0) s += ", + Al " + aluminum + " mm";
    return s;
}

std::string ScanShape::key() const {
    return (projections > 0 ? std::to_string(projections) + " x" : std::string("sweep")) + " +-" +
           format(rangeDeg, "0.00") + " deg";
}

std::string FactorNode::key() const {
    return beam.key() + " | " + plainDecimal(thicknessMm) + " mm | " + format(glandularPercent, "0.0") +
           " %" + (scan ? " | " + scan->key() : std::string());
}

std::string FactorNode::label() const {
    return beam.label() + ", " + plainDecimal(thicknessMm) + " mm, " + format(glandularPercent, "0.0") +
           " %" + (scan ? ", " + scan->key() : std::string());
}

int runAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PhysicsMaker& physics, const std::function<bool()>& interrupted) {
    ParsedCommand parsed = parseAuditCommand(args);
    out << parsed.out;
    err << parsed.err;
    if (!parsed.options) return parsed.status;
    AuditOptions& o = *parsed.options;
    const AuditTexts& t = texts::auditTextsOf(o.edition);

    // The measured tables first: a fault there is the user's to mend before anything runs.
    MeasuredTables measured;
    measured.dbtKerma = o.dbtKerma;
    std::vector<ReferenceLevel> levels;
    try {
        if (o.output) measured.output = MeasuredTable::read(*o.output, MeasuredKind::Output);
        if (o.hvl) measured.hvl = MeasuredTable::read(*o.hvl, MeasuredKind::Hvl);
        if (o.referenceLevels) levels = readReferenceLevels(*o.referenceLevels);
    } catch (const MeasuredError& e) {
        err << measuredMessage(e, t) << "\n";
        return 2;
    }
    try {
        if (o.uncertainties) o.stated = readUncertainties(*o.uncertainties);
    } catch (const UncertaintyError& e) {
        err << uncertaintyMessage(e, t) << "\n";
        return 2;
    }
    // Nothing to read is said before anything is made: an empty report would pass for an audit.
    const std::vector<fs::path> files = collectFiles(o.paths, {o.out, o.cache}, err, t);
    if (files.empty()) {
        err << t.noFiles.view() << "\n";
        return 1;
    }
    std::error_code ec;
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out, ec)) {
        err << fillIn(t.cannotStart.str(), {{"{why}", o.out.string() + ": " + std::strerror(ENOTDIR)}})
            << "\n";
        return 1;
    }
    removeAbandonedTemporaries(o.out);

    try {
        Readings read = readFiles(files, interrupted);
        if (read.exposures.empty() && o.shards == 1) {
            // Why each file was left out is the one thing worth writing.
            AuditRecord record;
            record.files = files.size();
            record.skipped = std::move(read.skipped);
            const int written = writeSkippedOnly(o.out, record, o.withPaths, out, err, t);
            err << fillIn(t.noExposures.str(), {{"{files}", std::to_string(files.size())},
                                                {"{skipped}", (o.out / "skipped.csv").string()}})
                << "\n";
            return std::max(written, 1);
        }

        PhysicsSettings ps;
        ps.dataDir = o.data, ps.cacheDir = o.cache, ps.threads = o.threads, ps.histories = o.histories;
        ps.interrupted = interrupted, ps.texts = &t;
        std::unique_ptr<Physics> phys;
        std::optional<Pseudonyms> names;
        try {
            fs::create_directories(o.cache, ec);
            names = Pseudonyms::ofFolder(o.cache);
            phys = physics(ps);
        } catch (const std::exception& e) {
            err << fillIn(t.cannotStart.str(), {{"{why}", e.what()}}) << "\n";
            return 1;
        }

        Plan plan = planExposures(std::move(read.exposures), measured, *phys, t);
        std::vector<Skipped> skipped = std::move(read.skipped);
        skipped.insert(skipped.end(), plan.skipped.begin(), plan.skipped.end());
        std::set<int> used; // each file once, however many exposures it gave
        for (const Planned& p : plan.exposures)
            used.insert(p.c.index);

        // Each node once, stored ones first so that what is left to run is known.
        int stored = 0;
        for (const auto& [key, n] : plan.nodes)
            stored += phys->stored(n);
        out << fillIn(t.filesRead.str(), {{"{files}", std::to_string(files.size())},
                                          {"{exposures}", std::to_string(plan.exposures.size())},
                                          {"{used}", std::to_string(used.size())},
                                          {"{skipped}", std::to_string(files.size() - used.size())}})
            << "\n"
            << fillIn(t.factorsNeeded.str(), {{"{count}", std::to_string(plan.nodes.size())},
                                              {"{stored}", std::to_string(stored)},
                                              {"{cache}", o.cache.string()}})
            << "\n"
            << std::flush;
        const Computed computed = computeFactors(plan.nodes, *phys, o.shard, o.shards, out, err, t);

        // A share of a job array computes its nodes only; the run without --shard writes the audit.
        if (o.shards > 1) {
            out << fillIn(t.shardDone.str(), {{"{cache}", o.cache.string()}}) << "\n";
            return computed.failed.empty() ? 0 : 1;
        }

        AuditRecord record;
        record.files = files.size();
        record.rows = applyFactors(std::move(plan.exposures), computed, skipped, o.stated);
        for (AuditRow& r : record.rows)
            r.id = names->of(r.p.c.x.instanceUid, r.p.c.x.event);
        std::sort(skipped.begin(), skipped.end(),
                  [](const Skipped& p, const Skipped& q) { return p.index < q.index; });
        record.skipped = std::move(skipped);
        record.nodes = &plan.nodes, record.computed = &computed;
        record.levels = std::move(levels), record.withLevels = o.referenceLevels.has_value();
        return writeOutputs(o.out, record, o.withPaths, out, err, t);
    } catch (const AuditInterrupted&) {
        err << t.interrupted.view() << "\n";
        return 130;
    }
}

} // namespace kv::audit
