// LHA archives of our own making: level-2 headers, members stored without compression
// (-lh0-), folders as -lhd- entries. That is all UNLHA32's stand-in needs to write.
#pragma once

#include "member_list.h"

#include <string>
#include <vector>

// Writes members to a new archive at path; a StandinResult.
int WriteLhaArchive(const std::string& path, const std::vector<Member>& members);
