// The program's entry point hands over to the framework.
#include "framework/afxwin.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) { return AfxWinMain(hInstance); }
