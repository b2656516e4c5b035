#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "TestSupport.h"
#include "Uninstaller.h"
#include "cmp_TTrnwRegistry.h"
#include "routines_API.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

using namespace testsupport;

// Switches come first, in any case, a value possibly quoted; the product
// name is the rest of the line, blanks included.
TEST(UninstallCommandLine, SwitchesBeforeTheProductNameWhichKeepsItsBlanks) {
  const std::string exe = "C:\\Program Files\\Kelvo\\Vantlex 2006\\Uninstall\\uninstall.exe";
  const auto N = TUninstallMode::Normal, S = TUninstallMode::Silent, V = TUninstallMode::VerySilent;
  struct Case {
    std::string line, product;
    TUninstallMode mode;
    std::string log, error;  // error: a text the message must hold; empty when none is expected
  } cases[] = {
      {exe + " Kelvo Vantlex Console for NetWare 2006", "Kelvo Vantlex Console for NetWare 2006", N, "", ""},
      {"\"" + exe + "\" Kelvo Vantlex", "Kelvo Vantlex", N, "", ""},
      // The system may pass the path without ".exe" or in another case.
      {"c:\\program files\\kelvo\\vantlex 2006\\uninstall\\UNINSTALL  My  Product ", "My  Product", N, "", ""},
      {"un.exe Product X", "Product X", N, "", ""},
      {exe, "", N, "", ""},
      {exe + " /VERYSILENT Kelvo Vantlex Console for NetWare 2006", "Kelvo Vantlex Console for NetWare 2006", V, "",
       ""},
      {exe + " /silent /Log=C:\\u.log Kelvo", "Kelvo", S, "C:\\u.log", ""},
      {exe + "  /VerySilent  /LOG=\"C:\\a b\\u.log\"  Kelvo  Vantlex ", "Kelvo  Vantlex", V, "C:\\a b\\u.log", ""},
      {"\"" + exe + "\" \"/LOG=C:\\a b\\u.log\" /SILENT \"Kelvo Vantlex\"", "Kelvo Vantlex", S, "C:\\a b\\u.log", ""},
      {exe + " /SILENT /VERYSILENT /SILENT X", "X", V, "", ""},
      // After the name a switch is part of it.
      {exe + " Kelvo /SILENT", "Kelvo /SILENT", N, "", ""},
      {exe + " /S Kelvo", "Kelvo", N, "", "Unknown switch \"/S\". The valid switches are /SILENT, /VERYSILENT and /LOG=file"},
      {exe + " /VERYSILENT /Smith Tools /LOG=C:\\x.log", "Tools /LOG=C:\\x.log", V, "", "\"/Smith\""},
      {exe + " /SILENT /LOG=C:\\x.log /LOG= Kelvo", "Kelvo", S, "", "/LOG needs the name of the log file"},
      {exe + " /LOG Kelvo", "Kelvo", N, "", "/LOG needs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TUninstallCommand cmd = ParseUninstallCommandLine(c.line, exe);
    EXPECT_EQ(cmd.ProductName, c.product);
    EXPECT_EQ(cmd.Mode, c.mode);
    EXPECT_EQ(cmd.LogFile, c.log);
    if (c.error.empty())
      EXPECT_EQ(cmd.Error, "");
    else
      EXPECT_NE(cmd.Error.find(c.error), std::string::npos) << cmd.Error;
  }
}

namespace {
void Write(const std::string& path, const std::string& text = "data") {
  CreateDirectoryA(ExtractFileDir(ExtractFileDir(path)).c_str(), nullptr);
  CreateDirectoryA(ExtractFileDir(path).c_str(), nullptr);
  WriteFileText(path, text);
}
bool DirExists(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
const char* const kSessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
// The system's delayed renames as (source, target) pairs, in their order.
std::vector<std::pair<std::string, std::string>> PendingRenames() {
  std::vector<std::pair<std::string, std::string>> out;
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return out;
  DWORD size = 0;
  std::vector<char> data;
  if (RegQueryValueExA(k, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size + 2);
    RegQueryValueExA(k, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                     &size);
  }
  RegCloseKey(k);
  std::vector<std::string> strings;
  for (size_t i = 0; i < size && i < data.size(); i += strings.back().size() + 1) strings.emplace_back(&data[i]);
  for (size_t i = 0; i + 1 < strings.size(); i += 2) out.emplace_back(strings[i], strings[i + 1]);
  return out;
}
// Takes the renames below dir out of the system's list again.
void ForgetPendingRenames(const std::string& dir) {
  std::string kept;
  for (const auto& p : PendingRenames())
    if (UpperCase(p.first).find(UpperCase(dir)) == std::string::npos) kept += p.first + '\0' + p.second + '\0';
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  kept += '\0';
  RegSetValueExA(k, "PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                 static_cast<DWORD>(kept.size()));
  RegCloseKey(k);
}
}  // namespace

// A product laid out and recorded as the setup program does, removed by the
// real uninstall.exe started the way the uninstall entry starts it.
TEST(Uninstaller, RemovesRecordedFilesRegistrationsAndItself) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwProduct");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string app = root.File("Vantlex 2006");
  const std::string bin = app + "\\bin";
  const std::string menu = root.File("Programs\\Vantlex Group");
  const std::string plain = bin + "\\voreruro.exe", help = bin + "\\VORERURO.HLP";
  const std::string shared = bin + "\\shared.dll", com = bin + "\\comserver.dll";
  const std::string sharedCom = root.File("Common\\sharedcom.dll");
  const std::string link = menu + "\\Readme.lnk", self = app + "\\Uninstall\\uninstall.exe";
  const std::string userFile = app + "\\data\\mine.txt";
  for (const std::string& f : {plain, help, shared, link, userFile}) Write(f);
  for (const std::string& f : {com, sharedCom}) {
    Write(f);
    ASSERT_TRUE(CopyFileA((BinDir() + "\\comserver.dll").c_str(), f.c_str(), FALSE));
  }
  Write(self);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));

  // What the setup program records.
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key, "UninstallString", self + " " + product);
  // Passes cut short before they stored their counts: File4 lies past its
  // count, and Files1 has none.
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "3");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", plain);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", help);
  WriteRegistryString(kHKLM, key + "\\Files", "File3", shared);
  WriteRegistryString(kHKLM, key + "\\Files", "File4", self);
  WriteRegistryString(kHKLM, key + "\\Files1", "File1", link);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", com + ";0");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File2", sharedCom + ";0");
  const char* helpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
  const char* sharedKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  WriteRegistryString(kHKLM, helpKey, "VORERURO.HLP", bin);
  WriteRegistryInteger(kHKLM, sharedKey, shared, 2);
  WriteRegistryInteger(kHKLM, sharedKey, sharedCom, 2);
  for (const std::string& f : {com, sharedCom}) {
    ASSERT_EQ(RunAndWait("rundll32.exe \"" + f + "\",DllRegisterServer"), 0);
    ASSERT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", f, 0), 1);
  }

  ASSERT_EQ(RunAndWait(self + " /VERYSILENT " + product), 0);

  EXPECT_FALSE(FileExists(plain));
  EXPECT_FALSE(FileExists(help));
  EXPECT_EQ(ReadRegistryString(kHKLM, helpKey, "VORERURO.HLP", "<none>"), "<none>");
  EXPECT_FALSE(FileExists(com));
  EXPECT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", com, 0), 0);
  // Another product still uses the shared library: kept, its count lowered.
  EXPECT_TRUE(FileExists(shared));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, sharedKey, shared, 0), 1);
  // So does a shared ActiveX server, which also stays registered.
  EXPECT_TRUE(FileExists(sharedCom));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, sharedKey, sharedCom, 0), 1);
  EXPECT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", sharedCom, 0), 1);
  // Emptied folders go; a folder with the user's own files stays.
  EXPECT_FALSE(DirExists(menu));
  EXPECT_TRUE(FileExists(userFile));
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  EXPECT_FALSE(r.KeyExists(key));
  // The uninstaller and its folder are removed once it has ended.
  for (int i = 0; i < 200 && DirExists(app + "\\Uninstall"); ++i) Sleep(100);
  EXPECT_FALSE(FileExists(self));
  EXPECT_FALSE(DirExists(app + "\\Uninstall"));
  EXPECT_TRUE(DirExists(app));

  RunAndWait("rundll32.exe \"" + sharedCom + "\",DllUnregisterServer");
  TtrnwRegistry s;
  s.SetRootKeyIndex(kHKLM);
  for (const std::string& f : {shared, sharedCom}) {
    DeleteFileA(f.c_str());
    if (s.OpenKey(sharedKey, false)) s.DeleteValue(f);
  }
}

