#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "WinHandles.h"
#include "exceptions_Tarnwick.h"
#include "routines_FileSystem.h"
#include "routines_Strings.h"

using namespace testsupport;

namespace {

// A drive letter that names no drive in this prefix.
std::string UnusedDrive() {
  DWORD drives = GetLogicalDrives();
  for (char d = 'Q'; d <= 'Y'; ++d)
    if (!(drives & (1u << (d - 'A')))) return std::string(1, d) + ":";
  return std::string();
}

// Restores the current directory when a test changed it.
class TCurrentDirectory {
public:
  explicit TCurrentDirectory(const std::string& dir) {
    char buf[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, buf);
    old_ = buf;
    SetCurrentDirectoryA(dir.c_str());
  }
  ~TCurrentDirectory() { SetCurrentDirectoryA(old_.c_str()); }

private:
  std::string old_;
};

std::string WindowText(HWND w) {
  char buf[MAX_PATH * 2] = {};
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buf;
}

std::string ClassOf(HWND w) {
  char buf[64] = {};
  GetClassNameA(w, buf, sizeof(buf));
  return buf;
}

RECT BoundsOf(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

// The visible dialog windows (#32770) of this process.
std::vector<HWND> ProcessDialogs() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && ClassOf(w) == "#32770")
          reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The folder dialog of this process: a dialog window with a tree view.
HWND FolderDialog() {
  for (HWND w : ProcessDialogs())
    if (FindWindowExA(w, nullptr, "SysTreeView32", nullptr)) return w;
  return nullptr;
}

}  // namespace

TEST(IsDirectory, TellsDirectoriesFromFilesAndMissingPaths) {
  TTempDir dir("isdir");
  WriteFileText(dir.File("f.txt"), "x");
  EXPECT_TRUE(IsDirectory(dir.Path()));
  EXPECT_TRUE(IsDirectory(dir.Path() + "\\"));
  EXPECT_FALSE(IsDirectory(dir.File("f.txt")));
  EXPECT_FALSE(IsDirectory(dir.File("missing")));
  EXPECT_FALSE(IsDirectory(""));
}

TEST(CreateDirectoryTree, CreatesEveryMissingLevel) {
  TTempDir dir("tree");
  EXPECT_TRUE(CreateDirectoryTree(dir.File("a\\b\\c")));
  EXPECT_TRUE(IsDirectory(dir.File("a\\b\\c")));
  // Trailing backslashes, doubled separators and forward slashes.
  EXPECT_TRUE(CreateDirectoryTree(dir.File("d\\e\\")));
  EXPECT_TRUE(IsDirectory(dir.File("d\\e")));
  EXPECT_TRUE(CreateDirectoryTree(dir.File("f\\\\g")));
  EXPECT_TRUE(IsDirectory(dir.File("f\\g")));
  EXPECT_TRUE(CreateDirectoryTree(dir.Path() + "/h/i"));
  EXPECT_TRUE(IsDirectory(dir.File("h\\i")));
  // The long-path form.
  EXPECT_TRUE(CreateDirectoryTree("\\\\?\\" + dir.File("j\\k")));
  EXPECT_TRUE(IsDirectory(dir.File("j\\k")));
  // Relative to the current directory.
  {
    TCurrentDirectory cd(dir.Path());
    EXPECT_TRUE(CreateDirectoryTree("rel\\x"));
  }
  EXPECT_TRUE(IsDirectory(dir.File("rel\\x")));
}

TEST(CreateDirectoryTree, LeavesExistingDirectoriesAndTheirFilesAlone) {
  TTempDir dir("treeexist");
  ASSERT_TRUE(CreateDirectoryTree(dir.File("a\\b")));
  WriteFileText(dir.File("a\\b\\keep.txt"), "kept");
  EXPECT_TRUE(CreateDirectoryTree(dir.File("a\\b")));
  EXPECT_TRUE(CreateDirectoryTree(dir.File("a")));
  EXPECT_EQ(ReadFileText(dir.File("a\\b\\keep.txt")), "kept");
  EXPECT_TRUE(CreateDirectoryTree("C:\\"));
  EXPECT_TRUE(CreateDirectoryTree("C:"));
}

