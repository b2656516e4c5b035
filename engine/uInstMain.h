// The setup program's main form, the backdrop behind the install dialogs,
// which carries the whole install project in its stream, and the program's
// main routine.
#pragma once
#include <windows.h>

#include <string>

#include "Controls.h"

class TImage;

inline constexpr const char* kApplicationTitle = "Installation of Kelvo Vantlex Console for NetWare";
inline constexpr const char* kPrerequisiteLibrary = "CALWIN32.DLL";
inline constexpr const char* kShellFolderLibrary = "SHFOLDER.DLL";
// The warning shown when the network client library is missing.
inline constexpr const char* kPrerequisiteWarning =
    "In order to install Kelvo Vantlexconsole you need to have Novell Client installed.\r"
    "The latest client software can be downloaded from:\r"
    "http://download.novell.com/";

// Asked when the user cancels the installation.
inline constexpr const char* kCancelQuestion =
    "Setup is not complete. If you quit now, the program will not be installed.\r\r"
    "Do you want to cancel the installation?";

class TmainForm : public TForm {
public:
  // Streams the project from the TMAINFORM resource.
  explicit TmainForm(TComponent* owner);
  const char* ClassName() const override { return "TmainForm"; }

  void FormCreate(TComponent* sender);
  void FormActivate(TComponent* sender);

  TImage* LogoImage() const;
};

// The dialog background colour for a display of the given depth (bits per
// pixel times planes): 45 % of the way from the window colour towards the
// button-face colour above 8 bits, else the button-face colour.
TColor PageColorFor(int displayBits, COLORREF window, COLORREF buttonFace);

// Registers every class a project stream may name.
void RegisterEngineClasses();

// The main routine: application, title, main form, message loop. Returns the
// process exit code.
int RunSetupProgram();
