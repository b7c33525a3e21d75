#include "kv/audit/engine_physics.h"

#include "kv/common/constants.h"
#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/factors/row_factors.h"
#include "kv/formats/file_error.h"
#include "kv/formats/geometry_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/texts/sweep.h"

#include <cmath>
#include <map>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;

class EnginePhysics : public Physics {
  public:
    explicit EnginePhysics(const PhysicsSettings& s) : s_(s) {
        try {
            equipment_ = formats::readEquipmentStrictly(s.dataDir);
            data_ = spectrum::LoadPhysicalData(s.dataDir);
            plates_ = formats::readGeometry(s.dataDir);
        } catch (const formats::FileError& e) {
            throw FactorFailure(formats::describe(e, texts::englishSpectrumFileTexts));
        } catch (const RecordError& e) {
            throw FactorFailure(e.file + ": " + e.what());
        }
    }

    std::optional<MatchedBeam> match(const Beam& b, std::optional<double> hvl) override {
        const factors::Row r = nodeRow({b, 45, 50}, equipment_, s_.histories);
        const std::optional<spectrum::Transmission> paddle =
            spectrum::paddleTransmission(factors::rowGeometry(r, plates_));
        MatchedBeam m{b, 0};
        try {
            if (hvl) {
                const spectrum::HvlMatch h =
                    spectrum::matchFirstHvl(r.target, data_, r.spectrum, *hvl, paddle);
                if (h.outcome != spectrum::HvlMatchOutcome::Matched) return std::nullopt;
                const double added =
                    parseNumber(h.aluminumText) - (b.filter == FilterMaterial::Aluminum ? b.filterMm : 0);
                if (added < -1e-9) return std::nullopt; // softer than the filter alone
                m.beam.aluminum = format(std::max(0.0, added), "0.000");
                m.hvlPaddle = h.firstHvl;
                return m;
            }
            const spectrum::SpectrumResult sp = spectrum::computeSpectrum(r.target, data_, r.spectrum);
            const std::optional<spectrum::BeamQuality> q =
                spectrum::beamQuality(sp.table[1], data_.aluminum, paddle);
            if (!q) return std::nullopt;
            m.hvlPaddle = q->firstHvl;
            return m;
        } catch (const std::domain_error& e) {
            throw FactorFailure(e.what());
        } catch (const formats::FileError& e) {
            // Rh-STP.dat is read only when a rhodium beam needs it: its fault is told here, in words.
            throw FactorFailure(formats::describe(e, texts::englishSpectrumFileTexts));
        }
    }

    Factor factor(const FactorNode& n) override {
        const factors::Row r = nodeRow(n, equipment_, s_.histories);
        if (auto it = stored_.find(n.key()); it != stored_.end()) return factorOf(r, it->second);
        try {
            factors::RowRunOptions o;
            o.threads = s_.threads;
            o.interrupted = s_.interrupted;
            o.keepResultFile = false; // the audit reads the figures, not the dose values
            return factorOf(r, factors::runGridRow(r, s_.dataDir, data_, s_.cacheDir, o).factors);
        } catch (const factors::RowInterrupted&) {
            throw AuditInterrupted();
        } catch (const factors::RowFailure& e) {
            throw FactorFailure(e.what());
        }
    }

    // What the cache holds is kept, so that factor() need not check it again.
    bool stored(const FactorNode& n) override {
        try {
            const factors::StoredRow s = factors::storedGridRow(nodeRow(n, equipment_, s_.histories),
                                                                s_.dataDir, data_, s_.cacheDir, true);
            if (s.factors) stored_[n.key()] = *s.factors;
            return s.factors.has_value();
        } catch (const factors::RowFailure&) {
            return false;
        } catch (const FactorFailure&) {
            return false; // factor() will say why
        }
    }

  private:
    static Factor factorOf(const factors::Row& r, const factors::RowFactors& f) {
        return {factors::resultStem(r), f.mgd, f.mgdSigmaPercent, static_cast<double>(f.histories)};
    }

    std::map<std::string, factors::RowFactors> stored_;
    PhysicsSettings s_;
    formats::EquipmentRecord equipment_;
    spectrum::PhysicalData data_;
    formats::Geometry plates_;
};

} // namespace

