// Program entry of the generic setup program.
#include <windows.h>

#include "uGenericMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunGenericSetupProgram(); }
