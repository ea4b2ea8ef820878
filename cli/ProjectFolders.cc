#include "cli/ProjectFolders.h"

#include <map>

#include "cli/CliError.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "project/ProjectDocument.h"

namespace orvana::cli {

std::filesystem::path ComparablePath(const std::string& utf8) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(utf8, error);
  if (error) path = utf8;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path.lexically_normal() : canonical;
}

std::optional<std::string> StoredFolder(const std::string& project) {
  TProjectDocument document;
  try {
    document.LoadFromFile(project);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return document.Generator().SavePath();
}

void RefuseSharedFolders(const std::vector<std::string>& projects) {
  std::map<std::filesystem::path, const std::string*> owners;
  for (const std::string& project : projects) {
    const std::optional<std::string> folder = StoredFolder(project);
    if (!folder || folder->empty()) continue;
    const std::filesystem::path key = ComparablePath(*folder);
    const auto [owner, fresh] = owners.emplace(key, &project);
    if (!fresh)
      throw EUsageError("\"" + AbsoluteUtf8Path(*owner->second) + "\" and \"" +
                            AbsoluteUtf8Path(project) + "\" both store the folder \"" +
                            key.string() + "\": built together, one site would overwrite the other",
                        /*hint=*/false);
  }
}

}  // namespace orvana::cli
