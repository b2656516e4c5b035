// Shell folders by system family and the folders of an installed Office.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "PathsTestSupport.h"
#include "TestSupport.h"
#include "routines_API.h"
#include "routines_ExpandPaths.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "specifiers_Office.h"
#include "specifiers_windows.h"

using namespace pathstest;
using namespace testsupport;

namespace {
bool IsDirectory(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Runs with the shell specifiers seeing system os.
class SystemAs {
public:
  explicit SystemAs(TOSVerType os) : saved_(RunningOSHook) {
    s_os = os;
    RunningOSHook = [] { return s_os; };
  }
  ~SystemAs() { RunningOSHook = saved_; }

private:
  static TOSVerType s_os;
  TOSVerType (*saved_)();
};
TOSVerType SystemAs::s_os = osUnidentified;

std::map<std::string, std::string> ReadProbe(const std::string& file) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadFileText(file));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}
}  // namespace

TEST(ShellFolders, NtFamilyAndLaterSystemsAskTheShellAndVirtualFoldersHaveNoPath) {
  for (TOSVerType os : {oswinXP, osUnidentified}) {
    SCOPED_TRACE(OSVerTypeName(os));
    SystemAs system(os);
    TProject project;
    const std::string sendTo = project.Specifier<TpsSendTo>()->GetPath(nullptr);
    EXPECT_EQ(sendTo, GetShellFolder(9));
    EXPECT_TRUE(IsDirectory(sendTo)) << sendTo;
    EXPECT_EQ(project.Specifier<TpsRecent>()->GetPath(nullptr), GetShellFolder(8));
    EXPECT_EQ(project.Specifier<TpsCommonPrograms>()->GetPath(nullptr), GetShellFolder(23));
    EXPECT_FALSE(project.Specifier<TpsCommonPrograms>()->GetPath(nullptr).empty());
    EXPECT_EQ(project.Specifier<TpsCommonDesktopDirectory>()->GetPath(nullptr), GetShellFolder(25));
    EXPECT_EQ(project.Specifier<TpsCommonStartup>()->GetPath(nullptr), GetShellFolder(24));
    EXPECT_FALSE(GetShellFolder(24).empty());
    // Control panel, printers (a "::{...}" pseudo-path) and the recycle bin
    // are virtual folders.
    EXPECT_EQ(project.Specifier<TpsControlPanel>()->GetPath(nullptr), "");
    EXPECT_EQ(project.Specifier<TpsPrinters>()->GetPath(nullptr), "");
    EXPECT_EQ(project.Specifier<TpsBitBucket>()->GetPath(nullptr), "");
    // A folder the shell cannot give is empty, not an error.
    EXPECT_EQ(project.Specifier<TpsCommonAltStartup>()->GetPath(nullptr), GetShellFolder(30));

    const std::string appData = StripBackslash(GetShellFolder(26));
    ASSERT_FALSE(appData.empty());
    EXPECT_EQ(project.Specifier<TpsQuickLaunchMenu>()->GetPath(nullptr),
              appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
  }
}

TEST(ShellFolders, NineXFamilyAndOtherSystemsUseTheirOwnColumns) {
  TProject project;
  {
    SystemAs me(oswinME);
    EXPECT_EQ(project.Specifier<TpsRecent>()->GetPath(nullptr), "undefined");
    EXPECT_EQ(project.Specifier<TpsSendTo>()->GetPath(nullptr), "");
    EXPECT_EQ(project.Specifier<TpsPrinters>()->GetPath(nullptr), "undefined");
    EXPECT_EQ(project.Specifier<TpsCommonPrograms>()->GetPath(nullptr), GetShellFolder(2));
    EXPECT_EQ(project.Specifier<TpsCommonStartMenu>()->GetPath(nullptr), GetShellFolder(11));
    EXPECT_EQ(project.Specifier<TpsCommonStartup>()->GetPath(nullptr), GetShellFolder(7));
    EXPECT_EQ(project.Specifier<TpsCommonDesktopDirectory>()->GetPath(nullptr), GetShellFolder(16));
    EXPECT_FALSE(GetShellFolder(16).empty());
  }
  {
    SystemAs other(os31win32);
    EXPECT_EQ(project.Specifier<TpsFavorites>()->GetPath(nullptr), "undefined");
    EXPECT_EQ(project.Specifier<TpsCommonDesktopDirectory>()->GetPath(nullptr), "undefined");
    EXPECT_EQ(project.Specifier<TpsCommonPrograms>()->GetPath(nullptr), "");
    EXPECT_EQ(project.Specifier<TpsCookies>()->GetPath(nullptr), "");
    // The Quick Launch folder does not depend on the system.
    EXPECT_NE(project.Specifier<TpsQuickLaunchMenu>()->GetPath(nullptr), "undefined");
  }
}

TEST(ShellFolders, UnderWindows98RecentIsUndefinedAndSendToEmpty) {
  TTempDir dir("probe");
  const std::string out = dir.File("paths.txt");
  ASSERT_EQ(RunWithWindowsVersion("pathprobe", "win98", "\"" + out + "\""), 0);
  auto values = ReadProbe(out);
  ASSERT_EQ(values["os"], std::to_string(static_cast<int>(oswin98)));
  EXPECT_EQ(values.count("psRecent"), 1u);
  EXPECT_EQ(values["psRecent"], "undefined");
  EXPECT_EQ(values.count("psSendTo"), 1u);
  EXPECT_EQ(values["psSendTo"], "");
  EXPECT_EQ(values["psFavorites"], "undefined");
  EXPECT_FALSE(values["psCommonPrograms"].empty());

  // The same program under XP asks the shell.
  ASSERT_EQ(RunWithWindowsVersion("pathprobe", "winxp", "\"" + out + "\""), 0);
  values = ReadProbe(out);
  ASSERT_EQ(values["os"], std::to_string(static_cast<int>(oswinXP)));
  EXPECT_NE(values["psRecent"], "undefined");
  EXPECT_FALSE(values["psSendTo"].empty());
}

namespace {
// A registered Word document class for the duration of a test; nothing is
// left behind.
class OfficeTest : public ::testing::Test {
protected:
  void SetUp() override {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Word.Document", 0, KEY_READ, &h) == ERROR_SUCCESS) {
      RegCloseKey(h);
      GTEST_SKIP() << "the prefix has a Word document class of its own";
    }
    pf_ = GetProgramFilesDir();
  }
  void TearDown() override {
    DeleteRegistryTree(kHKCR, "\\Word.Document");
    for (const auto& k : classKeys_) DeleteRegistryTree(kHKCR, "\\" + k);
    for (const auto& k : userKeys_) DeleteRegistryTree(kHKCU, k);
  }
  // Registers the document class with CurVer curVer and a server path.
  void RegisterWord(const std::string& curVer, const std::string& server) {
    WriteRegistryString(kHKCR, "\\Word.Document\\CurVer", "", curVer);
    WriteRegistryString(kHKCR, "\\" + curVer + "\\protocol\\StdFileEditing\\server", "", server);
    classKeys_.push_back(curVer);
  }
  void WriteUser(const std::string& key, const std::string& name, const std::string& value) {
    WriteRegistryString(kHKCU, key, name, value);
    userKeys_.push_back(key);
  }
  std::string ServerFile() { return BinDir() + "\\pathprobe.exe"; }

  std::string pf_;
  std::vector<std::string> classKeys_, userKeys_;
};
}  // namespace

