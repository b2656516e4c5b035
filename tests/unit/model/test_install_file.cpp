// Install files on real files: the build and install round trip, the
// overwrite rules against existing destinations, in-use destinations
// replaced at the restart, and the property rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "FormReader.h"
#include "FormStream.h"
#include "ModelTestSupport.h"

using namespace modeltest;
using testsupport::BinDir;
using testsupport::MessageOf;
using testsupport::WriteFileText;

namespace {

constexpr double kTwoSeconds = 2.0 / 86400.0;

class InstallFile : public ModelTest {
protected:
  // One file "data.txt" with the given bytes and date, built into the archive.
  TInstallFile* BuiltFile(const std::string& bytes, double date, TOverwriteType mode) {
    dir = Directory();
    TInstallFile* f = File(dir, "ifData", "data.txt", bytes);
    SetFileDateOf(Source("data.txt"), date);
    f->OverwriteMode = mode;
    Build(dir);
    return f;
  }
  // An existing destination "data.txt".
  void Existing(const std::string& bytes, double date) {
    CreateDirectoryA(destDir.c_str(), nullptr);
    WriteFileText(Dest("data.txt"), bytes);
    SetFileDateOf(Dest("data.txt"), date);
  }
  // A copy of one of the version-resource programs as source or destination.
  void CopyVersioned(const char* program, const std::string& to, double date) {
    ASSERT_TRUE(CopyFileA((BinDir() + "\\" + program).c_str(), to.c_str(), FALSE)) << program;
    SetFileDateOf(to, date);
  }
  TInstallDirectory* dir = nullptr;
};

}  // namespace

// ------------------------------------------------------------ round trip