TEST(CreateDirectoryTree, FailsWithoutHarmWhenAFileIsInTheWay) {
  TTempDir dir("treefile");
  WriteFileText(dir.File("blocker"), "data");
  EXPECT_FALSE(CreateDirectoryTree(dir.File("blocker")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryTree(dir.File("blocker\\sub\\deeper")));
  EXPECT_EQ(ReadFileText(dir.File("blocker")), "data");
  EXPECT_FALSE(IsDirectory(dir.File("blocker\\sub")));
}

TEST(CreateDirectoryTree, RefusesBlankPathsAndMissingDrives) {
  EXPECT_FALSE(CreateDirectoryTree(""));
  EXPECT_FALSE(CreateDirectoryTree("   "));
  std::string drive = UnusedDrive();
  ASSERT_FALSE(drive.empty());
  EXPECT_FALSE(CreateDirectoryTree(drive + "\\a\\b"));
  EXPECT_FALSE(CreateDirectoryTree(drive + "\\"));
  EXPECT_FALSE(IsDirectory(drive + "\\a"));
  // A share that does not exist is never created as a directory.
  EXPECT_FALSE(CreateDirectoryTree("\\\\nosuchserver\\nosuchshare\\a"));
}

TEST(FileAttributes, EachFlagReachesTheFileAndReadsBack) {
  TTempDir dir("attr");
  const std::string file = dir.File("f.txt");
  WriteFileText(file, "x");
  // Files of the Wine prefix always report the archive attribute, so it
  // is left out of the comparisons. Offline and temporary are not kept by
  // every file system; setting them must not fail.
  const DWORD ignored = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
  auto attributesOf = [&] { return GetFileAttributesA(file.c_str()) & ~ignored; };
  for (TTrnwFileAttributes flag : {tfaHidden, tfaReadOnly, tfaSystem}) {
    SCOPED_TRACE(static_cast<int>(flag));
    SetFileAttributesFromSet(file, {flag});
    ASSERT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(PlatformToTrnwAttributes(attributesOf()), TTrnwFileAttributesSet{flag});
  }
  SetFileAttributesFromSet(file, {tfaArchive});
  EXPECT_EQ(GetFileAttributesA(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  SetFileAttributesFromSet(file, {tfaOffline, tfaTemporary});
  SetFileAttributesFromSet(file, {tfaReadOnly, tfaArchive, tfaCompressed});
  EXPECT_EQ(GetFileAttributesA(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  SetFileAttributesFromSet(file, {tfaHidden, tfaSystem, tfaReadOnly});
  EXPECT_EQ(attributesOf(), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  // The empty set and tfaNormal clear every other attribute.
  SetFileAttributesFromSet(file, {});
  EXPECT_EQ(attributesOf(), 0u);
  SetFileAttributesFromSet(file, {tfaHidden});
  SetFileAttributesFromSet(file, {tfaNormal});
  EXPECT_EQ(attributesOf(), 0u);
}

TEST(FileAttributes, MappingFollowsThePlatformTable) {
  EXPECT_EQ(TrnwAttributesToPlatform({tfaArchive}), 0x20u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaDirectory}), 0x10u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaHidden}), 0x2u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaNormal}), 0x80u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaOffline}), 0x1000u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaReadOnly}), 0x1u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaSystem}), 0x4u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaTemporary}), 0x100u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaCompressed}), 0x80u);
  EXPECT_EQ(TrnwAttributesToPlatform({tfaReadOnly, tfaSystem, tfaCompressed}), 0x5u);
  // Platform bits without a counterpart are dropped.
  EXPECT_EQ(PlatformToTrnwAttributes(0x1 | 0x800 | 0x2000), TTrnwFileAttributesSet{tfaReadOnly});
}

