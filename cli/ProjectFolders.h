// The folders that projects store, compared before a build of several
// writes anything.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvana::cli {

// A path (UTF-8, as typed) made absolute and canonical as far as it exists,
// for comparing two names of one file or folder.
std::filesystem::path ComparablePath(const std::string& utf8);

// The output folder the project file (UTF-8, as typed) stores, as the
// platform names it; nullopt when the project cannot be read (its own build
// then says why).
std::optional<std::string> StoredFolder(const std::string& project);

// Refuses, before anything is built, projects of one command that store the
// same folder: built in turn, the later site would overwrite the earlier and
// its stale pages be mixed in. Throws EUsageError naming both projects and
// the folder. Projects with an empty folder, or that cannot be read, pass.
void RefuseSharedFolders(const std::vector<std::string>& projects);

}  // namespace orvana::cli
