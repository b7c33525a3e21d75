#include "kv/audit/engine_physics.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/factors/row_factors.h"
#include "kv/formats/file_error.h"
#include "kv/formats/geometry_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/physical_data.h"

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
    // A scan's row: the protocol tomosynthesis row over its angles, its projections where they are said.
    const std::string scanHead = n.scan ? ",method,angular_range,projections" : "",
                      scanCells =
                          n.scan ? ",tomosynthesis," + format(n.scan->rangeDeg, "0.00") + "," +
                                       (n.scan->projections > 1 ? std::to_string(n.scan->projections) : "")
                                 : "";
    const std::string grid =
        "thickness_cm,glandular_percent,target,kv,mo_mm,rh_mm,ag_mm,al_mm,histories,seed,model" + scanHead +
        "\n" + plainDecimal(n.thicknessMm / 10) + "," + plainDecimal(n.glandularPercent) + "," +
        std::string(symbol(b.target)) + "," + plainDecimal(b.kvp) + "," + plainDecimal(mo) + "," +
        plainDecimal(rh) + "," + plainDecimal(ag) + "," + format(al, "0.000") + "," +
        plainDecimal(histories) + "," + std::to_string(nameHash(n.key()) >> 1) + ",protocol" + scanCells +
        "\n";
    sweep::Grid g = sweep::parseGrid(grid, equipment, texts::englishSweepTexts);
    if (g.rows.empty())
        throw FactorFailure(g.refused.empty() ? std::string("refused") : g.refused[0].problem);
    return g.rows[0];
}

std::unique_ptr<Physics> makeEnginePhysics(const PhysicsSettings& s) {
    return std::make_unique<EnginePhysics>(s);
}

} // namespace kv::audit