TEST_F(InstallFile, BuildThenInstallGivesTheArchivedBytesDatesAndAttributes) {
  dir = Directory();
  const std::string text = "first file\r\n" + std::string(3000, 'x');
  const std::string noise = testsupport::Noise(70000, 7);
  TInstallFile* first = File(dir, "ifFirst", "first.txt", text);
  // A read-only source gives a read-only installed file.
  WriteFileText(Source("second.bin"), noise);
  SetFileDateOf(Source("second.bin"), kNewDate);
  SetFileAttributesA(Source("second.bin").c_str(), FILE_ATTRIBUTE_READONLY);
  TInstallFile* second = FileFor(dir, "ifSecond", "second.bin");
  SetFileDateOf(Source("first.txt"), kOldDate);
  EXPECT_EQ(second->InstallAttributes, TTrnwFileAttributesSet{tfaReadOnly});
  EXPECT_TRUE(first->InstallAttributes.Empty());

  Build(dir);
  ASSERT_TRUE(testsupport::FileExists(archive));
  EXPECT_EQ(first->BuildMark, 2);
  EXPECT_TRUE(SameText(first->ArchiveUsed, archive)) << first->ArchiveUsed;
  // The sources change after the build: the install must use the archive.
  SetFileAttributesA(Source("second.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteFileText(Source("first.txt"), "changed");
  WriteFileText(Source("second.bin"), "changed");
  first->Size = second->Size = 0;
  first->FileDate = second->FileDate = 0;

  dir->Install();
  EXPECT_TRUE(first->ArchiveInfoRead);
  EXPECT_EQ(first->Size, static_cast<int>(text.size()));
  EXPECT_EQ(second->Size, static_cast<int>(noise.size()));
  EXPECT_GT(second->PackedSize, 0);
  EXPECT_LT(first->PackedSize, first->Size);
  EXPECT_EQ(Slurp(Dest("first.txt")), text);
  EXPECT_EQ(Slurp(Dest("second.bin")), noise);
  EXPECT_NEAR(FileDateOf(Dest("first.txt")), kOldDate, kTwoSeconds);
  EXPECT_NEAR(FileDateOf(Dest("second.bin")), kNewDate, kTwoSeconds);
  EXPECT_NEAR(second->FileDate, kNewDate, kTwoSeconds);
  EXPECT_TRUE(AttributesOf(Dest("second.bin")) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(AttributesOf(Dest("first.txt")) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(first->Processed && second->Processed && dir->Processed);
  EXPECT_EQ(first->State(), ifsNone);
  EXPECT_EQ(dir->Mode, 0);
}

TEST_F(InstallFile, ArchiveInformationIsBoundByUniqueIDNotByName) {
  dir = Directory();
  TInstallFile* small = File(dir, "ifSmall", "small.txt", "tiny");
  TInstallFile* large = File(dir, "ifLarge", "large.txt", std::string(5000, 'L'));
  Build(dir);
  const int smallID = small->UniqueID();
  const int largeID = large->UniqueID();
  ASSERT_NE(smallID, largeID);
  small->SetUniqueID(largeID);
  large->SetUniqueID(smallID);
  small->ArchiveInfoRead = large->ArchiveInfoRead = false;
  dir->ReadArchiveInfo();
  EXPECT_EQ(small->Size, 5000);
  EXPECT_EQ(large->Size, 4);
  EXPECT_TRUE(dir->ArchiveInfoRead);

  // An identifier the archive does not hold leaves the file as it was.
  small->SetUniqueID(1999);
  small->Size = 17;
  small->ArchiveInfoRead = false;
  dir->ReadArchiveInfo();
  EXPECT_EQ(small->Size, 17);
  EXPECT_FALSE(small->ArchiveInfoRead);
}

TEST_F(InstallFile, BlankArchiveOrDestinationIsRefusedWithItsMessage) {
  dir = Directory();
  TInstallFile* f = File(dir, "ifData", "data.txt", "x");
  dir->SetArchiveFile("");
  EXPECT_EQ(MessageOf([&] { Build(dir); }),
            "Cannot either compress or decompress the following file because it's archive file property is blank. "
            "File is :data.txt");
  dir->SetArchiveFile(archive);
  Build(dir);
  dir->SetDestDir("");
  EXPECT_EQ(MessageOf([&] { dir->Install(); }),
            "Cannot compress,copy, or install the following file because it's destination directory is blank. "
            "File is :ifData");
  EXPECT_FALSE(f->Processed);
  EXPECT_EQ(dir->Mode, 0);
}

// ------------------------------------------------------------ overwrite rules

TEST_F(InstallFile, AlwaysAndNeverRulesAgainstAnExistingFile) {
  TInstallFile* f = BuiltFile("new", kOldDate, owAlways);
  Existing("old", kNewDate);
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
  EXPECT_TRUE(f->TargetExisted);
  EXPECT_TRUE(f->CopyWanted);

  f->OverwriteMode = owNever;
  f->Processed = false;
  Existing("old", kOldDate);
  int afterInstall = 0;
  f->OnAfterInstall = [&](TCustomInstallFile*) { ++afterInstall; };
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "old");
  EXPECT_FALSE(f->CopyWanted);
  // The post-install part of the step still runs.
  EXPECT_EQ(afterInstall, 1);
  EXPECT_TRUE(f->Processed);

  DeleteFileA(Dest("data.txt").c_str());
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
}

TEST_F(InstallFile, DateRuleReplacesOnlyOlderFiles) {
  TInstallFile* f = BuiltFile("new", kNewDate, owDate);
  Existing("older", kOldDate);
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
  EXPECT_NEAR(FileDateOf(Dest("data.txt")), kNewDate, kTwoSeconds);

  Existing("same date", kNewDate);
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "same date");

  Existing("newer", kNewDate + 1);
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "newer");

  DeleteFileA(Dest("data.txt").c_str());
  f->Install();
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
}

TEST_F(InstallFile, VersionRuleComparesTheVersionResources) {
  dir = Directory();
  CopyVersioned("ver_1235.exe", Source("tool.exe"), kOldDate);
  TInstallFile* f = FileFor(dir, "ifTool", "tool.exe");
  f->OverwriteMode = owVersion;
  Build(dir);
  CreateDirectoryA(destDir.c_str(), nullptr);
  const std::string target = Dest("tool.exe");
  const std::string newBytes = Slurp(Source("tool.exe"));

  CopyVersioned("ver_1234.exe", target, kNewDate);  // older version, newer date
  f->Install();
  EXPECT_EQ(f->Version, "1.2.3.5");
  EXPECT_EQ(Slurp(target), newBytes);

  // Same version: kept, whatever the dates (the date tells it was not rewritten).
  CopyVersioned("ver_1235.exe", target, kOldDate - 5);
  f->Install();
  EXPECT_FALSE(f->CopyWanted);
  EXPECT_NEAR(FileDateOf(target), kOldDate - 5, kTwoSeconds);

  // A file without version information counts as older than a versioned one.
  CopyVersioned("ver_none.exe", target, kNewDate);
  f->Install();
  EXPECT_TRUE(f->CopyWanted);
  EXPECT_EQ(Slurp(target), newBytes);
}

TEST_F(InstallFile, VersionRuleKeepsANewerInstalledVersion) {
  dir = Directory();
  CopyVersioned("ver_1234.exe", Source("tool.exe"), kNewDate);
  TInstallFile* f = FileFor(dir, "ifTool", "tool.exe");
  f->OverwriteMode = owVersion;
  Build(dir);
  CreateDirectoryA(destDir.c_str(), nullptr);
  CopyVersioned("ver_1235.exe", Dest("tool.exe"), kOldDate);
  const std::string installed = Slurp(Dest("tool.exe"));
  f->Install();
  EXPECT_FALSE(f->CopyWanted);
  EXPECT_EQ(Slurp(Dest("tool.exe")), installed);
}

TEST_F(InstallFile, VersionDateRuleFallsBackToTheDateOnEqualVersions) {
  dir = Directory();
  CopyVersioned("ver_1234.exe", Source("tool.exe"), kNewDate);
  TInstallFile* f = FileFor(dir, "ifTool", "tool.exe");
  f->OverwriteMode = owVersionDate;
  Build(dir);
  CreateDirectoryA(destDir.c_str(), nullptr);
  const std::string target = Dest("tool.exe");

  CopyVersioned("ver_1234.exe", target, kOldDate);  // same version, older date
  f->Install();
  EXPECT_TRUE(f->CopyWanted);
  EXPECT_NEAR(FileDateOf(target), kNewDate, kTwoSeconds);

  CopyVersioned("ver_1234.exe", target, kNewDate + 1);  // same version, newer date
  f->Install();
  EXPECT_FALSE(f->CopyWanted);
  EXPECT_NEAR(FileDateOf(target), kNewDate + 1, kTwoSeconds);

  CopyVersioned("ver_1235.exe", target, kOldDate);  // newer version, older date
  f->Install();
  EXPECT_FALSE(f->CopyWanted);
  EXPECT_NEAR(FileDateOf(target), kOldDate, kTwoSeconds);
}

TEST_F(InstallFile, AskRuleAsksThroughTheMessageBoxAndFollowsTheAnswer) {
  TInstallFile* f = BuiltFile("new", kOldDate, owAsk);
  std::vector<std::string> asked;
  int answer = IDNO;
  InstallBoxHook = [&](const std::string& text, unsigned flags) {
    asked.push_back(text);
    EXPECT_EQ(flags & MB_TYPEMASK, static_cast<unsigned>(MB_YESNO));
    return answer;
  };
  Existing("old", kNewDate);
  f->Install();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "Copy This File data.txt?");
  EXPECT_EQ(Slurp(Dest("data.txt")), "old");

  answer = IDYES;
  f->Install();
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
}

