// The program's version, for the version resource and the release package's name
// (scripts/package reads QUILLET_VERSION_TEXT from here).
#pragma once

#define QUILLET_VERSION_NUMBERS 1, 0, 3, 0
#define QUILLET_VERSION_TEXT "1.03"
