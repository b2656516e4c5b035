// Starts another program and waits until it is ready for input.
#pragma once
#include <cstdint>
#include <string>

#include "Classes.h"

enum TplShowMode : std::uint8_t { smNormal = 0, smMaximized = 1, smMinimized = 2, smHide = 3 };

// The window show command of a show mode.
int ShowCommandOf(TplShowMode mode);
// The launcher's message for a process-creation error code.
const char* LaunchErrorMessage(unsigned long code);

class TProgramLauncher : public TComponent {
public:
  explicit TProgramLauncher(TComponent* owner);
  const char* ClassName() const override { return "TProgramLauncher"; }

  // Starts FileName with Parameters as its whole command line and returns
  // once the program waits for input (at once for console programs).
  // Raises EProgramLauncherFailed when it cannot be started.
  void Run();

  std::string Action = "Open";  // stored only
  std::string FileName;
  std::string Parameters;
  TplShowMode ShowMode = smNormal;
  std::string StartDir;  // stored only
  int Timeout = -1;      // stored only
  bool Wait = true;      // stored only
};
