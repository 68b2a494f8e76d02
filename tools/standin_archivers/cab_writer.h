// Cabinets of our own making: one folder, no compression, files only (a cabinet holds
// no folder entries; names carry the levels). That is all CAB32's stand-in needs to write.
#pragma once

#include "member_list.h"

#include <string>
#include <vector>

// Writes the file members to a new cabinet at path; a StandinResult.
int WriteCabArchive(const std::string& path, const std::vector<Member>& members);
