// Result files (".vesk") through the workbench's loader and preview and
// through kv-report: never an exception, a loaded model only with usable
// numbers, a trailer's values only where it is intact, and a report that is
// UTF-8 and agrees with the load (a protocol breast over 6 cm, which the
// screens refuse, is reported from its trailer).
#include "kv/results/result_file.h"

#include "fuzz_input.h"
#include "kv/common/codepage.h"
#include "kv/formats/result_file.h"
#include "kv/report/report.h"

#include <cmath>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv::results;
    const std::filesystem::path& dir = kv::fuzz::putFile("f.vesk", data, size);
    const kv::texts::ResultsModelTexts& t = kv::texts::resultsModelTexts();

    LoadResult r = LoadResultFile(dir, "f.vesk");
    if (r) {
        const DoseModel& m = *r.model;
        if (m.GridCountX < 1 || m.GridCountX > kMaxCountX || m.GridCountY < 1 || m.GridCountY > kMaxCountY ||
            m.GridCountZ < 1 || m.GridCountZ > kMaxCountZ)
            kv::fuzz::fail("a loaded model has a grid count outside the grid");
        if (!(m.AirKerma > 0) || !std::isfinite(m.AirKerma) || !std::isfinite(m.ReferenceDose) ||
            !std::isfinite(m.SagdValue) || !std::isfinite(m.MeanGlandDose))
            kv::fuzz::fail("a loaded model holds a quantity that is not a finite number");
    } else if (r.failure == LoadFailure::None) {
        kv::fuzz::fail("a failed load names no failure");
    }

    previewResultHeader(dir, "f.vesk", t);

    kv::formats::ResultTrailer trailer;
    kv::formats::readResultTrailer(dir, "f.vesk", trailer);
    using State = kv::formats::ResultTrailer::State;
    if (trailer.state != State::Complete && !trailer.entries.empty())
        kv::fuzz::fail("a trailer that is not intact gave values");
    if (trailer.state != State::Damaged && trailer.damage != kv::formats::TrailerDamage::None)
        kv::fuzz::fail("an intact or absent trailer names a damage");
    if (trailer.verified && (trailer.entries.empty() ||
                             trailer.entries.back().first != kv::formats::trailer::kContentSha256.name))
        kv::fuzz::fail("a verified trailer does not end in its hash");

    std::ostringstream out, err;
    const int status = runReport({"--json", (dir / "f.vesk").string()}, out, err, t);
    const bool thick = r.failure == LoadFailure::ThickerThanScreens;
    if (r ? status != 0 : !thick && status != 1)
        kv::fuzz::fail("kv-report's exit status disagrees with the load");
    const std::string json = out.str();
    if (kv::validUtf8(json) != json) kv::fuzz::fail("kv-report wrote bytes that are not UTF-8");
    std::ostringstream csv, csvErr;
    runReport({(dir / "f.vesk").string()}, csv, csvErr, t);
    if (kv::validUtf8(csv.str()) != csv.str()) kv::fuzz::fail("kv-report wrote CSV that is not UTF-8");
    return 0;
}
