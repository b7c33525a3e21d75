#pragma once
// The folder the workbench is started in. Installed, each user has one of
// their own (~/Kelvane-Vesk unless another is chosen for the session) and
// nothing is written beside the programs; built, it is the run folder.
#include "kv/common/installation.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::launcher {

struct Places {
    std::filesystem::path workFolder;  // where the workbench starts unless the user chooses another
    std::filesystem::path shippedData; // where a folder's first equipment.dat comes from
};

// Installed: $HOME/Kelvane-Vesk and the installed data; built: the run folder for both.
Places defaultPlaces(bool installed = isInstalled());

// The folder of the first argument that is a file (a result the desktop opens with the
// launcher), made absolute: the session's working folder. Nothing for no such argument.
std::optional<std::filesystem::path> folderOfOpenedFile(const std::vector<std::string>& args);

struct FolderProblem {
    enum class Kind { CannotMake, NotAFolder, ReadOnly, CannotSeed } kind;
    std::string detail; // the system's words, when it gave any
};

// Makes `folder` ready for the workbench: made when missing, and given the
// shipped equipment.dat when it has none (the set-up screen and the spectrum
// tool read it before they first write it). nullopt when ready.
std::optional<FolderProblem> prepareWorkFolder(const std::filesystem::path& folder,
                                               const std::filesystem::path& shippedData);

} // namespace kv::launcher
