#pragma once

// The work that may end in a library longjmp runs in a frame of its own, never inlined into
// the function that holds the recovery point, so none of its variables can be clobbered.
#if defined(__GNUC__) || defined(__clang__)
#define QUILLET_NOINLINE __attribute__((noinline))
#else
#define QUILLET_NOINLINE
#endif
