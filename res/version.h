// The program's version, written only here: the version resource, the window and About box
// texts, the manifest (CMake reads QUILLET_VERSION_NUMBERS), the release package's name and
// the tests all take it from this file.
#pragma once

#define QUILLET_VERSION_NUMBERS 1, 0, 3, 0
#define QUILLET_VERSION_TEXT "1.03"