TEST_F(OfficeTest, WithoutOfficeTheFoldersLieBelowProgramFiles) {
  TProject project;
  EXPECT_EQ(GetOfficeVersion(), -1);
  EXPECT_EQ(project.Specifier<TpsOfficeUserTemplates>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Templates");
  EXPECT_EQ(project.Specifier<TpsOfficeWorkgroupTemplates>()->GetPath(nullptr),
            pf_ + "\\Microsoft Office\\Templates");
  EXPECT_EQ(project.Specifier<TpsOfficeClipartDirectory>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Clipart");
  EXPECT_EQ(project.Specifier<TpsOfficeStartupDirectory>()->GetPath(nullptr),
            pf_ + "\\Microsoft Office\\Office\\Startup");
  EXPECT_EQ(project.Specifier<TpsOfficeToolsDirectory>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Office");

  // A class whose server file does not exist, or a CurVer with one ".",
  // is no usable Office either.
  RegisterWord("Word.Document.8", "C:\\No\\Such\\winword.exe");
  WriteUser("\\Software\\Microsoft\\Office\\8.0\\Common\\FileNew\\LocalTemplates", "", "C:\\Templates");
  EXPECT_EQ(GetOfficeVersion(), -1);
  EXPECT_EQ(project.Specifier<TpsOfficeUserTemplates>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Templates");
  RegisterWord("Word.8", ServerFile());
  EXPECT_EQ(GetOfficeVersion(), -1);
  RegisterWord("Word.Document.x", ServerFile());
  EXPECT_EQ(GetOfficeVersion(), -1);
  RegisterWord("Word.Document.25", ServerFile());
  EXPECT_EQ(GetOfficeVersion(), 25);
  EXPECT_EQ(project.Specifier<TpsOfficeUserTemplates>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Templates");
}

TEST_F(OfficeTest, Office97ReadsItsOwnKeysWithFallbacks) {
  RegisterWord("Word.Document.8", ServerFile());
  ASSERT_EQ(GetOfficeVersion(), 8);
  TProject project;
  WriteUser("\\Software\\Microsoft\\Office\\8.0\\Common\\FileNew\\LocalTemplates", "", "C:\\My Templates\\");
  WriteUser("\\Software\\Microsoft\\Office\\8.0\\Word\\Options", "PICTURE-PATH", "C:\\Clips\\");
  EXPECT_EQ(project.Specifier<TpsOfficeUserTemplates>()->GetPath(nullptr), "C:\\My Templates");
  // No shared templates: the user templates.
  EXPECT_EQ(project.Specifier<TpsOfficeWorkgroupTemplates>()->GetPath(nullptr), "C:\\My Templates");
  WriteUser("\\Software\\Microsoft\\Office\\8.0\\Common\\FileNew\\SharedTemplates", "", "\\\\srv\\tpl\\");
  EXPECT_EQ(project.Specifier<TpsOfficeWorkgroupTemplates>()->GetPath(nullptr), "\\\\srv\\tpl");
  EXPECT_EQ(project.Specifier<TpsOfficeClipartDirectory>()->GetPath(nullptr), "C:\\Clips");
  EXPECT_EQ(project.Specifier<TpsOfficeStartupDirectory>()->GetPath(nullptr),
            pf_ + "\\Microsoft Office\\Office\\Startup");
  EXPECT_EQ(project.Specifier<TpsOfficeToolsDirectory>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Office");
}

TEST_F(OfficeTest, LaterVersionsReadThePolicyKeys) {
  RegisterWord("Word.Document.11", ServerFile());
  ASSERT_EQ(GetOfficeVersion(), 11);
  TProject project;
  WriteUser("\\Software\\Microsoft\\Office\\11.0\\Word\\Options", "TOOLS-PATH", "C:\\Ignored");
  WriteUser("\\Software\\Policies\\Microsoft\\Office\\11.0\\Word\\Options", "STARTUP-PATH", "C:\\Boot\\");
  EXPECT_EQ(project.Specifier<TpsOfficeStartupDirectory>()->GetPath(nullptr), "C:\\Boot");
  EXPECT_EQ(project.Specifier<TpsOfficeToolsDirectory>()->GetPath(nullptr), pf_ + "\\Microsoft Office\\Office");
}

TEST(OfficeFolders, FavoritesComeFromTheShellFoldersOrTheWindowsDirectory) {
  TSavedValue favorites(HKEY_CURRENT_USER,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Favorites");
  TProject project;
  auto* ps = project.Specifier<TpsOfficeFavoritesDirectory>();
  favorites.Set("C:\\Users\\Me\\Favs\\");
  EXPECT_EQ(ps->GetPath(nullptr), "C:\\Users\\Me\\Favs");
  favorites.Remove();
  EXPECT_EQ(ps->GetPath(nullptr), GetWindowsDir() + "\\Favorites");
}
