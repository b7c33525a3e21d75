#pragma once
// kv-report: the result files named on a command line, evaluated by the same
// model code as the results screen, for physicists who evaluate many runs.
//
//   kv-report_en [--json] FILE...
//   kv-report_en --table header|fields|depth_dose|air_kerma|scan|projections|trailer FILE...
//
// For each file: the header preview lines, the texts of the 100 % dose, FCD,
// sAGD and mean-percentage fields (with their full-precision values), and the
// depth-dose table (layer, total, primary, scatter in percent). CSV by
// default, one section per file; --json gives an array with one object per
// file. --table prints one rectangular CSV of one kind of row for every file,
// for loading into a table. A file that cannot be read gets its failure message in its section
// (and on the error stream), and the exit status becomes 1; the other files
// are still reported. A usage error exits with 2.
#include "kv/texts/results_model.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv::results {

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const texts::ResultsModelTexts& t);

// A JSON string of `text`, made valid UTF-8 first (a name from the command line is bytes).
std::string jsonText(std::string_view text);

} // namespace kv::results