TEST(FileAttributes, SettingOnAMissingFileRaisesWithTheSystemText) {
  TTempDir dir("attrmiss");
  try {
    SetFileAttributesFromSet(dir.File("missing.txt"), {tfaReadOnly});
    FAIL() << "no exception";
  } catch (const IEfcSetAttributes& e) {
    const std::string prefix = "Cannot set file attributes. Error : ";
    ASSERT_EQ(e.Message().compare(0, prefix.size(), prefix), 0) << e.Message();
    EXPECT_GT(e.Message().size(), prefix.size());
  }
}

TEST(ReadFileAttributes, CarriesOverOnlyReadOnly) {
  TTempDir dir("readattr");
  const std::string file = dir.File("f.txt");
  WriteFileText(file, "x");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  TTrnwFileAttributesSet attributes{tfaSystem};
  ReadFileAttributes(file, attributes, nullptr);
  EXPECT_EQ(attributes, TTrnwFileAttributesSet{tfaReadOnly});

  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  attributes = {tfaReadOnly, tfaArchive};
  ReadFileAttributes(file, attributes, nullptr);
  EXPECT_TRUE(attributes.Empty());
}

TEST(ReadFileAttributes, LeavesTheSetWhenTheFileCannotBeOpened) {
  TTempDir dir("readattr2");
  TTrnwFileAttributesSet attributes{tfaHidden, tfaArchive};
  ReadFileAttributes(dir.File("missing.txt"), attributes, nullptr);
  EXPECT_EQ(attributes, (TTrnwFileAttributesSet{tfaHidden, tfaArchive}));

  // A file another handle holds without sharing.
  const std::string file = dir.File("busy.txt");
  WriteFileText(file, "x");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    TWinFile busy(CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(busy.Valid());
    ReadFileAttributes(file, attributes, nullptr);
    EXPECT_EQ(attributes, (TTrnwFileAttributesSet{tfaHidden, tfaArchive}));
  }
  ReadFileAttributes(file, attributes, nullptr);
  EXPECT_EQ(attributes, TTrnwFileAttributesSet{tfaReadOnly});
}

TEST(NearestExistingDirectory, WalksUpToTheFirstExistingDirectory) {
  TTempDir dir("nearest");
  WriteFileText(dir.File("f.txt"), "x");
  EXPECT_EQ(NearestExistingDirectory(dir.Path()), dir.Path());
  EXPECT_EQ(NearestExistingDirectory(dir.File("missing\\deeper")), dir.Path());
  EXPECT_EQ(NearestExistingDirectory(dir.File("missing\\deeper\\")), dir.Path());
  EXPECT_EQ(NearestExistingDirectory(dir.File("f.txt\\below")), dir.Path());
  EXPECT_EQ(NearestExistingDirectory("C:\\" + UniqueName("missing") + "\\deeper"), "C:");
  EXPECT_EQ(NearestExistingDirectory(""), "");
  EXPECT_EQ(NearestExistingDirectory("   "), "");
  EXPECT_EQ(NearestExistingDirectory(UniqueName("nobackslash")), "");
  std::string drive = UnusedDrive();
  EXPECT_EQ(NearestExistingDirectory(drive + "\\a\\b"), "");
}

