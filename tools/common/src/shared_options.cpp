#include "kv/tools/common/shared_options.h"

#include "kv/common/constants.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace kv::tools {

std::vector<OptionSpec> withSharedOptions(std::vector<OptionSpec> own,
                                          std::initializer_list<SharedOption> shared) {
    for (SharedOption s : shared) {
        switch (s) {
        case SharedOption::Edition:
            own.emplace_back("--edition", true);
            break;
        case SharedOption::Threads:
            own.emplace_back("--threads", true);
            break;
        case SharedOption::Shard:
            own.emplace_back("--shard", true);
            break;
        case SharedOption::Histories:
            own.emplace_back("--histories", true);
            break;
        case SharedOption::Help:
            own.emplace_back("--help", false, "-h");
            break;
        }
    }
    return own;
}

texts::Edition editionAsked(const std::vector<std::string>& args) {
    return CommandLine::peek(args, "--edition") == "ja" ? texts::Edition::Japanese : texts::Edition::English;
}

void refuseUnknownEdition(const CommandLine& line) {
    if (const auto e = line.value("--edition"); e && *e != "en" && *e != "ja")
        throw CommandLineError(CommandLineFault::BadChoice, "--edition", *e, "en, ja");
}

std::optional<unsigned> threadsGiven(const CommandLine& line, texts::Edition e) {
    const auto v = line.value("--threads");
    if (!v) return std::nullopt;
    return static_cast<unsigned>(wholeNumberOption("--threads", *v, 1, kMaxThreads, e));
}

unsigned everyCore() {
    return std::max(1u, std::thread::hardware_concurrency());
}

std::optional<Shard> shardGiven(const CommandLine& line, texts::Edition e) {
    const auto v = line.value("--shard");
    if (!v) return std::nullopt;
    const size_t slash = v->find('/');
    if (slash == std::string::npos) throw CommandLineError(CommandLineFault::BadChoice, "--shard", *v, "I/N");
    const uint64_t count = wholeNumberOption("--shard", v->substr(slash + 1), 1, kMaxShards, e);
    const uint64_t index = wholeNumberOption("--shard", v->substr(0, slash), 1, count, e);
    return Shard{static_cast<int>(index), static_cast<int>(count)};
}

std::optional<double> historiesGiven(const CommandLine& line, texts::Edition e) {
    const auto v = line.value("--histories");
    if (!v) return std::nullopt;
    const double n = numberOption("--histories", *v, {1, kMaxHistories}, "", e);
    if (n != std::floor(n))
        throw CommandLineError(
            CommandLineFault::BadNumber, "--histories",
            fillIn(texts::commandLineTextsOf(e).wholeNumber.str(), {{"{option}", "--histories"},
                                                                    {"{min}", "1"},
                                                                    {"{max}", plainDecimal(kMaxHistories)},
                                                                    {"{text}", shownText(*v)}}));
    return n;
}

} // namespace kv::tools
