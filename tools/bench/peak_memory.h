// The running process's own peak memory (resident set, or working set on Windows), in KB;
// -1 when it cannot be told. One file per platform.
#pragma once

long long OwnPeakMemoryKb();
