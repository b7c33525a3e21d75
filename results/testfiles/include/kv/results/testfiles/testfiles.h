#pragma once
// Result files for tests: any counts, any values, written exactly as an
// engine writes them, in a temporary working directory.
//
//   kv::test_support::TempDir dir;
//   auto r = makeResult(75, 150, 45, [](int c, int ix, int iy, int iz) { return c == 1 ? 2.0 : 1.0; });
//   writeResult(dir.path(), "run.vesk", r);
//   std::string text = resultText(r);          // to cut or alter before dir.write(...)
#include "kv/results/result_file.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <functional>
#include <string>

namespace kv::results::testfiles {

// Dose of component c (1 primary, 2 scatter) at ix 1..75, iy, iz, in file units.
using DoseFunction = std::function<double(int c, int ix, int iy, int iz)>;

// A mammography result with 14 description lines, 1e8 histories, a
// 15 x 15 x Z/10 cm phantom of 50 %, and countY x countZ rows of 75 values.
ResultFileContent makeResult(int countX, int countY, int countZ, const DoseFunction& dose,
                             double airKerma = 1.0, double fcd = 65.0);
// Every value of both blocks equal to d.
ResultFileContent uniformResult(int countX, int countY, int countZ, double d, double airKerma = 1.0);
// Changes the kind line and refills the description with the line count that kind needs.
void setKind(ResultFileContent& r, const std::string& kindLine);

// The file's text as written (UTF-8, CR LF line ends).
std::string resultText(const ResultFileContent& r);
void writeResult(const std::filesystem::path& dir, const std::string& name, const ResultFileContent& r);

} // namespace kv::results::testfiles
