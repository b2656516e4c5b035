// The setup program's main form, the backdrop behind the install dialogs,
// which carries the whole install project in its stream, and the program's
// main routine.
#pragma once
#include <windows.h>

#include <string>

#include "Controls.h"
#include "routines_Program.h"

class TImage;

inline constexpr const char* kApplicationTitle = "Installation of Kelvo Vantlex Console for NetWare";
inline constexpr const char* kPrerequisiteLibrary = "CALWIN32.DLL";
inline constexpr const char* kShellFolderLibrary = "SHFOLDER.DLL";
// The warning shown when the network client library is missing.
inline constexpr const char* kPrerequisiteWarning =
    "In order to install Kelvo Vantlexconsole you need to have Novell Client installed.\r"
    "The latest client software can be downloaded from:\r"
    "http://download.novell.com/";

class TmainForm : public TForm {
public:
  // Streams the project from the TMAINFORM resource.
  explicit TmainForm(TComponent* owner);
  const char* ClassName() const override { return "TmainForm"; }

  void FormCreate(TComponent* sender);
  void FormActivate(TComponent* sender);

  TImage* LogoImage() const;
};

// The main routine: application, title, main form, message loop. Returns the
// process exit code.
int RunSetupProgram();
