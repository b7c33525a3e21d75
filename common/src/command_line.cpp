#include "kv/common/command_line.h"

#include "kv/common/typed_number.h"

#include <algorithm>
#include <charconv>

namespace kv {

namespace {

const OptionSpec* find(const std::vector<OptionSpec>& options, std::string_view name) {
    for (const OptionSpec& o : options)
        if (o.name == name || (!o.alias.empty() && o.alias == name)) return &o;
    return nullptr;
}

} // namespace

CommandLineError::CommandLineError(CommandLineFault f, std::string opt, std::string value, std::string wanted)
    : std::runtime_error(opt), fault(f), option(std::move(opt)), text(std::move(value)),
      choices(std::move(wanted)) {}

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            operands_.insert(operands_.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (a.size() < 2 || a[0] != '-') {
            operands_.push_back(a);
            continue;
        }
        const size_t eq = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
        const std::string name = a.substr(0, eq);
        const OptionSpec* spec = find(options, name);
        if (!spec) throw CommandLineError(CommandLineFault::UnknownOption, name);
        std::string value;
        if (eq != std::string::npos) {
            value = a.substr(eq + 1);
            if (!spec->takesValue) throw CommandLineError(CommandLineFault::UnexpectedValue, name, value);
        } else if (spec->takesValue) {
            // A following option is never taken for a value ("--out --json"),
            // while a negative number is ("--tilt -2.5").
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
                throw CommandLineError(CommandLineFault::MissingValue, name);
            value = args[++i];
        }
        auto earlier =
            std::find_if(given_.begin(), given_.end(), [&](const Given& g) { return g.name == spec->name; });
        if (earlier != given_.end()) {
            if (spec->takesValue && earlier->value != value)
                throw CommandLineError(CommandLineFault::Repeated, name, value);
            continue;
        }
        given_.push_back({spec->name, std::move(value)});
    }
}

bool CommandLine::has(std::string_view name) const {
    return std::any_of(given_.begin(), given_.end(), [&](const Given& g) { return g.name == name; });
}

std::optional<std::string> CommandLine::value(std::string_view name) const {
    for (const Given& g : given_)
        if (g.name == name) return g.value;
    return std::nullopt;
}

void CommandLine::refuseTogether(std::string_view a, std::string_view b) const {
    if (has(a) && has(b)) throw CommandLineError(CommandLineFault::Conflict, std::string(a), std::string(b));
}

std::optional<std::string> CommandLine::peek(const std::vector<std::string>& args, std::string_view name) {
    const std::string joined = std::string(name) + "=";
    for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == name && i + 1 < args.size()) return args[i + 1];
        if (args[i].rfind(joined, 0) == 0) return args[i].substr(joined.size());
    }
    return std::nullopt;
}

void CommandLine::refuseOperandsBeyond(size_t most) const {
    if (operands_.size() > most) throw CommandLineError(CommandLineFault::Operand, operands_[most]);
}

std::string commandLineMessage(const CommandLineError& e, const texts::CommandLineTexts& t) {
    std::string s;
    switch (e.fault) {
    case CommandLineFault::UnknownOption:
        s = t.unknownOption.str();
        break;
    case CommandLineFault::MissingValue:
        s = t.missingValue.str();
        break;
    case CommandLineFault::UnexpectedValue:
        s = t.unexpectedValue.str();
        break;
    case CommandLineFault::Repeated:
        s = t.repeated.str();
        break;
    case CommandLineFault::Conflict:
        s = t.conflict.str();
        break;
    case CommandLineFault::Operand:
        s = t.operand.str();
        break;
    case CommandLineFault::BadChoice:
        s = t.badChoice.str();
        break;
    case CommandLineFault::BadNumber:
        return e.text;
    }
    const std::string text = shownText(e.text);
    return fillIn(
        s,
        {{"{option}", shownText(e.option)}, {"{text}", text}, {"{other}", text}, {"{choices}", e.choices}});
}

double numberOption(std::string_view option, std::string_view text, NumberRange range, std::string_view unit,
                    texts::Edition e) {
    const TypedNumber n = readTypedNumber(text, range);
    if (!n.ok())
        throw CommandLineError(CommandLineFault::BadNumber, std::string(option),
                               typedNumberMessage(n, option, unit, texts::typedNumberTextsOf(e)));
    return n.value;
}

uint64_t wholeNumberOption(std::string_view option, std::string_view text, uint64_t min, uint64_t max,
                           texts::Edition e) {
    const TypedNumber n = readTypedNumber(text);
    if (!n.ok())
        throw CommandLineError(CommandLineFault::BadNumber, std::string(option),
                               typedNumberMessage(n, option, "", texts::typedNumberTextsOf(e)));
    uint64_t v = 0;
    const char* end = n.text.data() + n.text.size();
    auto [p, ec] = std::from_chars(n.text.data(), end, v);
    if (ec != std::errc() || p != end || v < min || v > max)
        throw CommandLineError(
            CommandLineFault::BadNumber, std::string(option),
            fillIn(texts::commandLineTextsOf(e).wholeNumber.str(), {{"{option}", option},
                                                                    {"{min}", std::to_string(min)},
                                                                    {"{max}", std::to_string(max)},
                                                                    {"{text}", n.shown}}));
    return v;
}

} // namespace kv
