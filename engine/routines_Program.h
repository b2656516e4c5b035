// What every setup program shares: the class registrations, the dialog
// colour, pictures from the program's resources and the main routine.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "Controls.h"

class TPicture;

// Asked when the user cancels the installation.
inline constexpr const char* kCancelQuestion =
    "Setup is not complete. If you quit now, the program will not be installed.\r\r"
    "Do you want to cancel the installation?";

// The dialog background colour for a display of the given depth (bits per
// pixel times planes): 45 % of the way from the window colour towards the
// button-face colour above 8 bits, else the button-face colour.
TColor PageColorFor(int displayBits, COLORREF window, COLORREF buttonFace);
// Sets the dialog colour for this display and lets Cancel ask before the
// installation is abandoned.
void PrepareInstallDialogs();

// Registers every class a project stream may name.
void RegisterEngineClasses();

// Loads a picture stored as an RCDATA resource of the program; a picture
// that cannot be read is logged and left as it was.
void LoadPictureResource(TPicture& picture, const char* name);

// The main routine: application, title, main form (made by create), message
// loop. Returns the process exit code. A main form that cannot be made is
// reported through failed (a box when none is given).
int RunProgram(const std::string& title, const std::function<TForm*()>& create,
               const std::function<void(const std::exception&)>& failed = nullptr);
