#include "kv/spectrum/model/physical_data.h"

#include "kv/common/installation.h"
#include "kv/common/records.h"

#include <cmath>
#include <optional>

namespace kv::spectrum {
namespace {

// The shipped table is 34 kB; thirty times that is still a table, more is not.
constexpr size_t kAttenuationMaxBytes = 1024 * 1024;

// Reads every field of one file through `body`, turning the reader's errors
// into errors that name the line. The working folder's own copy comes first,
// else the one shipped with the program.
template <class Body>
void readFile(const std::filesystem::path& workDir, const char* name, size_t maxBytes, Body body) {
    std::optional<kv::RecordReader> in;
    try {
        in.emplace(dataFileDir(workDir, name), name, maxBytes);
        in->readLine(); // heading
        body(*in);
    } catch (const kv::RecordError& e) {
        formats::throwFromRecordError(e, in ? in->lineNumber() : 0);
    }
}

} // namespace

PhysicalData LoadPhysicalData(const std::filesystem::path& workDir) {
    PhysicalData d;
    readFile(workDir, kAttenuationFileName, kAttenuationMaxBytes, [&](kv::RecordReader& in) {
        AttenuationColumn* fields[11] = {nullptr,      &d.molybdenum, &d.rhodium, &d.aluminum,
                                         &d.beryllium, nullptr,       &d.air,     nullptr,
                                         &d.field9,    &d.tungsten,   &d.silver};
        for (int i = 1; i < kBins; ++i)
            for (AttenuationColumn* column : fields) {
                const int line = in.lineNumber();
                double v = in.readNumber();
                if (!std::isfinite(v) || v < 0)
                    throw FileError(FileFault::BadValue, kAttenuationFileName, line,
                                    "record " + std::to_string(i) +
                                        ": a coefficient that is negative or not finite");
                if (column) (*column)[i] = v;
            }
    });
    using Rows = std::array<double, kStoppingPowerRows + 1>;
    auto stoppingPowers = [&](const char* name, Rows& energy, Rows& power) {
        readFile(workDir, name, kv::kSmallFileMaxBytes, [&](kv::RecordReader& in) {
            for (int n = 1; n <= kStoppingPowerRows; ++n) {
                const int line = in.lineNumber();
                energy[n] = in.readNumber();
                power[n] = in.readNumber();
                // The model interpolates logarithms and searches upwards from 1 keV to the tube voltage.
                const bool usable = std::isfinite(energy[n]) && std::isfinite(power[n]) && energy[n] > 0 &&
                                    power[n] > 0 && (n == 1 ? energy[n] <= 1.0 : energy[n] > energy[n - 1]) &&
                                    (n < kStoppingPowerRows || energy[n] >= 50.0);
                if (!usable)
                    throw FileError(FileFault::BadValue, name, line,
                                    "row " + std::to_string(n) +
                                        ": energies must rise from at most 1 keV to at least 50 keV, and "
                                        "every value must be positive");
            }
        });
    };
    stoppingPowers(kStoppingPowerFileName, d.stoppingEnergy, d.stoppingPower);
    try {
        stoppingPowers(kRhodiumStoppingPowerFileName, d.rhodiumStoppingEnergy, d.rhodiumStoppingPower);
    } catch (const FileError& e) {
        d.rhodiumStoppingEnergy = {};
        d.rhodiumStoppingPower = {};
        d.rhodiumFault = e;
    }
    return d;
}

} // namespace kv::spectrum