// Files held open by a running program cannot go now: they and the folder
// that only they keep are scheduled for the restart, in that order; the key
// keeps exactly their records and the uninstaller's, the uninstaller stays,
// and a second run once they are free removes the rest and the key. The log
// of a silent run holds every step and the message, in its line format.
TEST(Uninstaller, FilesInUseGoAtTheRestartAndKeepTheirRecordsForASecondRun) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwPartial");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string app = root.File("App"), self = app + "\\Uninstall\\uninstall.exe";
  const std::string bin = app + "\\bin";
  const std::string freeFile = bin + "\\free.txt", held = bin + "\\held.txt", com = bin + "\\held.dll";
  const std::string log = root.File("log dir\\uninstall.log");
  for (const std::string& f : {freeFile, held}) Write(f);
  Write(self);
  ASSERT_TRUE(CreateDirectoryA(root.File("log dir").c_str(), nullptr));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\comserver.dll").c_str(), com.c_str(), FALSE));
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", freeFile);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", self);
  WriteRegistryString(kHKLM, key + "\\Files1", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\Files1", "File1", held);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", com + ";0");
  auto hold = [](const std::string& p) {
    return CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE h1 = hold(held), h2 = hold(com);
  ASSERT_NE(h1, INVALID_HANDLE_VALUE);
  ASSERT_NE(h2, INVALID_HANDLE_VALUE);

  EXPECT_EQ(RunAndWait(self + " /SILENT /LOG=\"" + log + "\" " + product), 3010);
  CloseHandle(h1);
  CloseHandle(h2);
  EXPECT_FALSE(FileExists(freeFile));
  EXPECT_TRUE(FileExists(held));
  EXPECT_TRUE(FileExists(com));
  EXPECT_TRUE(FileExists(self));
  EXPECT_EQ(ReadRegistryString(kHKLM, key, "DisplayName", "<none>"), product);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", ""), "2");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", ""), held);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File2", ""), self);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "File1", ""), com + ";0");
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  EXPECT_FALSE(r.KeyExists(key + "\\Files1"));
  // Deletions at the restart: the held files, then their folder; not the
  // uninstaller's folder, which keeps it.
  const auto pending = PendingRenames();
  auto at = [&](const std::string& path) {
    for (size_t i = 0; i < pending.size(); ++i) {
      const std::string src = UpperCase(pending[i].first), want = UpperCase(path);
      if (pending[i].second.empty() && src.size() >= want.size() &&
          src.compare(src.size() - want.size(), want.size(), want) == 0)
        return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_GE(at(held), 0);
  EXPECT_GE(at(com), 0);
  EXPECT_GT(at(bin), std::max(at(held), at(com)));
  EXPECT_EQ(at(app), -1);
  EXPECT_EQ(at(freeFile), -1);

  EXPECT_EQ(RunAndWait(self + " /VERYSILENT /LOG=\"" + log + "\" " + product), 0);
  EXPECT_FALSE(FileExists(held));
  EXPECT_FALSE(FileExists(com));
  EXPECT_FALSE(r.KeyExists(key));
  for (int i = 0; i < 200 && DirExists(app + "\\Uninstall"); ++i) Sleep(100);
  EXPECT_FALSE(DirExists(app + "\\Uninstall"));
  EXPECT_FALSE(DirExists(app));
  ForgetPendingRenames(root.Path());
  DeleteRegistryTree(kHKLM, key);

  // Both runs appended to the log, every line "YYYY-MM-DD HH:MM:SS  text".
  const std::string text = ReadFileText(log);
  std::vector<std::string> lines;
  for (size_t pos = 0, end; pos < text.size(); pos = end + 2) {
    end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "the log does not end with CR LF";
    lines.push_back(text.substr(pos, end - pos));
  }
  const std::regex format(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  \S.*)");
  for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, format)) << l;
  auto has = [&](const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
  };
  for (const std::string& want : std::vector<std::string>{
           "Uninstaller started: " + self + " /SILENT /LOG=\"" + log + "\" " + product,
        "Question answered Yes (silent run, not asked): Are you sure you want to remove " + product,
        "File removed: " + freeFile, "removed at the next restart: " + held, "removed at the next restart: " + com,
        "Folder removed at the next restart: " + bin, "Message (silent run, no box shown): " + product +
        " was not removed completely.", "  " + held, "  " + com, "Result: removed, files in use are left for the restart; exit code 3010",
        "File removed: " + held, "ActiveX server unregistered: " + com, "Registry key removed: HKLM" + key,
        "Folder removed: " + bin, "Result: removed; exit code 0"})
    EXPECT_TRUE(has(want)) << "no \"" << want << "\" in:\n" << text;
}

