#include "kv/audit/stages.h"
#include "kv/common/command_line.h"
#include "kv/common/constants.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/typed_number.h"

#include <cmath>
#include <thread>

namespace kv::audit {

namespace fs = std::filesystem;

ParsedCommand parseAuditCommand(const std::vector<std::string>& args) {
    const std::optional<std::string> edition = CommandLine::peek(args, "--edition");
    const texts::Edition lang = edition == "ja" ? texts::Edition::Japanese : texts::Edition::English;
    const texts::AuditTexts& t = texts::auditTextsOf(lang);
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(lang);
    ParsedCommand p;
    auto refuse = [&](const std::string& why, bool seeHelp = true) {
        p.status = 2;
        p.err = why + "\n" + (seeHelp ? std::string(cl.seeHelp.view()) + "\n" : std::string());
        return p;
    };

    std::optional<CommandLine> line;
    try {
        line.emplace(args, std::vector<OptionSpec>{{"--out", true},
                                                   {"--output", true},
                                                   {"--hvl", true},
                                                   {"--data", true},
                                                   {"--cache", true},
                                                   {"--threads", true},
                                                   {"--histories", true},
                                                   {"--paths", false},
                                                   {"--shard", true},
                                                   {"--edition", true},
                                                   {"--dbt-kerma", true},
                                                   {"--uncertainties", true},
                                                   {"--reference-levels", true},
                                                   {"--help", false, "-h"}});
        if (edition && *edition != "en" && *edition != "ja")
            throw CommandLineError(CommandLineFault::BadChoice, "--edition", *edition, "en, ja");
        if (auto v = line->value("--dbt-kerma"); v && *v != "scan" && *v != "projection")
            throw CommandLineError(CommandLineFault::BadChoice, "--dbt-kerma", *v, "scan, projection");
    } catch (const CommandLineError& bad) {
        return refuse(commandLineMessage(bad, cl));
    }
    if (line->has("--help")) {
        p.out = std::string(t.usage.view()) + "\n";
        return p;
    }
    if (!line->value("--out")) return refuse(t.needsOut.str());
    if (line->operands().empty()) return refuse(t.needsPath.str());

    AuditOptions o;
    o.edition = lang;
    o.threads = std::max(1u, std::thread::hardware_concurrency());
    for (const std::string& path : line->operands())
        o.paths.push_back(path);
    o.out = *line->value("--out");
    // Without --data, a folder with no equipment.dat of its own takes the one shipped with the programs.
    std::error_code noData;
    if (auto v = line->value("--data"))
        o.data = *v;
    else if (!fs::exists(o.data / "equipment.dat", noData))
        o.data = shippedDataDir();
    o.cache = line->value("--cache") ? fs::path(*line->value("--cache")) : o.out / "factors";
    if (auto v = line->value("--output")) o.output = *v;
    if (auto v = line->value("--hvl")) o.hvl = *v;
    if (auto v = line->value("--uncertainties")) o.uncertainties = *v;
    if (auto v = line->value("--reference-levels")) o.referenceLevels = *v;
    o.withPaths = line->has("--paths");
    if (line->value("--dbt-kerma") == "projection") o.dbtKerma = DbtKerma::Projection;
    for (const auto& [name, range] :
         {std::pair<const char*, NumberRange>{"--threads", {1, double(kMaxThreads)}},
          std::pair<const char*, NumberRange>{"--histories", {1, kMaxHistories}}}) {
        if (auto v = line->value(name)) {
            const TypedNumber n = readTypedNumber(*v, range);
            if (!n.ok() || n.value != std::floor(n.value))
                return refuse(fillIn(t.badNumber.str(), {{"{option}", name}, {"{text}", shownText(*v)}}),
                              false);
            if (std::string(name) == "--threads")
                o.threads = static_cast<unsigned>(n.value);
            else
                o.histories = n.value;
        }
    }
    if (auto v = line->value("--shard")) {
        const size_t slash = v->find('/');
        const TypedNumber i = readTypedNumber(v->substr(0, slash), {1, double(kMaxShards)});
        const TypedNumber n =
            readTypedNumber(slash == std::string::npos ? "" : v->substr(slash + 1), {1, double(kMaxShards)});
        if (!i.ok() || !n.ok() || i.value > n.value || i.value != std::floor(i.value) ||
            n.value != std::floor(n.value))
            return refuse(fillIn(t.badShard.str(), {{"{text}", shownText(*v)}}), false);
        o.shard = static_cast<int>(i.value) - 1, o.shards = static_cast<int>(n.value);
    }
    p.options = std::move(o);
    return p;
}

} // namespace kv::audit
