// Every command a stand-in receives is appended to the file named by
// QUILLET_ARCHIVER_LOG, so tests can see exactly what the program sent.
#pragma once

// Appends "<entry>\t<commandLine>\n" to the log; does nothing when the variable is unset.
void LogCommand(const char* entry, const char* commandLine);
