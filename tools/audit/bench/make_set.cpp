// A folder of made mammography headers for timing kv-audit: N exposures of
// two units as an automatic exposure control sets them (the voltage steps
// with thickness), a third in both presentation intents, a tomosynthesis
// scan beside every 8th, a dose report beside every 5th (its first event the
// image's, its second an exposure of its own), and a few files of every
// kind the audit skips.
//
//   kv_audit_make_set DIR [N]
#include "../tests/dicom_maker.h"
#include "../tests/report_maker.h"
#include "kv/common/program_start.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr std::string_view kUsage =
    "usage: kv_audit_make_set DIR [N]\n"
    "Writes N (default 1000) made mammography exposures of two units into DIR (2D images, some in\n"
    "both intents, tomosynthesis scans and dose reports beside them) and a few files of every kind\n"
    "kv-audit skips, for timing an audit.";

} // namespace

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kUsage, kv::Needs::Console)) return *end;
    // An option is never taken for the folder to fill.
    const bool optionLike = argc > 1 && argv[1][0] == '-';
    char* rest = nullptr;
    const long asked = argc > 2 ? std::strtol(argv[2], &rest, 10) : 1000;
    if (argc < 2 || argc > 3 || optionLike || (rest && *rest) || asked < 1 || asked > 10000000) {
        std::fprintf(stderr, "%s\n", std::string(kUsage).c_str());
        return 2;
    }
    namespace fs = std::filesystem;
    using kv::audit::test::MadeExposure;
    const fs::path dir = argv[1];
    const int n = static_cast<int>(asked);
    fs::create_directories(dir);
    std::mt19937 rng(12345);
    std::normal_distribution<double> thickness(55, 12);
    std::uniform_int_distribution<int> age(45, 68);
    int files = 0;
    for (int i = 0; i < n; ++i) {
        MadeExposure e;
        e.index = i;
        e.event = "1.2.826.0.1.3680043.9.1." + std::to_string(i);
        const double t = std::clamp(std::round(thickness(rng)), 22.0, 95.0);
        const int band = std::clamp(static_cast<int>(t / 10) - 2, 0, 5); // 20-29 mm ... 70+ mm
        const bool tungsten = i % 2;
        if (tungsten) {
            e.manufacturer = "ACME", e.model = "W-One", e.serial = "W1";
            e.anode = "TUNGSTEN", e.filter = band < 4 ? "RHODIUM" : "SILVER",
            e.filterMin = e.filterMax = "0.05";
            e.kvp = std::to_string(26 + band);
            e.hvl = std::to_string(0.45 + 0.012 * band + (band >= 4 ? 0.04 : 0)).substr(0, 5);
        } else {
            e.manufacturer = "ACME", e.model = "Mo-One", e.serial = "M1";
            e.filter = band < 3 ? "MOLYBDENUM" : "RHODIUM";
            e.filterMin = e.filterMax = band < 3 ? "0.03" : "0.025";
            e.kvp = std::to_string(25 + band);
            e.hvl = std::to_string(0.32 + 0.01 * band + (band >= 3 ? 0.06 : 0)).substr(0, 5);
        }
        e.thickness = std::to_string(static_cast<int>(t));
        // Over a quarter from 2024-01-01, each exposure at its own minute of the day.
        const int day = static_cast<int>(static_cast<long>(i) * 91 / n);
        const int monthStart[] = {0, 31, 60, 91}; // 2024: January, February (29 days), March
        const int month = day >= monthStart[2] ? 3 : day >= monthStart[1] ? 2 : 1;
        char when[32];
        std::snprintf(when, sizeof when, "2024%02d%02d", month, day - monthStart[month - 1] + 1);
        e.date = when;
        const int minute = 8 * 60 + i % 600;
        std::snprintf(when, sizeof when, "%02d%02d00", minute / 60, minute % 60);
        e.time = when;
        e.age = "0" + std::to_string(age(rng)) + "Y";
        e.view = i % 4 < 2 ? "CC" : "MLO";
        e.laterality = i % 2 ? "R" : "L";
        const double k = 2.0 * std::exp(0.025 * (t - 45));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", k);
        e.entrance = buf;
        std::snprintf(buf, sizeof buf, "%.5f", k * 0.2 / 100); // dGy
        e.organDose = buf;
        kv::audit::test::writeDicom(dir / ("img" + std::to_string(i) + "_pres.dcm"), e), ++files;
        if (i % 5 == 0) {
            // The unit's dose report: this image's event, and one exposure of its own 5 mm thicker.
            kv::audit::test::MadeReport r;
            r.manufacturer = e.manufacturer, r.model = e.model, r.serial = e.serial, r.age = e.age;
            r.instance = "1.2.826.0.1.3680043.9.6." + std::to_string(i);
            kv::audit::test::MadeEvent& ev = r.events[0];
            ev.uid = e.event, ev.started = e.date + e.time + ".000000";
            ev.laterality = e.laterality == "R" ? "Right" : "Left";
            ev.view = e.view == "CC" ? "cranio-caudal" : "medio-lateral oblique";
            ev.kvp = e.kvp, ev.uas = "63000", ev.thickness = e.thickness, ev.hvl = e.hvl;
            ev.anode = tungsten ? "Tungsten or Tungsten compound" : "Molybdenum or Molybdenum compound";
            ev.filter = std::string(e.filter == "RHODIUM"  ? "Rhodium"
                                    : e.filter == "SILVER" ? "Silver"
                                                           : "Molybdenum") +
                        " or " +
                        (e.filter == "RHODIUM"  ? "Rhodium"
                         : e.filter == "SILVER" ? "Silver"
                                                : "Molybdenum") +
                        " compound";
            ev.filterMin = ev.filterMax = e.filterMin;
            ev.entrance = e.entrance;
            std::snprintf(buf, sizeof buf, "%.4f", k * 0.2);
            ev.agd = buf;
            kv::audit::test::MadeEvent own = ev;
            own.uid = "1.2.826.0.1.3680043.9.2." + std::to_string(i);
            own.thickness = std::to_string(std::min(95, static_cast<int>(t) + 5));
            std::snprintf(buf, sizeof buf, "%.3f", k * std::exp(0.025 * 5));
            own.entrance = buf;
            r.events.push_back(own);
            kv::audit::test::writeReport(dir / ("rdsr" + std::to_string(i) + ".dcm"), r), ++files;
        }
        if (i % 8 == 0) {
            // A tomosynthesis scan of the same breast: 15 projections in one object.
            MadeExposure scan = e;
            scan.index = n + i, scan.event = "1.2.826.0.1.3680043.9.3." + std::to_string(i);
            scan.sopClass = kv::audit::test::kProjectionsForPresentation, scan.frames = 15;
            scan.imageType = "ORIGINAL\\PRIMARY\\TOMOSYNTHESIS";
            scan.time = e.time.substr(0, 4) + "30";
            scan.acquisition = {{DCM_PrimaryPositionerScanArc, "14"},
                                {DCM_PrimaryPositionerScanStartAngle, "-7"},
                                {DCM_PrimaryPositionerIncrement, "1"}};
            kv::audit::test::writeDicom(dir / ("dbt" + std::to_string(i) + ".dcm"), scan), ++files;
        }
        if (i % 3 == 0) {
            e.intent = "FOR PROCESSING";
            kv::audit::test::writeDicom(dir / ("img" + std::to_string(i) + "_proc.dcm"), e), ++files;
        }
    }
    MadeExposure ct;
    ct.modality = "CT";
    kv::audit::test::writeDicom(dir / "ct.dcm", ct);
    MadeExposure synth;
    synth.imageType = "DERIVED\\PRIMARY\\TOMOSYNTHESIS\\GENERATED_2D";
    kv::audit::test::writeDicom(dir / "synth.dcm", synth);
    std::ofstream(dir / "notes.txt") << "not an image\n";
    files += 3;
    std::printf("%d files in %s\n", files, dir.c_str());
    return 0;
}
