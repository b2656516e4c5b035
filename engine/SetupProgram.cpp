// Program entry of the setup program.
#include <windows.h>

#include "uInstMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetupProgram(); }
