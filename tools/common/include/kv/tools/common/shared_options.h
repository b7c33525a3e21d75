#pragma once
// The options every command-line tool shares, read one way with one set of
// limits (kv/common/constants.h): --edition, --threads, --shard, --histories
// and --help (--version is answered before, by kv::beginProgram).
//
//   const texts::Edition lang = editionAsked(args);        // before anything else
//   CommandLine line(args, withSharedOptions({{"--out", true}}, {SharedOption::Threads}));
//   refuseUnknownEdition(line);
//   std::optional<unsigned> threads = threadsGiven(line, lang);
//
// A refusal is a CommandLineError worded by commandLineMessage; a tool with
// words of its own for one takes the option from CommandLineError::option.
#include "kv/common/command_line.h"
#include "kv/texts/command_line.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kv::tools {

enum class SharedOption { Edition, Threads, Shard, Histories, Help };

// `own` with the specs of the shared options named after it.
std::vector<OptionSpec> withSharedOptions(std::vector<OptionSpec> own,
                                          std::initializer_list<SharedOption> shared);

// The edition --edition asks for, read before the rest of the line so that
// its refusals are worded in it; English unless it says "ja".
texts::Edition editionAsked(const std::vector<std::string>& args);
// A BadChoice for an --edition other than en or ja.
void refuseUnknownEdition(const CommandLine& line);

// --threads N: a whole number from 1 to kMaxThreads.
std::optional<unsigned> threadsGiven(const CommandLine& line, texts::Edition e);
// The threads of a run without --threads: every core.
unsigned everyCore();

// --shard I/N: this process's share I of N (1 <= I <= N <= kMaxShards).
struct Shard {
    int index = 1, count = 1;
};
std::optional<Shard> shardGiven(const CommandLine& line, texts::Edition e);

// --histories N: a whole number from 1 to kMaxHistories, as a run file
// writes it (1e9, 2.5e8 and full-width digits too).
std::optional<double> historiesGiven(const CommandLine& line, texts::Edition e);

} // namespace kv::tools
