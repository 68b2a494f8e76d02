// "a" into an archive the way users' archivers do it: an archive already there keeps its
// members and gains the new ones, a member of the same name being replaced.
#pragma once

#include "member_list.h"

#include <functional>
#include <string>
#include <vector>

// Writes members to a new archive at path; a StandinResult.
typedef std::function<int(const std::string& path, const std::vector<Member>& members)>
    ArchiveWriter;

// Writes members, after those of the archive of the kind already at path that no new member
// replaces (names compared without regard to case), into a file beside path that takes its
// place only when complete. An archive there that cannot be read stays as it was. A
// StandinResult.
int AddToArchive(const std::string& path, int kind, const std::vector<Member>& members,
                 const ArchiveWriter& write);
