// A library that loads but offers none of the archiver entry points.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI NotAnArchiver() { return 0; }
