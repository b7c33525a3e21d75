#include "kv/formats/trailer_keys.h"

#include "kv/common/format.h"
#include "kv/formats/result_file.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv::formats {

namespace {

std::vector<std::string_view> wordsOf(std::string_view words) {
    std::vector<std::string_view> out;
    while (!words.empty()) {
        const size_t end = std::min(words.find(' '), words.size());
        out.push_back(words.substr(0, end));
        words.remove_prefix(std::min(end + 1, words.size()));
    }
    return out;
}

} // namespace

bool TrailerKey::accepts(std::string_view value) const {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    // What the reader would not give back as written.
    if (value.size() > kMaxTrailerValueBytes || value.find_first_of("\r\n") != std::string_view::npos ||
        (!value.empty() && (blank(value.front()) || blank(value.back()))))
        return false;
    switch (type) {
    case TrailerType::Text:
        return true;
    case TrailerType::Integer:
        return !value.empty() &&
               std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    case TrailerType::Number: {
        double x = 0;
        return !value.empty() && parseNumberStrict(value, x) && std::isfinite(x);
    }
    case TrailerType::Word:
        return std::ranges::count(wordsOf(words), value) > 0;
    case TrailerType::Numbers: {
        if (value.empty() || value.find("  ") != std::string_view::npos) return false;
        for (std::string_view one : wordsOf(value)) {
            double x = 0;
            if (!parseNumberStrict(one, x) || !std::isfinite(x)) return false;
        }
        return true;
    }
    }
    return false;
}

std::string_view trailerTypeName(TrailerType t) {
    switch (t) {
    case TrailerType::Text:
        return "text";
    case TrailerType::Integer:
        return "integer";
    case TrailerType::Number:
        return "number";
    case TrailerType::Word:
        return "word";
    case TrailerType::Numbers:
        return "numbers";
    }
    return {};
}

const TrailerKey* trailerKey(std::string_view name) {
    for (const TrailerKey* k : kTrailerKeys)
        if (k->name == name) return k;
    return nullptr;
}

TrailerEntry trailerEntry(const TrailerKey& key, std::string value) {
    return {std::string(key.name), std::move(value)};
}

TrailerEntry trailerEntry(const TrailerKey& key, double value) {
    return {std::string(key.name), trailerNumber(value)};
}

TrailerEntry trailerEntry(const TrailerKey& key, const std::vector<double>& values) {
    std::string s;
    for (double v : values)
        s += (s.empty() ? "" : " ") + trailerNumber(v);
    return {std::string(key.name), std::move(s)};
}

std::optional<std::vector<double>> trailerNumbers(std::string_view value) {
    std::vector<double> out;
    for (std::string_view one : wordsOf(value)) {
        double x = 0;
        if (!parseNumberStrict(one, x) || !std::isfinite(x)) return std::nullopt;
        out.push_back(x);
    }
    return out;
}

std::string trailerKeysTable() {
    std::string t = "| name | type | unit | meaning | written by |\n|---|---|---|---|---|\n";
    for (const TrailerKey* k : kTrailerKeys) {
        t += "| `" + std::string(k->name) + "` | " + std::string(trailerTypeName(k->type));
        if (k->type == TrailerType::Word) {
            const char* sep = " (";
            for (std::string_view w : wordsOf(k->words))
                t += sep + std::string(w), sep = ", ";
            t += ")";
        }
        t += " | " + std::string(k->unit) + " | " + std::string(k->meaning) + " | " +
             std::string(k->writtenBy) + " |\n";
    }
    return t;
}

} // namespace kv::formats
