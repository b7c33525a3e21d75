#pragma once
// A measured spectrum, as a spectrometer exports it: one bin a line, the
// energy at the top of the bin (keV) and the fluence per keV, separated by
// blanks or tabs (or by one comma or semicolon); lines that start with '#'
// are comments, blank lines are skipped.
//
//   MeasuredSpectrum m = readMeasuredSpectrum("Rh_28kV.dat");
//   for (auto [top, perKeV] : m.bins) ...
//
// Anything else is a MeasuredSpectrumError naming the file, the line, the
// text found and why it cannot be used (`describeMeasured` words it).
#include "kv/formats/file_error.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::formats {

struct MeasuredBin {
    double top;     // keV, the upper edge of the bin
    double fluence; // per keV
};

struct MeasuredSpectrum {
    std::vector<MeasuredBin> bins; // energies rising
    // The tube voltage a comment states ("# tube voltage: 28 kV"), when one does.
    std::optional<double> tubeVoltage;
    std::string contentHash; // SHA-256 of the bytes read
};

enum class MeasuredFault {
    NotANumber,
    DecimalComma,      // "1,25": a number with a comma for its point
    NotFinite,         // too large for a double
    WrongShape,        // not two columns (value: how many)
    EnergyNotPositive, // an energy of 0 or less
    EnergyNotRising,   // not above the energy of the line before
    NegativeFluence,
    NoBins,                  // no line of data at all
    NothingBelowTubeVoltage, // no fluence below the tube voltage (value: kV)
};

class MeasuredSpectrumError : public FileError {
  public:
    MeasuredSpectrumError(MeasuredFault reason, std::string file, int line, std::string value);
    MeasuredFault reason;
    std::string value; // the text at fault, as a message may show it
};

// A file of at most this size: a spectrometer's 16k channels take a tenth of it.
inline constexpr size_t kMeasuredSpectrumMaxBytes = size_t{8} * 1024 * 1024;

// Throws MeasuredSpectrumError for a fault of the content and FileError
// (Missing) for a file that is no regular file of at most the size above.
MeasuredSpectrum readMeasuredSpectrum(const std::filesystem::path& file);

// The edition's message.
std::string describeMeasured(const MeasuredSpectrumError& e, const texts::SpectrumFileTexts& t);

} // namespace kv::formats
