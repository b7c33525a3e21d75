#include "kv/formats/run_options_file.h"

#include "kv/common/typed_number.h"

#include <charconv>
#include <string>

namespace kv::formats {

std::optional<uint64_t> parseSeed(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
    return v;
}

RunOptions readRunOptionsFile(const std::filesystem::path& workDir) {
    RunOptions o;
    std::optional<SettingsFile> f = SettingsFile::read(workDir, std::string(kRunOptionsFileName));
    if (!f) return o;
    f->requireKnown({kSagdSigmaSetting, kMapSigmaSetting, kMapsSetting, kSeedSetting});
    double p = f->number(kSagdSigmaSetting, 0.0, 0.0, 100.0);
    if (p > 0) o.sagdSigmaPercent = p;
    p = f->number(kMapSigmaSetting, 0.0, 0.0, 100.0);
    if (p > 0) o.mapSigmaPercent = p;
    if (f->find(kMapsSetting)) o.maps = f->choice(kMapsSetting, "yes", {"yes", "no"}) == "yes";
    if (const Setting* s = f->find(kSeedSetting)) {
        o.seed = parseSeed(s->value);
        if (!o.seed)
            throw FileError(FileFault::NotANumber, f->name(), s->line,
                            "the seed \"" + shownText(s->value) +
                                "\" is not a whole number 0 .. 18446744073709551615");
    }
    return o;
}

} // namespace kv::formats
