#include <windows.h>
#include <oleauto.h>

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

namespace {
// The test libraries (twuninst_a.idl, twuninst_b.idl), version 1.0.
const GUID kLibA = {0x6C1E2B7A, 0x93D4, 0x4E0B, {0x8F, 0x5A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60}};
const GUID kLibB = {0x6C1E2B7A, 0x93D4, 0x4E0B, {0x8F, 0x5A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x61}};
const char* const kLibBPathKey = "TypeLib\\{6C1E2B7A-93D4-4E0B-8F5A-1B2C3D4E5F61}\\1.0\\0\\win64";

std::wstring Wide(const std::string& s) {
  std::wstring w(s.size() + 1, L'\0');
  w.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], static_cast<int>(w.size()))));
  if (!w.empty()) w.pop_back();
  return w;
}

// Registers a type library as the setup program does; false when it cannot.
bool RegisterTypeLibrary(const std::string& path) {
  std::wstring w = Wide(path);
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(w.c_str(), REGKIND_NONE, &lib)) || !lib) return false;
  const bool ok = SUCCEEDED(RegisterTypeLib(lib, &w[0], nullptr));
  lib->Release();
  return ok;
}

// The path registered for a library, in the system's code page; empty when
// it is not registered.
std::string RegisteredTypeLibrary(const GUID& lib) {
  BSTR path = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(lib, 1, 0, 0, &path)) || !path) return "";
  char buf[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, path, -1, buf, sizeof(buf) - 1, nullptr, nullptr);
  SysFreeString(path);
  return buf;
}

void SetClassesRootDefault(const std::string& key, const std::string& value) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}
}  // namespace

// A product installed into Tools\App, whose Tools folder was there before,
// with its shortcut in a group below an existing Programs folder. A type
// library at a path outside ASCII is unregistered before its file goes; one
// whose unregistration fails keeps its file and record (exit code 1, the
// log names it) until a later run can unregister it. Emptied folders go up
// to the installation directory and the shortcut's folder, never above.
TEST(Uninstaller, TypeLibrariesStayUntilUnregisteredAndNoFolderAboveTheProductGoes) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwTypes");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string tools = root.File("Tools"), app = tools + "\\App", programs = root.File("Programs");
  const std::string menu = programs + "\\Tw Types", link = menu + "\\Prog.lnk";
  const std::string self = app + "\\Uninstall\\uninstall.exe", exe = app + "\\bin\\prog.exe";
  const std::string umlautDir = app + "\\\xDC" "bersicht", libA = umlautDir + "\\a.tlb", libB = app + "\\b.tlb";
  const std::string log = root.File("u.log");
  ASSERT_TRUE(CreateDirectoryA(tools.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(programs.c_str(), nullptr));
  for (const std::string& f : {exe, link, self, libA}) Write(f);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\twuninst_a.tlb").c_str(), libA.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\twuninst_b.tlb").c_str(), libB.c_str(), FALSE));
  ASSERT_TRUE(RegisterTypeLibrary(libA));
  ASSERT_TRUE(RegisterTypeLibrary(libB));
  ASSERT_TRUE(SameText(RegisteredTypeLibrary(kLibA), libA)) << RegisteredTypeLibrary(kLibA);
  // B's registration names a file that is not there: it cannot be unregistered.
  SetClassesRootDefault(kLibBPathKey, app + "\\moved\\b.tlb");
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key, "UninstallString", self + " " + product);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", libA + ";2");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File2", libB + ";2");
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", exe);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", link);

  EXPECT_EQ(RunAndWait(self + " /VERYSILENT /LOG=\"" + log + "\" " + product), 1);
  EXPECT_FALSE(FileExists(libA));
  EXPECT_EQ(RegisteredTypeLibrary(kLibA), "");
  EXPECT_FALSE(DirExists(umlautDir));
  EXPECT_TRUE(FileExists(libB));
  EXPECT_NE(RegisteredTypeLibrary(kLibB), "");
  EXPECT_FALSE(FileExists(exe));
  EXPECT_FALSE(DirExists(menu));
  EXPECT_TRUE(DirExists(programs));
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "File1", ""), libB + ";2");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", "(none)"), "(none)");
  std::string text = ReadFileText(log);
  for (const std::string& want : {"Not removed, its type library could not be unregistered: ",
                                  "These files could not be removed:", "Result: failed, files left; exit code 1"})
    EXPECT_NE(text.find(want), std::string::npos) << want << " not in:\n" << text;
  EXPECT_NE(text.find(libB + ": its type library could not be unregistered"), std::string::npos) << text;

  // Once B can be unregistered, a second run removes the rest: the
  // installation directory goes, Tools stays.
  SetClassesRootDefault(kLibBPathKey, libB);
  EXPECT_EQ(RunAndWait(self + " /VERYSILENT /LOG=\"" + log + "\" " + product), 0);
  EXPECT_FALSE(FileExists(libB));
  EXPECT_EQ(RegisteredTypeLibrary(kLibB), "");
  text = ReadFileText(log);
  EXPECT_NE(text.find("Folder removed once this program has ended, if empty: " + app + "\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Folder removed once this program has ended, if empty: " + tools + "\r\n"), std::string::npos)
      << text;
  for (int i = 0; i < 200 && DirExists(app); ++i) Sleep(100);
  EXPECT_FALSE(DirExists(app));
  EXPECT_TRUE(DirExists(tools));
  EXPECT_TRUE(DirExists(programs));
  DeleteRegistryTree(kHKLM, key);
  for (const GUID* lib : {&kLibA, &kLibB})
    if (!RegisteredTypeLibrary(*lib).empty()) UnRegisterTypeLib(*lib, 1, 0, 0, SYS_WIN64);
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
