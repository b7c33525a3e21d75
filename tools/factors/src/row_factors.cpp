#include "kv/factors/row_factors.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"
#include "kv/formats/control_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/result_file.h"
#include "kv/formats/run_options_file.h"
#include "kv/formats/settings_file.h"
#include "kv/formats/trailer_keys.h"
#include "kv/results/result_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/sweep.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <unistd.h>

namespace kv::factors {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWorkFolder = ".work";
constexpr const char* kInputsKey = "inputs";
constexpr const char* kInputsHashKey = "inputs_sha256";
constexpr const char* kRevisionKey = "physics_revision";
constexpr const char* kResultHashKey = "result_sha256";
constexpr const char* kFactorsHashKey = "factors_sha256";

// The trailer's figures a row is read for, as <stem>.factors keeps them.
struct FactorField {
    const char* name;
    double RowFactors::*to;
};
constexpr FactorField kFactorFields[] = {
    {"sagd", &RowFactors::sagd},
    {"sagd_sigma_percent", &RowFactors::sagdSigmaPercent},
    {"dose100", &RowFactors::dose100},
    {"dose100_sigma_percent", &RowFactors::dose100SigmaPercent},
    {"mgd_per_k_surface", &RowFactors::mgd},
    {"mgd_sigma_percent", &RowFactors::mgdSigmaPercent},
    {"k_surface_per_k_fcd", &RowFactors::kSurfacePerKFcd},
    {"k_fcd_paddle_per_k_fcd", &RowFactors::kFcdPaddlePerKFcd},
};

std::string exactText(double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr; // the shortest text that reads back as v
    return std::string(buf, end);
}

// A row's run files in a folder of its own, and what follows from them alone.
struct Prepared {
    std::string stem, resultName, inputsHash;
    double hvl1 = 0, hvl1Paddle = 0, meanKev = 0;
};

struct Folder {
    fs::path dir;
    explicit Folder(fs::path d) : dir(std::move(d)) {
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir);
    }
    // The folder of all rows' folders goes too once it is empty (other processes may still be at work).
    ~Folder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::remove(dir.parent_path(), ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

// The working folder as the workbench leaves it before "Simulation Start".
Prepared prepare(const Row& r, const fs::path& dataDir, const spectrum::PhysicalData& data,
                 const fs::path& work, texts::Edition edition) {
    Prepared p;
    p.stem = resultStem(r);
    p.resultName = p.stem + std::string(formats::kResultExtension);
    const formats::EquipmentRecord equipment = formats::readEquipmentStrictly(dataDir);
    fs::copy_file(dataDir / formats::kEquipmentFileName, work / formats::kEquipmentFileName);
    if (!r.protocol) {
        const std::string composition = formats::compositionFileName(plainDecimal(r.glandular));
        fs::copy_file(dataFileDir(dataDir, composition) / composition, work / composition);
    }
    const formats::Geometry geometry = rowGeometry(r, formats::readGeometry(dataDir));
    formats::writeGeometry(work, geometry);

    const formats::SpectrumFields& fields = r.spectrum;
    const spectrum::DrawCheck check = spectrum::checkDrawSpectrum(fields);
    if (check != spectrum::DrawCheck::Accepted)
        throw RowFailure(std::string(spectrum::refusalMessage(check, texts::spectrumFileTextsOf(edition))));
    const spectrum::SpectrumResult s =
        r.measured ? spectrum::measuredSpectrumTable(*r.measured, r.spectrumFile, data, fields)
                   : spectrum::computeSpectrum(r.target, data, fields);
    formats::writeSpectrumFile(work, r.target, fields, s.table, texts::englishSpectrumFileTexts.labels);
    // Without the paddle on the vertical line, as the spectrum screen shows it; with it on
    // ray 1 of the file, the one the engine takes for the breast surface's air kerma.
    const std::optional<spectrum::BeamQuality> q = spectrum::beamQuality(s.table[0], data.aluminum);
    const std::optional<spectrum::BeamQuality> qp =
        spectrum::beamQuality(s.table[1], data.aluminum, spectrum::paddleTransmission(geometry));
    if (!q || !qp) throw RowFailure(texts::sweepTextsOf(edition).rowNoPhotons.str());
    p.hvl1 = q->firstHvl, p.meanKev = q->meanEnergy, p.hvl1Paddle = qp->firstHvl;

    formats::writePhantomFile(work, plainDecimal(r.glandular), plainDecimal(r.thickness));
    const std::string fid = plainDecimal(r.fid), fad = plainDecimal(r.fad),
                      range = plainDecimal(r.angularRange), histories = plainDecimal(r.histories);
    formats::writeControlFile(work, {.fidText = fid,
                                     .fadText = fad,
                                     .fcdSetting = r.fcd,
                                     .angularRangeText = range,
                                     .historiesText = histories,
                                     .resultName = p.stem,
                                     .equipmentName = equipment.equipmentName});

    // Everything the run reads: its own files, the spectrum data they came
    // from, and the options file an engine started in the data folder would read.
    ContentHash h;
    h.addField(rowKey(r));
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(work))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
        h.addField(n).addField(readFileBytes(work, n, kDefaultMaxBytes));
    std::vector<std::string> read = {std::string(spectrum::kAttenuationFileName),
                                     std::string(spectrum::kStoppingPowerFileName),
                                     std::string(formats::kRunOptionsFileName)};
    // Only a rhodium row reads rhodium's stopping power: the other rows' hashes stay as they were.
    if (r.target == formats::TargetMaterial::Rhodium && !r.measured)
        read.push_back(spectrum::kRhodiumStoppingPowerFileName);
    for (const std::string& n : read) {
        // The data folder's own copy, else the shipped one, as the spectrum model reads them.
        const fs::path from = dataFileDir(dataDir, n);
        std::error_code ec;
        if (fs::exists(from / n, ec)) h.addField(n).addField(readFileBytes(from, n, kDefaultMaxBytes));
    }
    p.inputsHash = h.hex();
    return p;
}

// The factors a result file holds: its trailer, checked whole. `damaged`
// when the file's own checks fail, not merely when it is no row's of ours.
struct ReadBack {
    std::optional<RowFactors> factors;
    bool damaged = false;
    ResultDamage damage;
};

ReadBack factorsOf(const Prepared& p, const std::string& bytes) {
    ReadBack b;
    RecordReader in = RecordReader::fromBytes(bytes, p.resultName);
    formats::ResultFileHead head;
    std::vector<double> row(formats::kValuesPerRow);
    if (formats::readResultHead(in, head, formats::kMaxEngineCountZ) != formats::LoadFailure::None ||
        formats::readResultBlocks(
            in, head, [&](int, int, int) { return row.data(); }, &b.damage.line) !=
            formats::LoadFailure::None) {
        b.damaged = true;
        return b;
    }
    const formats::ResultTrailer t = formats::readResultTrailer(in, head);
    if (t.state == formats::ResultTrailer::State::Damaged) {
        b.damaged = true;
        b.damage = {t.damage, t.damagedKey, t.damagedLine};
        return b;
    }
    if (t.state != formats::ResultTrailer::State::Complete ||
        t.number("physics_revision") != static_cast<double>(engine::kPhysicsRevision) || !t.find("seed"))
        return b;
    RowFactors f;
    f.seed = *t.find("seed");
    if (const std::string* v = t.find("engine_version")) f.engineVersion = *v;
    f.hvl1 = p.hvl1, f.hvl1Paddle = p.hvl1Paddle, f.meanKev = p.meanKev;
    struct Field {
        const char* name;
        double* to;
    };
    double histories = 0;
    for (Field x : {Field{"sagd", &f.sagd}, Field{"sagd_sigma_percent", &f.sagdSigmaPercent},
                    Field{"dose100", &f.dose100}, Field{"dose100_sigma_percent", &f.dose100SigmaPercent},
                    Field{"mgd_per_k_surface", &f.mgd}, Field{"mgd_sigma_percent", &f.mgdSigmaPercent},
                    Field{"k_surface_per_k_fcd", &f.kSurfacePerKFcd},
                    Field{"k_fcd_paddle_per_k_fcd", &f.kFcdPaddlePerKFcd}, Field{"histories", &histories}}) {
        const std::optional<double> v = t.number(x.name);
        if (!v) return b;
        *x.to = *v;
    }
    if (!(f.dose100 > 0) || !(histories >= 1)) return b;
    f.histories = static_cast<uint64_t>(histories);
    f.meanPercentage = 100 * f.sagd / f.dose100;
    f.tScan = t.number(formats::trailer::kTScan);
    f.tScanSigmaPercent = t.number(formats::trailer::kTScanSigmaPercent);
    b.factors = f;
    return b;
}

std::vector<std::pair<std::string, std::string>> factorEntries(const RowFactors& f) {
    std::vector<std::pair<std::string, std::string>> e = {{"seed", f.seed}};
    for (const FactorField& x : kFactorFields)
        e.push_back({x.name, exactText(f.*x.to)});
    e.push_back({"histories", std::to_string(f.histories)});
    if (f.tScan && f.tScanSigmaPercent) {
        e.push_back({std::string(formats::trailer::kTScan.name), exactText(*f.tScan)});
        e.push_back(
            {std::string(formats::trailer::kTScanSigmaPercent.name), exactText(*f.tScanSigmaPercent)});
    }
    if (!f.engineVersion.empty()) e.push_back({"engine_version", f.engineVersion});
    return e;
}

std::optional<RowFactors> factorsOfFile(const Prepared& p, const std::string& bytes,
                                        const std::string& name) {
    const formats::SettingsFile file = formats::SettingsFile::parse(bytes, name);
    RowFactors f;
    const formats::Setting* seed = file.find("seed");
    if (!seed) return std::nullopt;
    f.seed = seed->value;
    if (const formats::Setting* v = file.find("engine_version")) f.engineVersion = v->value;
    f.hvl1 = p.hvl1, f.hvl1Paddle = p.hvl1Paddle, f.meanKev = p.meanKev;
    for (const FactorField& x : kFactorFields) {
        if (!file.find(x.name)) return std::nullopt;
        f.*x.to = file.number(x.name, 0, -HUGE_VAL, HUGE_VAL);
    }
    const double histories = file.number("histories", 0, 0, 1e18);
    if (!(f.dose100 > 0) || !(histories >= 1)) return std::nullopt;
    f.histories = static_cast<uint64_t>(histories);
    f.meanPercentage = 100 * f.sagd / f.dose100;
    for (auto [key, to] : {std::pair{&formats::trailer::kTScan, &f.tScan},
                           std::pair{&formats::trailer::kTScanSigmaPercent, &f.tScanSigmaPercent}})
        if (file.find(key->name)) *to = file.number(key->name, 0, -HUGE_VAL, HUGE_VAL);
    return f;
}

// Refuses the row when one of its files in outDir stands there but cannot be
// read: the row would otherwise run again and write over what lies there.
void refuseUnusable(const fs::path& outDir, const std::string& name, const Prepared& p,
                    texts::Edition edition) {
    const texts::SweepTexts& t = texts::sweepTextsOf(edition);
    if (const std::optional<std::string> kind = unusableEntry(outDir, name, edition))
        throw RowFailure(name == p.resultName ? fillNumbered(t.resultRefused, {name, *kind})
                                              : fillNumbered(t.noteRefused, {name, *kind, p.resultName}));
}

StoredRow stored(const Row& r, const Prepared& p, const fs::path& outDir, bool figuresOnlyWill,
                 texts::Edition edition) {
    const std::string noteName = p.stem + ".row", factorsName = p.stem + ".factors";
    refuseUnusable(outDir, noteName, p, edition);
    refuseUnusable(outDir, p.resultName, p, edition);
    if (figuresOnlyWill) refuseUnusable(outDir, factorsName, p, edition);
    StoredRow s;
    try {
        std::optional<formats::SettingsFile> note;
        try {
            note = formats::SettingsFile::read(outDir, noteName);
        } catch (const formats::FileError& e) {
            // Swapped in since the check above, or without read permission.
            if (e.fault == formats::FileFault::NotAFile || e.fault == formats::FileFault::Unreadable)
                throw RowFailure(fillNumbered(
                    texts::sweepTextsOf(edition).noteRefused,
                    {noteName, texts::sweepTextsOf(edition).kindUnreadable.str(), p.resultName}));
            throw;
        }
        auto value = [&](const char* key) {
            const formats::Setting* v = note ? note->find(key) : nullptr;
            return v ? v->value : std::string();
        };
        std::error_code ec;
        const bool figuresOnly = !value(kFactorsHashKey).empty();
        if (figuresOnly && !figuresOnlyWill) return s; // the caller wants the result file
        if (!note || value(kInputsKey) != rowKey(r) ||
            !fs::is_regular_file(outDir / (figuresOnly ? factorsName : p.resultName), ec))
            return s;
        if (value(kInputsHashKey) != p.inputsHash) return {std::nullopt, Staleness::Inputs, {}};
        if (value(kRevisionKey) != std::to_string(engine::kPhysicsRevision))
            return {std::nullopt, Staleness::Physics, {}};
        if (figuresOnly) {
            const std::string bytes =
                readFileBytes(outDir, factorsName, formats::SettingsFile::kDefaultMaxBytes);
            if (value(kFactorsHashKey) != sha256Hex(bytes)) return {std::nullopt, Staleness::Result, {}};
            s.factors = factorsOfFile(p, bytes, factorsName);
            s.staleness = s.factors ? Staleness::None : Staleness::Result;
            return s;
        }
        std::string bytes;
        try {
            bytes = readFileBytes(outDir, p.resultName, formats::kMaxResultFileBytes);
        } catch (const FileNotFound&) {
            return s;
        } catch (const FileTooLarge&) {
            return {std::nullopt, Staleness::Result, {}};
        } catch (const FileMissing&) {
            throw RowFailure(fillNumbered(texts::sweepTextsOf(edition).resultRefused,
                                          {p.resultName, texts::sweepTextsOf(edition).kindUnreadable.str()}));
        }
        // A file that fails its own checks says so, whatever the note holds.
        ReadBack b = factorsOf(p, bytes);
        if (b.damaged) return {std::nullopt, Staleness::Damaged, b.damage};
        if (value(kResultHashKey) != sha256Hex(bytes)) return {std::nullopt, Staleness::Result, {}};
        s.factors = b.factors;
        s.staleness = s.factors ? Staleness::None : Staleness::Result;
    } catch (const RecordError&) {
        // A note or figures file that cannot be parsed: the row runs again.
    }
    return s;
}

std::string describeSessionFault(const engine::EngineSession& session, texts::Edition edition) {
    for (const std::string& why : {session.runFault(), session.failure()})
        if (!why.empty()) return why;
    return texts::sweepTextsOf(edition).rowResultRefused.str();
}

template <class F> auto explained(texts::Edition edition, F f) {
    try {
        return f();
    } catch (const engine::InputError& e) {
        throw RowFailure(e.text(edition));
    } catch (const formats::MeasuredSpectrumError& e) {
        throw RowFailure(formats::describeMeasured(e, texts::spectrumFileTextsOf(edition)));
    } catch (const formats::FileError& e) {
        throw RowFailure(formats::describe(e, texts::spectrumFileTextsOf(edition)));
    } catch (const RecordError& e) {
        throw RowFailure(e.file + ": " + e.what());
    } catch (const fs::filesystem_error& e) {
        throw RowFailure(e.what());
    }
}

} // namespace

