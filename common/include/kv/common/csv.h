#pragma once
// The one CSV reader and writer of the tools and the exports: cells split at
// commas outside double quotes ("" inside quotes is one quote), a UTF-8
// byte-order mark before the first line ignored, CR LF or LF line ends. A
// record is one line: a quote left open runs to the line's end.
//
//   for (const CsvLine& l : readCsvLines(text, {.commentLines = true})) ... l.number, l.cells
//   out << csvLine({"target", "Mo/Rh 0.025 mm", "a \"quoted\" note"});
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct CsvLine {
    int number = 0; // 1-based, blank and comment lines counted
    std::vector<std::string> cells;
};

struct CsvReadOptions {
    bool commentLines = false; // skip lines whose first character after blanks is '#'
};

// Every line that is not blank (nor a comment, when asked), as cells: an
// unquoted cell without the blanks around it (space, tab), a quoted one as
// written between its quotes. A line ending in a comma ends in an empty cell.
std::vector<CsvLine> readCsvLines(std::string_view text, const CsvReadOptions& options = {});

// The first name given again (names compared as they stand), if any.
std::optional<std::string> repeatedName(const std::vector<std::string>& names);

// A cell as written: quoted only when it holds a comma, a quote, a line break
// or blanks at either end, so that it reads back as it is.
std::string csvCell(std::string_view value);
// A cell always in quotes (for texts a spreadsheet must not take for numbers).
std::string csvQuoted(std::string_view value);
// The cells joined by commas, each through csvCell; no line end.
std::string csvLine(const std::vector<std::string>& cells);

} // namespace kv
