#include "kv/results/agd_estimate.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/formats/trailer_keys.h"

namespace kv::results {

std::string plusMinusPercent(const std::optional<double>& relative) {
    if (!relative) return {};
    return "\u00b1 " + format(*relative * 100.0, "0.00") + " %";
}

KaRatios kaRatiosOf(const formats::ResultTrailer& t) {
    auto positive = [&](std::string_view name) -> std::optional<double> {
        const std::optional<double> v = t.number(name);
        return v && *v > 0 ? v : std::nullopt;
    };
    namespace key = formats::trailer;
    return {positive(key::kKFcdPaddlePerKFcd.name), positive(key::kKSurfacePerKFcd.name),
            positive(key::kKSurface40mmPerKFcd.name), positive(key::kKSurface60mmPerKFcd.name)};
}

std::string trailerNote(const formats::ResultTrailer& t, const texts::ResultsExtrasTexts& x) {
    using formats::TrailerDamage;
    if (t.state == formats::ResultTrailer::State::Absent) return {};
    if (t.state == formats::ResultTrailer::State::Complete)
        return t.verified ? std::string() : x.trailerUnverified.str();
    std::string why;
    switch (t.damage) {
    case TrailerDamage::CutShort:
        why = x.trailerWhyCutShort.str();
        break;
    case TrailerDamage::NotNameValue:
        why = x.trailerWhyNotNameValue.str();
        break;
    case TrailerDamage::NameTwice:
        why = x.trailerWhyNameTwice.str();
        break;
    case TrailerDamage::TextBefore:
        why = x.trailerWhyTextBefore.str();
        break;
    case TrailerDamage::TextAfter:
        why = x.trailerWhyTextAfter.str();
        break;
    case TrailerDamage::HashNotLast:
        why = x.trailerWhyHashNotLast.str();
        break;
    case TrailerDamage::HashMismatch:
        why = x.trailerWhyHashMismatch.str();
        break;
    case TrailerDamage::DisagreesWithHead:
        why = fillIn(x.trailerWhyDisagrees.str(), {{"{key}", t.damagedKey}});
        break;
    case TrailerDamage::None:
        return x.trailerDamaged.str();
    }
    if (t.damagedLine > 0)
        why = fillIn(x.reasonAtLine.str(), {{"{reason}", why}, {"{line}", std::to_string(t.damagedLine)}});
    return fillIn(x.trailerDamagedBecause.str(), {{"{reason}", why}});
}

std::optional<double> kaRatio(const KaRatios& r, KaPoint p, int surfaceMm) {
    switch (p) {
    case KaPoint::FcdPaddle:
        return r.fcdPaddle;
    case KaPoint::BreastSurface:
        switch (surfaceMm) {
        case 0:
            return r.breastSurface;
        case 40:
            return r.surface40mm;
        case 60:
            return r.surface60mm;
        default:
            return std::nullopt;
        }
    default:
        return 1.0;
    }
}

AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u, double kaRatio) {
    return {airKermaMGy * sagd / kaRatio, u.sagd};
}

} // namespace kv::results