std::optional<std::string> unusableEntry(const fs::path& dir, const std::string& name,
                                         texts::Edition edition) {
    const texts::SweepTexts& t = texts::sweepTextsOf(edition);
    std::error_code ec;
    const fs::path at = dir / name;
    const fs::file_status link = fs::symlink_status(at, ec);
    if (link.type() == fs::file_type::not_found) return std::nullopt;
    if (ec) return t.kindUnreadable.str();
    const fs::file_status target = fs::status(at, ec);
    if (target.type() == fs::file_type::not_found) return t.kindDanglingLink.str();
    if (fs::is_directory(target)) return t.kindFolder.str();
    if (!fs::is_regular_file(target)) return t.kindSpecial.str();
    if (::access(at.c_str(), R_OK) != 0) return t.kindUnreadable.str();
    return std::nullopt;
}

void removeAbandonedRowFolders(const fs::path& outDir) {
    std::error_code ec;
    std::vector<fs::path> left;
    for (fs::directory_iterator it(outDir / kWorkFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // "<stem>-<pid>@<host>": a host name may hold dashes, a pid none.
        const size_t at = name.rfind('@');
        const size_t dash = at == std::string::npos ? at : name.rfind('-', at);
        if (dash != std::string::npos && it->is_directory(ec) && !it->is_symlink(ec) &&
            writerEnded(std::string_view(name).substr(dash + 1)))
            left.push_back(it->path());
    }
    for (const fs::path& p : left)
        fs::remove_all(p, ec);
}

RowOutcome runGridRow(const Row& r, const fs::path& dataDir, const spectrum::PhysicalData& data,
                      const fs::path& outDir, const RowRunOptions& o) {
    const std::string stem = resultStem(r);
    removeAbandonedRowFolders(outDir);
    return explained(o.edition, [&] {
        const Folder work(outDir / kWorkFolder / (stem + "-" + writerTag()));
        const Prepared p = prepare(r, dataDir, data, work.dir, o.edition);
        RowOutcome out;
        out.resultFile = p.resultName;
        StoredRow s = stored(r, p, outDir, !o.keepResultFile, o.edition);
        if (s.factors) {
            out.factors = *s.factors;
            out.kept = true;
            return out;
        }
        out.redone = s.staleness == Staleness::NoResult ? Staleness::None : s.staleness;
        out.damage = s.damage;

        std::random_device rd;
        const uint64_t seed = r.seed.value_or((static_cast<uint64_t>(rd()) << 32) ^ rd());
        // A row wants its numbers, not the voxel maps.
        engine::EngineOptions run;
        run.maps = false;
        if (r.sagdSigmaPercent > 0) run.sagdSigmaPercent = r.sagdSigmaPercent;
        std::unique_ptr<engine::EngineSession> session = engine::prepareSession(
            work.dir,
            r.tomosynthesis ? engine::ExposureKind::Tomosynthesis : engine::ExposureKind::Mammography,
            o.threads, seed, run);
        session->start();
        bool interrupted = false;
        while (!session->finished()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!interrupted && o.interrupted()) {
                interrupted = true;
                session->cancel();
            }
            o.progress(session->progress());
        }
        if (interrupted) throw RowInterrupted();
        // A run that broke off saves what it did: not the row that was asked for.
        if (session->state() != engine::SessionState::Saved || session->fault() != engine::SessionFault::None)
            throw RowFailure(describeSessionFault(*session, o.edition));
        const std::string bytes = readFileBytes(work.dir, p.resultName, formats::kMaxResultFileBytes);
        std::optional<RowFactors> f = factorsOf(p, bytes).factors;
        // Up to 6 cm the result must also load as the results screens load it.
        if (!f || (r.thickness <= engine::kMaxThickness && !results::LoadResultFile(work.dir, p.resultName)))
            throw RowFailure(
                fillNumbered(texts::sweepTextsOf(o.edition).rowResultUnreadable, {p.resultName}));
        std::vector<std::pair<std::string, std::string>> note = {
            {kInputsKey, rowKey(r)},
            {kInputsHashKey, p.inputsHash},
            {kRevisionKey, std::to_string(engine::kPhysicsRevision)},
            {kResultHashKey, sha256Hex(bytes)}};
        // The note comes last: a row killed before it has nothing stored.
        if (o.keepResultFile) {
            fs::rename(work.dir / p.resultName, outDir / p.resultName);
        } else {
            const std::string factorsName = p.stem + ".factors";
            formats::writeSettingsFile(outDir, factorsName, factorEntries(*f));
            note.push_back(
                {kFactorsHashKey,
                 sha256Hex(readFileBytes(outDir, factorsName, formats::SettingsFile::kDefaultMaxBytes))});
            std::error_code ec;
            fs::remove(outDir / p.resultName, ec); // a result file of an earlier run with it kept
        }
        formats::writeSettingsFile(outDir, p.stem + ".row", note);
        out.factors = *f;
        return out;
    });
}

StoredRow storedGridRow(const Row& r, const fs::path& dataDir, const spectrum::PhysicalData& data,
                        const fs::path& outDir, bool figuresOnly, texts::Edition edition) {
    return explained(edition, [&] {
        const Folder work(outDir / kWorkFolder / ("check-" + resultStem(r) + "-" + writerTag()));
        return stored(r, prepare(r, dataDir, data, work.dir, edition), outDir, figuresOnly, edition);
    });
}

} // namespace kv::factors