// ------------------------------------------------------------ in-use destinations

TEST_F(InstallFile, InUseFileGoesInUnderANumberedNameAndIsReplacedAtTheRestart) {
  TTestInstall* install = MakeInstall();
  TInstallFile* f = BuiltFile("new", kNewDate, owAlways);
  Existing("running", kOldDate);
  const std::string target = Dest("data.txt");
  f->RegisterAsHelp = f->UpdateDLLCounter = true;
  auto forget = [&] {
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kHelpFilesKey, "DATA.TXT");
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSharedDLLsKey, target);
  };
  forget();
  THeldFile held(target);
  ASSERT_TRUE(held.Held());
  int replacing = 0;
  dir->OnReplacing = [&](TCustomInstallFile* file) {
    EXPECT_EQ(file, f);
    ++replacing;
  };
  dir->Install();
  held.Release();
  EXPECT_EQ(replacing, 1);
  EXPECT_TRUE(f->ReplaceAtReboot);
  EXPECT_EQ(f->DestName(), "data.1");
  EXPECT_TRUE(install->reboot);
  EXPECT_EQ(Slurp(target), "running");
  EXPECT_EQ(Slurp(Dest("data.1")), "new");
  bool found = false;
  for (const auto& p : PendingRenames())
    if (Mentions(p.first, Dest("data.1"))) {
      found = true;
      EXPECT_TRUE(Mentions(p.second, target)) << p.second;
      EXPECT_EQ(p.second.substr(0, 1), "!") << "replace existing";
    }
  ForgetPendingRenames(Dest("data.1"));
  EXPECT_TRUE(found);
  // Every record names the file as it is after the restart.
  EXPECT_EQ(f->FinalName(), "data.txt");
  EXPECT_EQ(f->InstalledPath(), target);
  EXPECT_EQ(ReadRegistryString(kHKLM, UninstallKey(install) + "\\Files", "File1", ""), target);
  EXPECT_EQ(ReadRegistryString(kHKLM, kHelpFilesKey, "DATA.TXT", ""), destDir);
  EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kHelpFilesKey, "DATA.1"));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, kSharedDLLsKey, target, -1), 1);
  EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kSharedDLLsKey, Dest("data.1")));
  forget();
}

