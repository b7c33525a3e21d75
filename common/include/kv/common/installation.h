#pragma once
// Where this program and the data shipped with it lie, found from the
// program's own file and never from a path fixed at build time: installed
// (or unpacked anywhere) the programs are in <prefix>/bin and the data in
// <prefix>/share/kelvane-vesk; built, both are in the run folder.
#include <filesystem>
#include <string_view>

namespace kv {

// The folder of the running program's file (empty when the system cannot tell).
std::filesystem::path programDir();

// <programDir>/../share/kelvane-vesk when it is there, else programDir().
std::filesystem::path shippedDataDir();

// True when the shipped data lie apart from the programs: an installed tree,
// whose users keep their files in a working folder of their own.
bool isInstalled();

// The folder to read the shipped, read-only data file `name` (MUs12.dat, a
// BR12 composition) from: the working folder when it holds an entry of that
// name, so that a user's own copy is used, else the shipped data when they
// hold it, else the working folder (whose reader then names the file missing).
std::filesystem::path dataFileDir(const std::filesystem::path& workDir, std::string_view name);

// The data folder of a tool run without --data in `workDir`: the folder
// itself when it holds an equipment.dat, else the shipped data when they
// hold one (a new, empty working folder), else `workDir`.
std::filesystem::path toolDataDir(const std::filesystem::path& workDir);

} // namespace kv
