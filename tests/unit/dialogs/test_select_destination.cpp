// The destination page's Browse: the folder dialog opens on the destination,
// and the directory levels made for it go again.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "cmp_TTranslator.h"
#include "dlgcmp_TBaseDlg.h"
#include "ordlg_SelectDestination.h"
#include "routines_FileSystem.h"

namespace {

class TBrowseInstall : public TInstallContainer {
public:
  using TInstallContainer::TInstallContainer;
  int Rank() const override { return 0; }
};

// The folder dialog of this process: a visible dialog window with a tree view.
HWND FolderDialog() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        char cls[32] = {};
        GetClassNameA(w, cls, sizeof(cls));
        if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || std::string(cls) != "#32770") return TRUE;
        if (!FindWindowExA(w, nullptr, "SysTreeView32", nullptr)) return TRUE;
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

TEST(SelectDestination, BrowseRemovesEveryEmptyLevelItMadeForTheFolderDialog) {
  RegisterDialogManagerClasses();
  RegisterTranslatorClasses();
  testsupport::TTempDir temp("browse");
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* install = new TBrowseInstall(owner.get());
  install->SetName("Install1");
  CurrentInstall = install;
  TSelectDestinationForm page(nullptr);
  page.InitializeDialog();

  // Browse on dest; the dialog is modal on this thread, another thread plays
  // the user: it notes whether dest is there, does meanwhile, and cancels.
  auto browse = [&](const std::string& dest, const std::function<void()>& meanwhile) {
    install->SetDestDir(dest);
    std::atomic<bool> done{false};
    bool shown = false, there = false;
    std::thread user([&] {
      const DWORD start = GetTickCount();
      HWND dialog = nullptr;
      for (; !done && GetTickCount() - start < 60000; Sleep(20))
        if ((dialog = FolderDialog()) != nullptr) break;
      shown = dialog != nullptr;
      there = IsDirectory(dest);
      if (shown && meanwhile) meanwhile();
      while (!done) {
        if (HWND w = FolderDialog()) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        Sleep(20);
      }
    });
    page.BrowseBtnClick(nullptr);
    done = true;
    user.join();
    EXPECT_TRUE(shown) << "no folder dialog";
    EXPECT_TRUE(there) << dest << " was not there for the dialog";
  };

  const std::string top = temp.File("new");
  const std::string dest = top + "\\two\\three";
  browse(dest, nullptr);
  EXPECT_FALSE(IsDirectory(top)) << "a level made for the dialog stays";
  EXPECT_TRUE(IsDirectory(temp.Path()));

  // A level that got a file meanwhile stays, with those above it.
  browse(dest, [&] { testsupport::WriteFileText(top + "\\two\\kept.txt", "x"); });
  EXPECT_FALSE(IsDirectory(dest));
  EXPECT_TRUE(testsupport::FileExists(top + "\\two\\kept.txt"));
  CurrentInstall = nullptr;
}
