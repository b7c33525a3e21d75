#include "kv/engine/engine_options.h"

#include "kv/common/command_line.h"
#include "kv/common/constants.h"
#include "kv/formats/run_options_file.h"

#include <limits>

namespace kv::engine {

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

EngineOptions parseEngineOptions(const std::vector<std::string>& args, texts::Edition edition) {
    EngineOptions o;
    try {
        const CommandLine line(args, {{"--sagd-sigma", true},
                                      {"--map-sigma", true},
                                      {"--no-maps", false},
                                      {"--seed", true},
                                      {"--threads", true},
                                      {"--help", false, "-h"}});
        // The engines read their inputs from the working folder: they take no operands.
        line.refuseOperandsBeyond(0);
        o.help = line.has("--help");
        if (auto v = line.value("--sagd-sigma"))
            o.sagdSigmaPercent = numberOption("--sagd-sigma", *v, {0, 100, true}, "%", edition);
        if (auto v = line.value("--map-sigma"))
            o.mapSigmaPercent = numberOption("--map-sigma", *v, {0, 100, true}, "%", edition);
        if (line.has("--no-maps")) o.maps = false;
        if (auto v = line.value("--seed"))
            o.seed = wholeNumberOption("--seed", *v, 0, std::numeric_limits<uint64_t>::max(), edition);
        if (auto v = line.value("--threads"))
            o.threads = static_cast<unsigned>(wholeNumberOption("--threads", *v, 1, kMaxThreads, edition));
    } catch (const CommandLineError& e) {
        throw OptionError(commandLineMessage(e, texts::commandLineTextsOf(edition)));
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
