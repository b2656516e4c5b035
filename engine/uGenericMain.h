// The generic setup program: the engine with no product of its own.
//
// Its own arguments are "*" switches of letters the install does not use,
// which the install's command line ignores:
//   *p<project file>  the project (a text form) streamed instead of the
//                     program's TMAINFORM resource
//   *o<directory>     with -b: where setup.exe (and setup.1, files.1) go
//   *g<folder>        writes a starter project from the folder to *p
//   *a<name>          the product name of the starter project
//   *l<picture>       the starter project's logo (64 x 64)
//   *w<picture>       the starter project's side picture of the dialogs
//   *t<url>           with -b: the time-stamp server of the signatures
//   *z<directory>     with -b: the signing helper's directory (routines_Sign.h);
//                     without it a project with SignCode signs with the
//                     platform's signing tool
// A copy of the program that carries a project (the one a build puts into
// setup.1) streams its TMAINFORM resource and installs as any setup program.
#pragma once
#include <string>

#include "Controls.h"
#include "FormStream.h"

inline constexpr const char* kGenericTitle = "Setup";

// The generic main form: what the project streams, the engine's own
// pictures where the project names none, and no handlers of its own.
class TGenericMainForm : public TForm {
public:
  TGenericMainForm(TComponent* owner, const TFormObject& project);
  const char* ClassName() const override { return "TmainForm"; }
  void Loaded() override;

private:
  bool givesLogo_ = false;
  bool givesSidePicture_ = false;
};

// The main routine of the generic program. Returns the process exit code.
int RunGenericSetupProgram();
