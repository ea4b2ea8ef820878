// The two routes a site reaches a folder by in tests, as the programs take
// them: the build (orvana-cli build, the desktop's write) and Generate
// followed by SiteImport.
#pragma once

#include <string>

#include "engine/FileSystem.h"
#include "engine/SiteBuild.h"
#include "engine/SiteGenerator.h"

namespace orvana::test {

// Builds the generator's site into the folder (as the platform names it).
inline TSiteBuildResult BuildInto(TSiteGenerator& g, const std::string& folder,
                                  TFileSystem& fs = RealFileSystem(),
                                  TSiteBuildOptions options = {}) {
  options.folder = folder;
  return BuildSite(g, fs, options);
}

// Generates, then writes the site of that generation into the folder (an
// ASCII path, the same in both namings) with SiteImport.
inline void GenerateThenImport(TSiteGenerator& g, const std::string& folder) {
  g.Generate();
  g.SetSavePath(folder);
  g.SiteImport();
}

}  // namespace orvana::test
