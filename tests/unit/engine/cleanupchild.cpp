// Test helper that plays a setup program started with -c from the directory
// the loading program unpacked it into: "cleanupchild <unpacked names...>"
// prepares the clean-up of its own directory, starts the batch hidden as the
// install component does when it is destroyed, and exits. Exit code 0 when a
// batch was started, 1 when the directory was refused, 2 when the batch could
// not be started.
#include <windows.h>

#include <string>
#include <vector>

#include "cmp_TProgramLauncher.h"
#include "exceptions_Tarnwick.h"
#include "routines_Cleanup.h"

int main(int argc, char** argv) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof(self));
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) names.push_back(argv[i]);
  const std::string batch = PrepareProgramDirCleanup(self, names);
  if (batch.empty()) return 1;
  try {
    TProgramLauncher launcher(nullptr);
    launcher.FileName = batch;
    launcher.ShowMode = smHide;
    launcher.Run();
  } catch (const std::exception&) {
    return 2;
  }
  // Still running for a moment while the batch starts: the batch must wait.
  Sleep(1500);
  return 0;
}
