// Results of the stand-ins' command entries. The program never reads them; tests do.
#pragma once

enum StandinResult {
  kStandinOk = 0,
  kStandinUnknownCommand = 0x8001, // not one of the command lines the program sends
  kStandinSourceMissing = 0x8002,  // a file or folder to archive is not there
  kStandinReadFailed = 0x8003,     // an archive or a source file could not be read
  kStandinWriteFailed = 0x8004,    // an archive or an extracted file could not be written
  kStandinTooLarge = 0x8005,       // more than the format can hold
  kStandinTargetExists = 0x8006,   // the self-extracting program would replace a file
};
