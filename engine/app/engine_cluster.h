#pragma once
// The console side of an engine run, shared by the one-process run and the
// run spread over the processes that mpirun starts.
#include "kv/engine/engine_options.h"
#include "kv/engine/engine_session.h"

#include <exception>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kv::engine {

// The engine's texts with %1, %2 ... filled in, as QString::arg does for the window.
std::string fillText(std::string_view pattern, std::initializer_list<std::string> args);
// Why a run cannot start, in the edition the engine runs in.
std::string startRefusal(const std::exception& e);
std::string progressLine(const SessionProgress& p);
// What the console says once the session has saved.
std::string savedText(const EngineSession& session);
uint64_t freshSeed();
// Ctrl+C, SIGTERM and SIGHUP ask for "Stop and save".
void catchInterrupts();
bool interruptRequested();
// How many of those signals came so far.
unsigned interruptCount();

// Set when mpirun (or a Slurm step) started this process as one of several.
bool startedAsOneOfMany();
// The run spread over the processes: each runs its share of the batches on
// its cores, process 0 shows the progress and writes the result file.
int runShared(const std::filesystem::path& dir, ExposureKind kind, const EngineOptions& opt);

} // namespace kv::engine
