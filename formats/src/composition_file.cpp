#include "kv/formats/composition_file.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"

#include <cmath>
#include <optional>

namespace kv::formats {

namespace {

// "Key = value": the text after '=' when the key matches, else a message.
std::string valueOf(const std::string& line, const std::string& key, const std::string& file, int lineNo) {
    size_t eq = line.find('=');
    auto trim = [](std::string s) {
        size_t b = s.find_first_not_of(" \t");
        size_t e = s.find_last_not_of(" \t");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
    if (eq == std::string::npos || (!key.empty() && trim(line.substr(0, eq)) != key))
        throw FileError(FileFault::BadLayout, file, lineNo,
                        "should read \"" +
                            (key.empty() ? "<element> = <mass fraction>" : key + " = <value>") +
                            "\" but reads \"" + shownText(line) + "\"");
    return trim(line.substr(eq + 1));
}

double numberOf(const std::string& text, const std::string& what, const std::string& file, int lineNo) {
    double v = 0;
    if (!parseNumberStrict(text, v) || !std::isfinite(v))
        throw FileError(FileFault::NotANumber, file, lineNo,
                        "holds \"" + shownText(text) + "\" where " + what + " belongs");
    return v;
}

} // namespace

Composition readCompositionFile(const std::filesystem::path& workDir, const std::string& name) {
    std::optional<RecordReader> opened;
    try {
        opened.emplace(workDir, name, kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
    RecordReader& r = *opened;
    int lineNo = 0;
    auto next = [&]() {
        ++lineNo;
        if (r.atEnd()) throw FileError(FileFault::EndsEarly, name, lineNo, "ends before this line");
        return r.readLine();
    };
    Composition c;
    c.material.name = name;
    next(); // title
    std::string line = next();
    c.glandularFraction = numberOf(valueOf(line, "Glandular fraction (%)", name, lineNo),
                                   "the glandular fraction", name, lineNo);
    line = next();
    c.material.density =
        numberOf(valueOf(line, "Density (g/cm3)", name, lineNo), "the density", name, lineNo);
    line = next();
    double count = numberOf(valueOf(line, "Elements", name, lineNo), "the number of elements", name, lineNo);
    // Far below any solid the transport would score no energy in the voxels at all.
    if (!(c.material.density >= kMinDensity && c.material.density <= kMaxDensity))
        throw FileError(FileFault::BadValue, name, 3,
                        "the density " + plainDecimal(c.material.density) + " g/cm3 lies outside " +
                            plainDecimal(kMinDensity) + " to " + plainDecimal(kMaxDensity) + " g/cm3");
    if (count < 1 || count > 20 || count != std::floor(count))
        throw FileError(FileFault::BadValue, name, 4,
                        "the number of elements " + plainDecimal(count) + " is not plausible");
    double sum = 0;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        line = next();
        std::string symbol = line.substr(0, line.find('='));
        while (!symbol.empty() && (symbol.back() == ' ' || symbol.back() == '\t'))
            symbol.pop_back();
        while (!symbol.empty() && (symbol.front() == ' ' || symbol.front() == '\t'))
            symbol.erase(0, 1);
        double w = numberOf(valueOf(line, "", name, lineNo), "a mass fraction", name, lineNo);
        int z = photon::atomicNumber(symbol);
        if (z < 1 || z > 94)
            throw FileError(FileFault::BadValue, name, lineNo,
                            "names \"" + shownText(symbol) + "\", which is not a chemical element");
        if (w < 0 || w > 1)
            throw FileError(FileFault::BadValue, name, lineNo,
                            "holds the mass fraction " + plainDecimal(w) + ", outside 0..1");
        c.material.elements.push_back({z, w});
        sum += w;
    }
    // An element left out of the count would be dropped from the material unseen.
    while (!r.atEnd()) {
        ++lineNo;
        if (!trimmed(r.readLine(), kLineBlanks).empty())
            throw FileError(FileFault::BadLayout, name, lineNo,
                            "holds an element line beyond the " + plainDecimal(count) +
                                " that line 4 states");
    }
    // The table's fractions are rounded to three decimals; more than that is a typing error.
    if (std::fabs(sum - 1.0) > 0.01)
        throw FileError(FileFault::BadValue, name, 0,
                        "the mass fractions add up to " + plainDecimal(sum) + ", not 1");
    return c;
}

} // namespace kv::formats