namespace {

// A number as a grid cell states it (15 significant digits): the node's row is the row kv-sweep
// reads from the same GRID.csv line, so that both name, and share, one cached factor.
double stated(double x) {
    return std::isfinite(x) ? parseNumber(plainDecimal(x)) : x;
}

// kv-sweep's refusal of such a cell, in the same words.
void within(const char* column, double x, const std::string& cell, double lo, double hi) {
    if (!std::isfinite(x))
        throw FactorFailure(fillNumbered(texts::englishSweepTexts.cellNotNumber.str(), {column, cell}));
    if (!(x >= lo && x <= hi))
        throw FactorFailure(fillNumbered(texts::englishSweepTexts.cellOutside.str(),
                                         {column, cell, plainDecimal(lo), plainDecimal(hi)}));
}

} // namespace

factors::Row nodeRow(const FactorNode& n, const formats::EquipmentRecord& equipment, double histories) {
    const Beam& b = n.beam;
    double mo = 0, rh = 0, ag = 0, al = parseNumber(b.aluminum);
    switch (b.filter) {
    case FilterMaterial::Molybdenum:
        mo = b.filterMm;
        break;
    case FilterMaterial::Rhodium:
        rh = b.filterMm;
        break;
    case FilterMaterial::Silver:
        ag = b.filterMm;
        break;
    case FilterMaterial::Aluminum:
        al += b.filterMm;
        break;
    case FilterMaterial::Beryllium:
        break; // never read as a filter (filterNamed)
    }
    // The protocol breast with its 5 mm adipose layer between absorbing plates; the checks in the
    // order kv-sweep makes them, so that the first fault is the one it would name.
    factors::Row r;
    r.protocol = true;
    r.plates = formats::PlateMode::Absorbing;
    r.thickness = stated(n.thicknessMm / 10);
    within("thickness_cm", r.thickness, plainDecimal(r.thickness), kMinProtocolThickness,
           kMaxProtocolThickness);
    r.glandular = stated(n.glandularPercent);
    within("glandular_percent", r.glandular, plainDecimal(r.glandular), 0, 100);
    r.target = b.target;
    const double kv = stated(b.kvp);
    within("kv", kv, plainDecimal(kv), kMinTubeVoltage, kMaxTubeVoltage);
    r.tomosynthesis = n.scan.has_value();

    formats::SpectrumFields& f = r.spectrum;
    f.tubeVoltage = plainDecimal(kv);
    f.beryllium = plainDecimal(parseNumber(spectrum::targetFilters(b.target).beryllium));
    const std::string alCell = format(al, "0.000"); // the aluminum to the micrometre
    const double alMm = std::isfinite(al) ? parseNumber(alCell) : al;
    within("al_mm", alMm, alCell, 0, 100);
    f.aluminum = plainDecimal(alMm);
    // The beam's own filter in place of the target's.
    const std::pair<const char*, double> filters[] = {{"mo_mm", mo}, {"rh_mm", rh}, {"ag_mm", ag}};
    for (const auto& [column, mm] : filters)
        within(column, stated(mm), plainDecimal(mm), 0, 100);
    f.molybdenum = plainDecimal(mo);
    f.rhodium = plainDecimal(rh);
    f.silver = plainDecimal(ag);
    f.airLayer = plainDecimal(60);
    f.targetAngle = plainDecimal(equipment.targetAngle);
    f.tubeTiltAngle = plainDecimal(equipment.tubeTiltAngle);

    r.fid = equipment.fid;
    r.fad = equipment.fad;
    r.fcd = r.fad;
    r.angularRange = equipment.angularRange;
    if (n.scan) {
        const std::string range = format(n.scan->rangeDeg, "0.00"); // the scan's angles to the hundredth
        r.angularRange = std::isfinite(n.scan->rangeDeg) ? parseNumber(range) : n.scan->rangeDeg;
        within("angular_range", r.angularRange, range, 0, 60);
    }
    r.histories = stated(histories);
    within("histories", r.histories, plainDecimal(r.histories), 1, kMaxHistories);
    r.seed = nameHash(n.key()) >> 1;
    if (n.scan && n.scan->projections > 1) {
        if (n.scan->projections > formats::kMaxProjections)
            throw FactorFailure(fillNumbered(texts::englishSweepTexts.projectionsNotScan.str(),
                                             {std::to_string(n.scan->projections)}));
        r.projections = n.scan->projections;
    }
    return r;
}

std::unique_ptr<Physics> makeEnginePhysics(const PhysicsSettings& s) {
    return std::make_unique<EnginePhysics>(s);
}

} // namespace kv::audit
