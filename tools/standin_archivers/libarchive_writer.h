// ZIP and 7z archives, written through libarchive.
#pragma once

#include "member_list.h"

#include <string>
#include <vector>

enum class LibarchiveFormat { kZip, kSevenZip };

// Writes members to a new archive at path; a StandinResult.
int WriteLibarchiveArchive(const std::string& path, LibarchiveFormat format,
                           const std::vector<Member>& members);
