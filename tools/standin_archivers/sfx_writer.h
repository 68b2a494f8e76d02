// The second step of the self-extracting formats: our extractor program with the
// archive appended, written as "<archive's base name>.exe" into a folder.
#pragma once

#include <string>

enum class SfxArchive { kLha, kCab };

// Writes folder + base name of archivePath + ".exe"; folder ends in a backslash.
// The archive must be of the kind given; a file already there is left alone
// (kStandinTargetExists). A StandinResult.
int WriteSelfExtractor(const std::string& archivePath, SfxArchive kind, const std::string& folder);