TEST_F(InstallFile, ReadOnlyExistingFileIsReplacedInPlaceWithoutARestart) {
  TTestInstall* install = MakeInstall();
  TInstallFile* f = BuiltFile("new", kNewDate, owAlways);
  Existing("shipped read-only", kOldDate);
  ASSERT_TRUE(SetFileAttributesA(Dest("data.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  dir->Install();
  EXPECT_FALSE(f->ReplaceAtReboot);
  EXPECT_FALSE(install->reboot);
  EXPECT_EQ(f->DestName(), "data.txt");
  EXPECT_EQ(Slurp(Dest("data.txt")), "new");
  EXPECT_EQ(GetFileAttributesA(Dest("data.1").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallFile, InUseFileTakesTheNextFreeNumber) {
  MakeInstall();
  TInstallFile* f = BuiltFile("new", kNewDate, owAlways);
  Existing("running", kOldDate);
  WriteFileText(Dest("data.1"), "earlier");
  THeldFile held(Dest("data.txt"));
  f->Install();
  held.Release();
  ForgetPendingRenames(Dest("data.2"));
  EXPECT_EQ(f->DestName(), "data.2");
  EXPECT_EQ(Slurp(Dest("data.1")), "earlier");
  EXPECT_EQ(Slurp(Dest("data.2")), "new");
}

// The same install in a process of its own, under a Windows version of the
// prefix: the work directory's source file over its held destination.
static std::string ReplaceInChild(const std::string& work, const std::string& version) {
  const std::string out = work + "\\probe.txt";
  const int rc = testsupport::RunWithWindowsVersion("replaceprobe", version, "\"" + work + "\" \"" + out + "\"");
  return "rc=" + std::to_string(rc) + "\n" + Slurp(out);
}

TEST_F(InstallFile, OnWindows98AnInUseFileIsRenamedThroughWininit) {
  const std::string work = temp->File("win98 probe");
  CreateDirectoryA(work.c_str(), nullptr);
  CreateDirectoryA((work + "\\source").c_str(), nullptr);
  CreateDirectoryA((work + "\\dest").c_str(), nullptr);
  WriteFileText(work + "\\source\\data.txt", "new");
  WriteFileText(work + "\\dest\\data.txt", "running");
  const std::string target = work + "\\dest\\data.txt";
  const std::string newFile = work + "\\dest\\data.1";
  const std::string ini = AddBackslash(GetWindowsDir()) + "WININIT.INI";
  const bool iniExisted = testsupport::FileExists(ini);
  const std::string report = ReplaceInChild(work, "win98");
  const std::string shortTarget = GetShortPath(target);
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA("Rename", shortTarget.c_str(), "", value, sizeof value, ini.c_str());
  WritePrivateProfileStringA("Rename", shortTarget.c_str(), nullptr, ini.c_str());
  if (!iniExisted) DeleteFileA(ini.c_str());
  ForgetPendingRenames(newFile);
  EXPECT_EQ(report, "rc=0\nos=7\nheld=1\nreboot=1\nreplace=1\ndestname=data.1\n");
  EXPECT_NE(shortTarget, target);
  EXPECT_EQ(std::string(value), GetShortPath(newFile));
  EXPECT_EQ(Slurp(target), "running");
  EXPECT_EQ(Slurp(newFile), "new");
}

TEST_F(InstallFile, OnWindowsXPAnInUseFileIsRenamedByTheSystemAtTheRestart) {
  const std::string work = temp->File("winxp probe");
  CreateDirectoryA(work.c_str(), nullptr);
  CreateDirectoryA((work + "\\source").c_str(), nullptr);
  CreateDirectoryA((work + "\\dest").c_str(), nullptr);
  WriteFileText(work + "\\source\\data.txt", "new");
  WriteFileText(work + "\\dest\\data.txt", "running");
  const std::string newFile = work + "\\dest\\data.1";
  const std::string report = ReplaceInChild(work, "winxp");
  bool pending = false;
  for (const auto& p : PendingRenames())
    if (Mentions(p.first, newFile)) pending = Mentions(p.second, work + "\\dest\\data.txt");
  ForgetPendingRenames(newFile);
  const std::string ini = AddBackslash(GetWindowsDir()) + "WININIT.INI";
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA("Rename", GetShortPath(work + "\\dest\\data.txt").c_str(), "", value, sizeof value,
                           ini.c_str());
  EXPECT_EQ(report, "rc=0\nos=9\nheld=1\nreboot=1\nreplace=1\ndestname=data.1\n");
  EXPECT_TRUE(pending);
  EXPECT_STREQ(value, "");
}

// ------------------------------------------------------------ property rules

TEST_F(InstallFile, ToolsOcxBecomesASystemWideActiveXLibrary) {
  dir = Directory();
  TInstallFile* f = File(dir, "ifTools", "TOOLS.OCX", "not really a library");
  EXPECT_TRUE(f->ActiveX());
  EXPECT_EQ(f->FileType(), iftSystemWideDLL);
  EXPECT_TRUE(f->UpdateDLLCounter);
  EXPECT_EQ(f->OverwriteMode, owVersionDate);
  ASSERT_NE(f->DestDirType(), nullptr);
  EXPECT_STREQ(f->DestDirType()->ClassName(), "TpsSystem");
  EXPECT_EQ(f->DestDir(), "");
  EXPECT_EQ(f->DestName(), "TOOLS.OCX");
}

TEST_F(InstallFile, FileNamesSetHelpAndTypeLibraryFlags) {
  MakeInstall();
  dir = Directory();
  TInstallFile* help = File(dir, "ifHelp", "manual.hlp", "h");
  EXPECT_TRUE(help->RegisterAsHelp);
  EXPECT_FALSE(help->ActiveX());
  TInstallFile* contents = File(dir, "ifContents", "manual.cnt", "c");
  EXPECT_TRUE(contents->RegisterAsHelp);
  TInstallFile* library = File(dir, "ifLibrary", "types.tlb", "t");
  EXPECT_TRUE(library->ActiveX());
  EXPECT_FALSE(library->RegisterAsHelp);
  // Renaming the help file to a plain file clears the flag.
  help->SetFileName("readme.txt");
  EXPECT_FALSE(help->RegisterAsHelp);
  EXPECT_EQ(help->DestName(), "readme.txt");
  // A library type places the file below the main install directory.
  TInstallFile* dll = File(dir, "ifDll", "private.dll", "d");
  dll->SetFileType(iftApplicationSpecificDLL);
  EXPECT_EQ(dll->OverwriteMode, owVersionDate);
  EXPECT_FALSE(dll->UpdateDLLCounter);
  EXPECT_EQ(dll->DestDir(), "\\System");
  ASSERT_NE(dll->DestDirType(), nullptr);
  EXPECT_STREQ(dll->DestDirType()->ClassName(), "TpsMainInstall");
}

TEST_F(InstallFile, SecondFileWithTheSameSourceInAContainerIsRefused) {
  dir = Directory();
  TInstallFile* first = File(dir, "ifFirst", "same.txt", "1");
  auto* second = new TInstallFile(form.get());
  second->SetName("ifSecond");
  second->SetIncludeFromDir(sourceDir);
  second->SetFileName("SAME.TXT");
  try {
    second->SetContainer(dir);
    FAIL() << "no error";
  } catch (const IEfcDuplicateFile& e) {
    EXPECT_EQ(e.Message(), "There is already a file with the name :" + sourceDir + "\\SAME.TXT");
  }
  EXPECT_EQ(second->Container(), nullptr);
  EXPECT_EQ(dir->FileCount(), 1);
  EXPECT_EQ(dir->Files(0), first);
  // Renaming the first file onto the name of another one is refused too.
  TInstallFile* other = File(dir, "ifOther", "other.txt", "2");
  EXPECT_THROW(other->SetFileName("same.txt"), IEfcDuplicateFile);
  EXPECT_EQ(other->FileName(), "other.txt");
  EXPECT_EQ(other->DestName(), "other.txt");
}

TEST_F(InstallFile, ContainerMustBeAFileContainer) {
  TTestInstall* install = MakeInstall();
  auto* group = new TInstallGroup(form.get());
  group->SetName("igGroup");
  group->SetContainer(install);
  TInstallFile* f = File(nullptr, "ifLoose", "loose.txt", "x");
  EXPECT_NO_THROW(f->SetContainer(group));

  // A shell-link group or any other container that holds no files.
  class TPlainContainer : public TInstallObject {
  public:
    using TInstallObject::TInstallObject;
    int Rank() const override { return 7000; }
  };
  auto* plain = new TPlainContainer(form.get());
  EXPECT_EQ(MessageOf([&] { f->SetContainer(plain); }),
            "The following TInstallFile component ifLoose requires the Container property to be a component "
            "descended from the TFileContainer component");
  EXPECT_EQ(f->Container(), group);
}

TEST_F(InstallFile, StreamedUniqueIDOutsideTheSlotTableIsRefused) {
  const std::string text =
      "object Form1: TComponent\n"
      "  object ifFar: TInstallFile\n"
      "    FileName = 'far.txt'\n"
      "    UniqueID = 2000\n"
      "  end\n"
      "end\n";
  auto streamForm = std::make_unique<TComponent>(nullptr);
  const std::string message = MessageOf([&] { ReadForm(streamForm.get(), ParseFormText(text)); });
  EXPECT_NE(message.find("The UniqueID 2000 of ifFar is outside the range 0 to 1999"), std::string::npos)
      << message;
  streamForm = std::make_unique<TComponent>(nullptr);
  EXPECT_NE(MessageOf([&] { ReadForm(streamForm.get(), ParseFormText(
                                          "object Form1: TComponent\n  object ifNeg: TInstallFile\n"
                                          "    UniqueID = -1\n  end\nend\n")); })
                .find("outside the range"),
            std::string::npos);

  streamForm = std::make_unique<TComponent>(nullptr);
  ReadForm(streamForm.get(), ParseFormText("object Form1: TComponent\n  object ifLast: TInstallFile\n"
                                           "    UniqueID = 1999\n  end\nend\n"));
  auto* last = dynamic_cast<TInstallFile*>(streamForm->FindComponent("ifLast"));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->UniqueID(), 1999);
  EXPECT_TRUE(uniqueid::IsUsed(1999));
}

TEST_F(InstallFile, SelfRegisteringLibraryIsTakenForAnActiveXServer) {
  dir = Directory();
  ASSERT_TRUE(CopyFileA((BinDir() + "\\selfregserver.dll").c_str(), Source("selfreg.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\twstrings.dll").c_str(), Source("plain.dll").c_str(), FALSE));
  TInstallFile* plain = FileFor(dir, "ifPlain", "plain.dll");
  EXPECT_FALSE(plain->ActiveX());
  EXPECT_FALSE(plain->HasOLESelfRegister());
  EXPECT_EQ(plain->FileType(), iftNormal);
  TInstallFile* self = FileFor(dir, "ifSelf", "selfreg.dll");
  EXPECT_TRUE(self->HasOLESelfRegister());
  EXPECT_TRUE(self->ActiveX());
  EXPECT_EQ(self->FileType(), iftSystemWideDLL);
  ASSERT_NE(self->DestDirType(), nullptr);
  EXPECT_STREQ(self->DestDirType()->ClassName(), "TpsSystem");
}

TEST_F(InstallFile, VersionRuleDoesNotInstallAnUnversionedFileOverNothing) {
  TInstallFile* f = BuiltFile("plain text", kNewDate, owVersion);
  EXPECT_EQ(f->Version, "");
  // With the destination there, the step creates a new target before it
  // decides; nothing of it may stay when the file is not copied, or when
  // the extraction fails.
  CreateDirectoryA(destDir.c_str(), nullptr);
  f->Install();
  EXPECT_FALSE(f->CopyWanted);
  EXPECT_FALSE(testsupport::FileExists(Dest("data.txt")));
  EXPECT_TRUE(f->Processed);

  f->OverwriteMode = owAlways;
  f->Processed = false;
  ASSERT_TRUE(DeleteFileA(archive.c_str()));
  EXPECT_NE(MessageOf([&] { f->Install(); }), "");
  EXPECT_FALSE(testsupport::FileExists(Dest("data.txt")));
}

TEST_F(InstallFile, AbortInTheBeforeInstallEventSkipsTheFile) {
  dir = Directory();
  TInstallFile* skipped = File(dir, "ifSkipped", "skipped.txt", std::string(100, 's'));
  TInstallFile* kept = File(dir, "ifKept", "kept.txt", std::string(300, 'k'));
  Build(dir);
  skipped->OnBeforeInstall = [](TCustomInstallFile*) { throw EAbort(); };
  std::vector<std::pair<TCustomInstallFile*, int>> heard;
  dir->OnStatus = [&](TCustomInstallFile* f, int filePct, int) { heard.emplace_back(f, filePct); };
  dir->Install();
  EXPECT_FALSE(testsupport::FileExists(Dest("skipped.txt")));
  EXPECT_FALSE(skipped->Processed);
  EXPECT_EQ(Slurp(Dest("kept.txt")), std::string(300, 'k'));
  EXPECT_TRUE(kept->Processed);
  EXPECT_TRUE(dir->Processed);
  // The skipped file is reported done, so that the totals still reach 100.
  EXPECT_NE(std::find(heard.begin(), heard.end(), std::pair<TCustomInstallFile*, int>(skipped, 100)),
            heard.end());
  EXPECT_EQ(dir->BytesDone, 400);
}

TEST_F(InstallFile, CopyPassCopiesTheSourcesWithoutAnArchive) {
  dir = Directory();
  TInstallFile* f = File(dir, "ifCopied", "copied.txt", "straight copy");
  dir->SetArchiveFile("");
  int lastTotal = -1;
  dir->OnStatus = [&](TCustomInstallFile*, int, int total) { lastTotal = total; };
  int before = 0, after = 0;
  f->OnBeforeCopy = [&](TCustomInstallFile*) { ++before; };
  f->OnAfterCopy = [&](TCustomInstallFile*) { ++after; };
  dir->Copy();
  EXPECT_EQ(Slurp(Dest("copied.txt")), "straight copy");
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(lastTotal, 100);
  EXPECT_EQ(f->Size, 13);
  EXPECT_EQ(dir->Mode, 0);
  EXPECT_EQ(f->State(), ifsNone);
}

// ------------------------------------------------------------ disk sets

TEST_F(InstallFile, AfterTheUserNamesAnotherFolderForADiskLaterFilesLookThere) {
  // files.1 on disk 1 in one folder, disks 2 and 3 in another: the middle
  // file spans all three, the last lies on disk 3 alone.
  TTestInstall* install = MakeInstall();
  std::string source = temp->File("archive");
  PathSpecifierLinks().SourceDir = [&](TInstallContainer*) { return source; };
  struct TRestore {
    ~TRestore() { PathSpecifierLinks().SourceDir = nullptr; }
  } restore;
  install->SetArchiveFileType(Specifier<TpsMainArchiveFile>());
  install->SetDestDir(destDir);
  const std::string noise = testsupport::Noise(250000, 3);
  TInstallFile* first = File(install, "ifFirst", "first.txt", std::string(5000, 'a'));
  WriteFileText(Source("middle.bin"), noise);
  TInstallFile* middle = FileFor(install, "ifMiddle", "middle.bin");
  TInstallFile* last = File(install, "ifLast", "last.txt", "on the last disk");
  Build(install);
  const std::string one = temp->File("disk one"), rest = temp->File("later disks");
  {
    TTrnwCompress z(nullptr);
    z.SetCompressedFile(AddBackslash(source) + "files.1");
    z.DiskSize = 100000;
    z.OnNewDisk = [&](TTrnwCompress*, int, std::string& path) { path = rest; };
    z.CopyToDisks(one, "files.1");
  }
  ASSERT_TRUE(testsupport::FileExists(rest + "\\files.3"));
  source = one;

  std::vector<std::pair<int, std::string>> asked;
  for (TInstallFile* f : {first, middle, last})
    f->OnNewDisk = [&](TCustomInstallFile*, int disk, std::string& path) {
      asked.emplace_back(disk, path);
      path = rest;
    };
  install->Install();
  EXPECT_EQ(Slurp(Dest("first.txt")), std::string(5000, 'a'));
  EXPECT_EQ(Slurp(Dest("middle.bin")), noise);
  EXPECT_EQ(Slurp(Dest("last.txt")), "on the last disk");
  // Asked once, for disk 2 where disk 1 was; disk 3 and the last file are
  // found in the folder the user named.
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].first, 2);
  EXPECT_TRUE(SameText(asked[0].second, one)) << asked[0].second;
  EXPECT_TRUE(SameText(Specifier<TpsMainArchiveFile>()->ArchiveDirectory, rest));
}