// A product that is not installed, an unknown switch or a log that cannot
// be written: exit code 1, and the product stays as it was.
TEST(Uninstaller, BadCommandLinesChangeNothing) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwKept");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string self = root.File("uninstall.exe"), file = root.File("App\\kept.txt");
  const std::string log = root.File("u.log");
  Write(file);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", file);
  const std::string quoted = "\"" + self + "\" ";
  EXPECT_EQ(RunAndWait(quoted + "/VERYSILENT " + UniqueName("NotInstalled")), 1);
  EXPECT_EQ(RunAndWait(quoted + "/VERYSILENT /LOG=" + log + " /Quiet " + product), 1);
  EXPECT_EQ(RunAndWait(quoted + "/VERYSILENT /LOG=" + root.File("no such dir\\u.log") + " " + product), 1);
  EXPECT_EQ(RunAndWait(quoted + "/VERYSILENT /LOG= " + product), 1);
  EXPECT_TRUE(FileExists(self));
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", ""), file);
  DeleteRegistryTree(kHKLM, key);
  const std::string text = ReadFileText(log);
  EXPECT_NE(text.find("Unknown switch \"/Quiet\". The valid switches are /SILENT, /VERYSILENT and /LOG=file"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Result: failed, nothing removed; exit code 1"), std::string::npos) << text;
}
