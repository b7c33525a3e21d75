#pragma once
// The one reading of a program's arguments, so that every program takes
// "--opt=value" and "--opt value" alike, options in any order and among the
// operands, and names what it does not know. "--" ends the options.
#include "kv/common/typed_number.h"
#include "kv/texts/command_line.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct OptionSpec {
    OptionSpec(std::string optionName, bool value, std::string shortName = {})
        : name(std::move(optionName)), takesValue(value), alias(std::move(shortName)) {}
    std::string name; // "--out"
    bool takesValue;
    std::string alias; // "-h", or empty
};

enum class CommandLineFault {
    UnknownOption,   // "--nope"
    MissingValue,    // "--out" last, or followed by another option
    UnexpectedValue, // "--json=yes"
    Repeated,        // "--kv 28 --kv 32": which one was meant?
    Conflict,        // two options that exclude each other
    Operand,         // an argument where the program takes none
    BadChoice,       // "--edition fr" where en or ja is wanted
    BadNumber,       // a number option's value refused; `text` holds the refusal, worded
};

struct CommandLineError : std::runtime_error {
    CommandLineError(CommandLineFault f, std::string option, std::string text = {}, std::string choices = {});
    CommandLineFault fault;
    std::string option;  // as the user wrote it, without "=value"
    std::string text;    // the value in question, or the other option of a conflict
    std::string choices; // what a BadChoice takes: "en or ja"
};

class CommandLine {
  public:
    // Throws CommandLineError.
    CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& options);

    bool has(std::string_view name) const;
    std::optional<std::string> value(std::string_view name) const;
    // The arguments that are no option, in their order.
    const std::vector<std::string>& operands() const { return operands_; }
    // Throws a Conflict when both were given.
    void refuseTogether(std::string_view a, std::string_view b) const;
    // Throws an Operand fault naming the first operand beyond `most`.
    void refuseOperandsBeyond(size_t most) const;
    // The value of `name` among `args` before they are read, so that a
    // refusal of the rest can already be worded in the edition asked for.
    static std::optional<std::string> peek(const std::vector<std::string>& args, std::string_view name);

  private:
    struct Given {
        std::string name, value;
    };
    std::vector<Given> given_;
    std::vector<std::string> operands_;
};

// The edition's message for a refused command line; the program adds how to
// learn more (texts::CommandLineTexts::seeHelp or its usage).
std::string commandLineMessage(const CommandLineError& e, const texts::CommandLineTexts& t);

// The value of a number option, read as a typed number: the whole text
// (full-width digits as what they spell) and within `range`. Throws a
// BadNumber naming the option, the text and what is wanted, in edition `e`.
double numberOption(std::string_view option, std::string_view text, NumberRange range, std::string_view unit,
                    texts::Edition e);
// The same for a whole number from `min` to `max` (seeds beyond a double's
// exact integers included).
uint64_t wholeNumberOption(std::string_view option, std::string_view text, uint64_t min, uint64_t max,
                           texts::Edition e);

} // namespace kv