TEST(LoadLibraryString, ReadsStringsOfALibrary) {
  const std::string lib = BinDir() + "\\twstrings.dll";
  ASSERT_TRUE(FileExists(lib));
  EXPECT_EQ(LoadLibraryString(lib, 100), "Create a new folder");
  EXPECT_EQ(LoadLibraryString(lib, 101), "Folder name %s");
  EXPECT_EQ(LoadLibraryString(lib, 4000), "A string with a number in a table block of its own");
  EXPECT_EQ(LoadLibraryString(lib, 102), "");
  EXPECT_EQ(LoadLibraryString(lib, 9999), "");
  EXPECT_EQ(LoadLibraryString(BinDir() + "\\nosuchlibrary.dll", 100), "");
  EXPECT_EQ(LoadLibraryString("", 100), "");
  // The library is unloaded again: it can be deleted afterwards.
  TTempDir dir("libstr");
  const std::string copy = dir.File("copy.dll");
  ASSERT_TRUE(CopyFileA(lib.c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(LoadLibraryString(copy, 100), "Create a new folder");
  EXPECT_TRUE(DeleteFileA(copy.c_str()));
}

TEST(MakeHardLink, LinksShareTheirContent) {
  TTempDir dir("hardlink");
  const std::string original = dir.File("original.txt");
  const std::string link = dir.File("link.txt");
  WriteFileText(original, "first");
  bool success = false;
  MakeHardLink(link, original, nullptr, success);
  ASSERT_TRUE(success);
  EXPECT_EQ(ReadFileText(link), "first");
  {
    TWinFile f(CreateFileA(original.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f.Valid());
    DWORD written = 0;
    WriteFile(f.Get(), "SECOND", 6, &written, nullptr);
  }
  EXPECT_EQ(ReadFileText(link), "SECOND");
  BY_HANDLE_FILE_INFORMATION info = {};
  TWinFile f(CreateFileA(link.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(GetFileInformationByHandle(f.Get(), &info));
  EXPECT_EQ(info.nNumberOfLinks, 2u);
}

TEST(MakeHardLink, ReportsFailureWithoutRaising) {
  TTempDir dir("hardlink2");
  WriteFileText(dir.File("a.txt"), "a");
  WriteFileText(dir.File("b.txt"), "b");
  bool success = true;
  MakeHardLink(dir.File("b.txt"), dir.File("a.txt"), nullptr, success);
  EXPECT_FALSE(success);
  EXPECT_EQ(ReadFileText(dir.File("b.txt")), "b");
  success = true;
  MakeHardLink(dir.File("c.txt"), dir.File("missing.txt"), nullptr, success);
  EXPECT_FALSE(success);
  EXPECT_FALSE(FileExists(dir.File("c.txt")));
}

TEST(MakeHardLink, RaisesWhenTheSystemOffersNoHardLinks) {
  bool success = true;
  try {
    filesystem_detail::MakeHardLinkThrough("nosuchkernel.dll", "CreateHardLinkA", "a", "b", nullptr, success);
    FAIL() << "no exception";
  } catch (const IEInstallHardLink& e) {
    EXPECT_EQ(e.Message(), "Could not create hardlink for from unloadable Kernel32");
  }
  try {
    filesystem_detail::MakeHardLinkThrough("kernel32.dll", "NoSuchCreateHardLinkA", "a", "b", nullptr, success);
    FAIL() << "no exception";
  } catch (const IEInstallHardLink& e) {
    EXPECT_EQ(e.Message(), "Could not create hardlink for Kernel32");
  }
  EXPECT_TRUE(success);
}

TEST(OpenFolderDialog, TypedPathIsCreatedAndTheDialogReturnsOnIt) {
  TTempDir dir("ofd");
  const std::string target = dir.File("typed\\new");
  TOpenFolderDialog dialog(nullptr);
  dialog.Directory = dir.File("missing\\deeper");
  const std::string hidden = dir.File("hidden");
  ASSERT_TRUE(CreateDirectoryA(hidden.c_str(), nullptr));
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);

  // The dialog is modal on this thread; another thread plays the user.
  std::atomic<bool> done{false};
  std::vector<std::string> problems;
  std::thread user([&] {
    // One generous deadline for the whole run, within the test's timeout.
    const DWORD start = GetTickCount();
    auto poll = [&](const std::function<bool()>& effect) {
      for (; !done && GetTickCount() - start < 90000; Sleep(20))
        if (effect()) return true;
      return false;
    };
    auto check = [&](bool ok, const std::string& what) {
      if (!ok) problems.push_back(what);
      return ok;
    };
    // What the user does reaches the dialog, however long it is busy.
    auto send = [&](HWND w, UINT msg, WPARAM wp, LPARAM lp) {
      check(SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, 60000, nullptr) != 0,
            "message " + std::to_string(msg) + " not answered");
    };
    auto play = [&]() -> bool {
      HWND first = nullptr, edit = nullptr, create = nullptr;
      auto found = [&](HWND& dialogWindow) {
        dialogWindow = FolderDialog();
        edit = dialogWindow ? GetDlgItem(dialogWindow, TOFDPathEdit::kId) : nullptr;
        create = dialogWindow ? GetDlgItem(dialogWindow, TOFDCreateButton::kId) : nullptr;
        return edit && create;
      };
      if (!check(poll([&] { return found(first); }), "no folder dialog with the added controls"))
        return false;
      HWND tree = FindWindowExA(first, nullptr, "SysTreeView32", nullptr);
      HWND ok = GetDlgItem(first, IDOK);
      if (!check(ok != nullptr, "no OK button")) return false;
      check(SameText(ClassOf(edit), "Edit"), "path edit of class " + ClassOf(edit));
      check(WindowText(create) == TOFDResourceStrings::CreateButtonCaption(),
            "create button caption " + WindowText(create));
      // The edit sits between the shrunk tree view and the buttons; the
      // create button is on the buttons' row, left of OK.
      const RECT t = BoundsOf(tree), e = BoundsOf(edit), c = BoundsOf(create), o = BoundsOf(ok);
      check(e.top >= t.bottom && e.bottom <= o.top && e.left == t.left && e.right == t.right,
            "path edit not below the tree view");
      check(c.top == o.top && c.bottom == o.bottom && c.right <= o.left, "create button misplaced");
      check((GetWindowLongPtrA(tree, GWL_STYLE) & TVS_SHOWSELALWAYS) != 0, "selection hidden");
      if (!check(poll([&] { return SameText(WindowText(edit), dir.Path()); }),
                 "not started on the nearest existing folder: " + WindowText(edit)))
        return false;
      check(IsWindowVisible(create) && IsWindowEnabled(ok), "create button hidden");
      // Not a file-system folder: OK is disabled and the create button hides;
      // typing an existing folder selects it and brings the button back.
      LPITEMIDLIST computer = nullptr;
      SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
      send(first, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
      CoTaskMemFree(computer);
      if (!check(poll([&] { return !IsWindowEnabled(ok) && !IsWindowVisible(create); }),
                 "create button shown without a folder"))
        return false;
      // A hidden folder, which the tree does not show, is still a choice.
      send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(hidden.c_str()));
      send(edit, WM_KEYUP, VK_END, 0xC0000001);
      if (!check(poll([&] { return IsWindowEnabled(ok) && IsWindowVisible(create); }),
                 "typed folder not selected: OK " + std::string(IsWindowEnabled(ok) ? "enabled" : "disabled") +
                     ", create button " + (IsWindowVisible(create) ? "shown" : "hidden") + ", edit \"" +
                     WindowText(edit) + "\""))
        return false;
      // A missing path needs no name: the button creates it and restarts.
      send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
      send(edit, WM_KEYUP, VK_END, 0xC0000001);
      PostMessageA(create, BM_CLICK, 0, 0);
      if (!check(poll([&] { return !IsWindow(first); }), "create button did not close the dialog"))
        return false;
      HWND second = nullptr;
      if (!check(poll([&] { return found(second); }), "dialog not shown again")) return false;
      check(IsDirectory(target), "typed folder not created before the restart");
      if (!check(poll([&] { return SameText(WindowText(edit), target); }),
                 "restart not on the new folder: " + WindowText(edit)))
        return false;
      return PostMessageA(GetDlgItem(second, IDOK), BM_CLICK, 0, 0) != FALSE;
    };
    if (play()) poll([] { return false; });  // until Execute returns
    // Whatever went wrong, every dialog is closed so that Execute returns.
    if (!done) problems.push_back("the dialog is still open");
    while (!done) {
      for (HWND w : ProcessDialogs()) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      Sleep(50);
    }
  });
  const bool chosen = dialog.Execute();
  done = true;
  user.join();
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_TRUE(chosen);
  EXPECT_TRUE(SameText(dialog.Directory, target)) << dialog.Directory;
  EXPECT_FALSE(dialog.Restart);
  EXPECT_TRUE(IsDirectory(target));
}
