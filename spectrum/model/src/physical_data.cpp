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
    readFile(workDir, kStoppingPowerFileName, kv::kSmallFileMaxBytes, [&](kv::RecordReader& in) {
        for (int n = 1; n <= kStoppingPowerRows; ++n) {
            const int line = in.lineNumber();
            d.stoppingEnergy[n] = in.readNumber();
            d.stoppingPower[n] = in.readNumber();
            // The model interpolates logarithms and searches upwards from 1 keV to the tube voltage.
            const bool usable =
                std::isfinite(d.stoppingEnergy[n]) && std::isfinite(d.stoppingPower[n]) &&
                d.stoppingEnergy[n] > 0 && d.stoppingPower[n] > 0 &&
                (n == 1 ? d.stoppingEnergy[n] <= 1.0 : d.stoppingEnergy[n] > d.stoppingEnergy[n - 1]) &&
                (n < kStoppingPowerRows || d.stoppingEnergy[n] >= 50.0);
            if (!usable)
                throw FileError(FileFault::BadValue, kStoppingPowerFileName, line,
                                "row " + std::to_string(n) +
                                    ": energies must rise from at most 1 keV to at least 50 keV, and "
                                    "every value must be positive");
        }
    });
    return d;
}

} // namespace kv::spectrum
