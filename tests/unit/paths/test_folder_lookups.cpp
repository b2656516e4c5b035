// Folder lookups from the registry with their fallbacks, and the
// meta-variable expansion of shortcut parameters.
#include <gtest/gtest.h>

#include "PathsTestSupport.h"
#include "TestSupport.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_ExpandPaths.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

using namespace pathstest;
using namespace testsupport;

namespace {
constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kBDE = "Software\\Borland\\Database Engine";

// Runs with the current directory inside a fresh directory on drive C:.
class CurrentDirOnC {
public:
  CurrentDirOnC() : dir_("cwd") {
    GetCurrentDirectoryA(sizeof(saved_), saved_);
    SetCurrentDirectoryA(dir_.Path().c_str());
  }
  ~CurrentDirOnC() { SetCurrentDirectoryA(saved_); }
  std::string Drive() const { return dir_.Path().substr(0, 2); }

private:
  TTempDir dir_;
  char saved_[MAX_PATH + 1] = {};
};
}  // namespace

TEST(FolderLookups, ProgramAndCommonFilesComeFromTheRegistryOrTheCurrentDrive) {
  TSavedValue programFiles(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
  TSavedValue commonFiles(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir");
  ASSERT_TRUE(programFiles.Existed());
  ASSERT_TRUE(commonFiles.Existed());
  // The prefix's own values, as the system stores them.
  const std::string pf = ReadRegistryString(kHKLM, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "");
  EXPECT_EQ(GetProgramFilesDir(), StripBackslash(pf));

  programFiles.Set("C:\\Apps Here\\");
  commonFiles.Set("C:\\Apps Here\\Shared");
  EXPECT_EQ(GetProgramFilesDir(), "C:\\Apps Here");
  EXPECT_EQ(GetCommonFilesDir(), "C:\\Apps Here\\Shared");
  TProject project;
  EXPECT_EQ(project.Specifier<TpsProgramFiles>()->GetPath(nullptr), "C:\\Apps Here");
  EXPECT_EQ(project.Specifier<TpsCommonFiles>()->GetPath(nullptr), "C:\\Apps Here\\Shared");
  EXPECT_EQ(ExpandMetaVariables("%p|%F", nullptr), "C:\\Apps Here|C:\\Apps Here\\Shared");

  programFiles.Remove();
  commonFiles.Remove();
  CurrentDirOnC cwd;
  EXPECT_EQ(GetProgramFilesDir(), cwd.Drive() + "\\Program Files");
  EXPECT_EQ(GetCommonFilesDir(), cwd.Drive() + "\\Program Files\\Common Files");
}

TEST(FolderLookups, MenusAndDesktopFallBackToTheWindowsDirectory) {
  TSavedValue startMenu(HKEY_CURRENT_USER, kShellFolders, "Start Menu");
  TSavedValue programs(HKEY_CURRENT_USER, kShellFolders, "Programs");
  TSavedValue desktop(HKEY_CURRENT_USER, kShellFolders, "Desktop");
  TSavedValue startup(HKEY_CURRENT_USER, kShellFolders, "Startup");
  const std::string windows = GetWindowsDir();

  startMenu.Set("C:\\Menus\\Start\\");
  programs.Set("C:\\Menus\\Start\\Programs");
  desktop.Set("C:\\Desk\\");
  startup.Set("C:\\Menus\\Start\\Programs\\Startup\\");
  EXPECT_EQ(GetStartMenuDir(), "C:\\Menus\\Start");
  EXPECT_EQ(GetProgramsMenuDir(), "C:\\Menus\\Start\\Programs");
  EXPECT_EQ(GetDesktopDir(), "C:\\Desk");
  EXPECT_EQ(GetStartupMenuDir(), "C:\\Menus\\Start\\Programs\\Startup");

  // Without "Programs" the Programs menu follows the start menu.
  programs.Remove();
  EXPECT_EQ(GetProgramsMenuDir(), "C:\\Menus\\Start\\Programs");
  startMenu.Remove();
  desktop.Remove();
  startup.Remove();
  EXPECT_EQ(GetStartMenuDir(), windows + "\\Startmen");
  EXPECT_EQ(GetProgramsMenuDir(), windows + "\\Startmen\\Programs");
  EXPECT_EQ(GetDesktopDir(), windows + "\\Desktop");
  EXPECT_EQ(GetStartupMenuDir(), windows + "\\Startup");

  TProject project;
  EXPECT_EQ(project.Specifier<TpsStartMenu>()->GetPath(nullptr), windows + "\\Startmen");
  EXPECT_EQ(project.Specifier<TpsProgramMenu>()->GetPath(nullptr), windows + "\\Startmen\\Programs");
  EXPECT_EQ(project.Specifier<TpsDesktopMenu>()->GetPath(nullptr), windows + "\\Desktop");
  EXPECT_EQ(project.Specifier<TpsStartupMenu>()->GetPath(nullptr), windows + "\\Startup");
  EXPECT_EQ(ExpandMetaVariables("%m;%b;%d", nullptr),
            windows + "\\Startmen;" + windows + "\\Startmen\\Programs;" + windows + "\\Desktop");
}

TEST(FolderLookups, BdeDllPathIsTheFirstListedDirectoryOrTheCommonDefault) {
  HKEY probe;
  const bool keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBDE, 0, KEY_READ, &probe) == ERROR_SUCCESS;
  if (keyExisted) RegCloseKey(probe);
  {
    TSavedValue dllPath(HKEY_LOCAL_MACHINE, kBDE, "DLLPath");
    TProject project;
    auto* ps = project.Specifier<TpsBDEDLL>();
    dllPath.Set("C:\\BDE One;D:\\BDE Two");
    EXPECT_EQ(ps->GetPath(nullptr), "C:\\BDE One");
    dllPath.Set("C:\\Only\\BDE");
    EXPECT_EQ(ps->GetPath(nullptr), "C:\\Only\\BDE");
    dllPath.Set("");
    EXPECT_EQ(ps->GetPath(nullptr), GetProgramFilesDir() + "\\Borland\\Common Files\\BDE");
    dllPath.Remove();
    EXPECT_EQ(ps->GetPath(nullptr), GetProgramFilesDir() + "\\Borland\\Common Files\\BDE");
  }
  if (!keyExisted) DeleteRegistryTree(kHKLM, "\\Software\\Borland");
}

TEST(FolderLookups, SystemAndWindowsSpecifiersNameTheSystemDirectories) {
  TProject project;
  EXPECT_EQ(project.Specifier<TpsSystem>()->GetPath(nullptr), StripBackslash(GetSystemDir()));
  EXPECT_EQ(project.Specifier<TpsWindow>()->GetPath(nullptr), StripBackslash(GetWindowsDir()));
  EXPECT_EQ(ExpandMetaVariables("%s", nullptr), StripBackslash(GetSystemDir()));
  EXPECT_EQ(ExpandMetaVariables("%W\\win.ini", nullptr), GetWindowsDir() + "\\win.ini");
}

TEST(MetaVariables, PercentRulesAndCaseOfLetters) {
  EXPECT_EQ(ExpandMetaVariables("", nullptr), "");
  EXPECT_EQ(ExpandMetaVariables("no variables", nullptr), "no variables");
  EXPECT_EQ(ExpandMetaVariables("100%% sure", nullptr), "100% sure");
  EXPECT_EQ(ExpandMetaVariables("%%%%", nullptr), "%%");
  // An unknown letter and a trailing percent give nothing.
  EXPECT_EQ(ExpandMetaVariables("a%zb%", nullptr), "ab");
  EXPECT_EQ(ExpandMetaVariables("%%w", nullptr), "%w");
  EXPECT_EQ(ExpandMetaVariables("%w", nullptr), ExpandMetaVariables("%W", nullptr));
  EXPECT_EQ(ExpandMetaVariables("/x \"%w\"", nullptr), "/x \"" + GetWindowsDir() + "\"");
}

TEST(MetaVariables, ComponentVariablesNeedTheirComponents) {
  auto message = [](const std::string& text, TInstallContainer* c) {
    try {
      ExpandMetaVariables(text, c);
    } catch (const EAI& e) {
      return std::string(e.ClassName()) + ": " + e.Message();
    }
    return std::string("<no exception>");
  };
  EXPECT_EQ(message("%a", nullptr),
            "EAICannotExpandContainerDirMV: Cannot expand the %a meta variable because the component is Nil");
  EXPECT_EQ(message("%C", nullptr),
            "EAICannotExpandContainerDirMV: Cannot expand the %c meta variable because the component is Nil");
  EXPECT_EQ(message("%i", nullptr),
            "EAICannotExpandInstallDirMV: Cannot expand the %i meta variable because there is no TInstall "
            "component");

  TProject project;
  auto* install = new TTestInstall(project.form.get());
  install->SetDestDirType(project.Specifier<TpsWindow>());
  install->SetDestDir("\\Kelvo\\Vantlex\\");
  auto* link = new TTestObject(project.form.get(), "Link1");
  EXPECT_EQ(message("%c", link),
            "EAICannotExpandContainerDirMV: Cannot expand the %c meta variable because the Container property is "
            "Nil");
  link->SetContainer(install);
  link->SetDestDir("\\Docs\\");
  const std::string dest = GetWindowsDir() + "\\Kelvo\\Vantlex";
  EXPECT_EQ(ExpandMetaVariables("-home \"%i\" -c %c -a %A\\x.txt", link),
            "-home \"" + dest + "\" -c " + dest + " -a " + dest + "\\Docs\\x.txt");
}
