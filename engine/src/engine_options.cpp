#include "kv/engine/engine_options.h"

#include "kv/common/command_line.h"
#include "kv/formats/run_options_file.h"

#include <charconv>
#include <cmath>

namespace kv::engine {

namespace {

double percentOption(const std::string& option, const std::string& text) {
    double v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || !std::isfinite(v) || !(v > 0 && v <= 100))
        throw OptionError(option + " wants a percentage above 0 and at most 100, not \"" + text + "\"");
    return v;
}

} // namespace

EngineOptions EngineOptions::overriddenBy(const EngineOptions& over) const {
    EngineOptions o = *this;
    if (over.sagdSigmaPercent) o.sagdSigmaPercent = over.sagdSigmaPercent;
    if (over.mapSigmaPercent) o.mapSigmaPercent = over.mapSigmaPercent;
    if (over.maps) o.maps = over.maps;
    if (over.seed) o.seed = over.seed;
    if (over.threads) o.threads = over.threads;
    o.help = help || over.help;
    return o;
}

EngineOptions parseEngineOptions(const std::vector<std::string>& args, const texts::CommandLineTexts& t) {
    std::optional<CommandLine> line;
    try {
        line.emplace(args, std::vector<OptionSpec>{{"--sagd-sigma", true},
                                                   {"--map-sigma", true},
                                                   {"--no-maps", false},
                                                   {"--seed", true},
                                                   {"--threads", true},
                                                   {"--help", false, "-h"}});
        // The engines read their inputs from the working folder: they take no operands.
        line->refuseOperandsBeyond(0);
    } catch (const CommandLineError& e) {
        throw OptionError(commandLineMessage(e, t));
    }
    EngineOptions o;
    o.help = line->has("--help");
    if (auto v = line->value("--sagd-sigma")) o.sagdSigmaPercent = percentOption("--sagd-sigma", *v);
    if (auto v = line->value("--map-sigma")) o.mapSigmaPercent = percentOption("--map-sigma", *v);
    if (line->has("--no-maps")) o.maps = false;
    if (auto v = line->value("--seed")) {
        o.seed = parseSeed(*v);
        if (!o.seed)
            throw OptionError("--seed wants a whole number 0 .. 18446744073709551615, not \"" + *v + "\"");
    }
    if (auto v = line->value("--threads")) {
        std::optional<uint64_t> n = parseSeed(*v);
        if (!n || *n < 1 || *n > 1024)
            throw OptionError("--threads wants a whole number 1 .. 1024, not \"" + *v + "\"");
        o.threads = static_cast<unsigned>(*n);
    }
    return o;
}

EngineOptions readRunOptionsFile(const std::filesystem::path& workDir) {
    const formats::RunOptions f = formats::readRunOptionsFile(workDir);
    EngineOptions o;
    o.sagdSigmaPercent = f.sagdSigmaPercent;
    o.mapSigmaPercent = f.mapSigmaPercent;
    o.maps = f.maps;
    o.seed = f.seed;
    return o;
}

} // namespace kv::engine
