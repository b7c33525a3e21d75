#pragma once
// Files being written are first written under a temporary name beside the
// target. The name tells which process on which machine writes it, so that a
// later program can clear away what a killed writer left, and only that.
#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

// ".<name>.<pid>@<host>.XXXXXX": a template for mkstemp. Never ends in the
// target's extension, so a folder listing by extension never shows it.
std::string temporaryTemplate(std::string_view name);

// Removes the temporaries in `dir` left by writers of this machine that have
// ended. Files of running writers, of other machines and any other file stay.
// With `forName`, only the temporaries of that file. Returns how many were
// removed; never throws.
int removeAbandonedTemporaries(const std::filesystem::path& dir, std::string_view forName = {});

// The writer a temporary name stands for, when it is one.
struct TemporaryWriter {
    long pid = 0;
    std::string host;
};
bool parseTemporaryName(std::string_view fileName, TemporaryWriter& writer);

// This process as the names of its temporaries tell it: "<pid>@<host>".
std::string writerTag();
// Whether the writer of a tag ran on this machine and has ended. One of
// another machine cannot be asked, and counts as running.
bool writerEnded(std::string_view tag);

} // namespace kv
