#include "kv/common/csv.h"

#include "kv/common/text.h"

#include <algorithm>

namespace kv {

namespace {

std::vector<std::string> cellsOf(std::string_view line) {
    std::vector<std::string> cells;
    size_t at = 0;
    for (;;) {
        // Blanks before an opening quote do not count; a cell that does not
        // start with a quote is taken up to the next comma.
        const size_t start = line.find_first_not_of(kBlanks, at);
        std::string cell;
        if (start != std::string_view::npos && line[start] == '"') {
            size_t i = start + 1;
            for (; i < line.size(); ++i) {
                if (line[i] != '"') {
                    cell += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    break;
                }
            }
            // What follows the closing quote up to the comma joins the cell, without its blanks.
            const size_t comma = std::min(line.find(',', std::min(i + 1, line.size())), line.size());
            if (i + 1 < comma) cell += trimmed(line.substr(i + 1, comma - i - 1));
            cells.push_back(std::move(cell));
            if (comma >= line.size()) break;
            at = comma + 1;
        } else {
            const size_t comma = std::min(line.find(',', at), line.size());
            cells.emplace_back(trimmed(line.substr(at, comma - at)));
            if (comma >= line.size()) break;
            at = comma + 1;
        }
    }
    return cells;
}

} // namespace

std::vector<CsvLine> readCsvLines(std::string_view text, const CsvReadOptions& options) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a spreadsheet's byte-order mark
    std::vector<CsvLine> lines;
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view content = trimmed(line, kLineBlanks);
        if (content.empty() || (options.commentLines && content.front() == '#')) continue;
        lines.push_back({number, cellsOf(line)});
    }
    return lines;
}

std::optional<std::string> repeatedName(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i)
        if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i), names[i]) !=
            names.begin() + static_cast<std::ptrdiff_t>(i))
            return names[i];
    return std::nullopt;
}

std::string csvQuoted(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csvCell(std::string_view value) {
    const bool plain = value.find_first_of(",\"\r\n") == std::string_view::npos && trimmed(value) == value;
    return plain ? std::string(value) : csvQuoted(value);
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) line += ',';
        line += csvCell(cells[i]);
    }
    return line;
}

} // namespace kv
