// Shell links: the one main link group, main links and their setter rules,
// the project stream, and shortcuts written under Wine.
#include <gtest/gtest.h>
#include <gmock/gmock-matchers.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <fstream>
#include <memory>

#include "ClassReg.h"
#include "FormReader.h"
#include "FormStream.h"
#include "TestSupport.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallFile.h"
#include "cmp_TInstallInformation.h"
#include "cmp_TInstallShellLink.h"
#include "routines_ExpandPaths.h"
#include "routines_Registry.h"

#undef CreateHardLink

using ::testing::HasSubstr;
using testsupport::MessageOf;

namespace {

class TLinkInstall : public TInstallContainer {
public:
  explicit TLinkInstall(TComponent* owner) : TInstallContainer(owner) {
    info.ProductName = "Kelvo Vantlex Console for NetWare 2006";
    CurrentInstall = this;
  }
  ~TLinkInstall() override {
    if (CurrentInstall == this) CurrentInstall = nullptr;
  }
  const char* ClassName() const override { return "TLinkInstall"; }
  int Rank() const override { return 0; }
  TInstallInformation* Information() override { return &info; }
  std::string UninstallProductName() const override { return info.ProductName; }
  TInstallInformation info;
};
TClassRegistrar<TLinkInstall> regLinkInstall("TLinkInstall", "TInstallContainer", nullptr);

class InstallShellLinks : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterShellLinkClasses();
    RegisterPathSpecifierClasses();
    RegisterInstallFileClasses();
    form = std::make_unique<TComponent>(nullptr);
    StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
  }
  void TearDown() override {
    form.reset();
    CurrentInstall = nullptr;
    RunningOSHook = savedOS;
  }
  void Read(const std::string& text) { ReadForm(form.get(), ParseFormText(text)); }
  template <class T>
  T* Find(const char* name) {
    return dynamic_cast<T*>(form->FindComponent(name));
  }
  std::unique_ptr<TComponent> form;
  TOSVerType (*savedOS)() = RunningOSHook;
};

const char* const kProject =
    "object mainForm: TComponent\n"
    "  object Install1: TLinkInstall\n  end\n"
    "  object idMiscellaneous: TInstallDirectory\n"
    "    Container = Install1\n    Description = 'Uninstall'\n  end\n"
    "  object ifUninstallEXE: TInstallFile\n"
    "    Container = idMiscellaneous\n    FileName = 'uninstall.exe'\n    DestName = 'uninstall.exe'\n  end\n"
    "  object MainFolder: TMainLinkGroup\n"
    "    Container = Install1\n    DestDir = '\\Kelvo Vantlex  Console 2006'\n  end\n"
    "  object psObjectLink: TpsObjectLink\n  end\n"
    "  object InstallMainLink: TInstallMainLink\n"
    "    Container = MainFolder\n    LinkName = 'uninstall.lnk'\n    ObjectLink = ifUninstallEXE\n"
    "    ObjectLocationType = psObjectLink\n    HotKey = 0\n  end\n"
    "  object InstallMainLink1: TInstallMainLink\n"
    "    Container = MainFolder\n    LinkName = 'Server <Console>.LNK'\n    ObjectLink = InstallFile3\n  end\n"
    "  object InstallFile3: TInstallFile\n"
    "    Container = idMiscellaneous\n    FileName = 'voreruro.exe'\n    DestName = 'voreruro.exe'\n  end\n"
    "end\n";

}  // namespace

TEST_F(InstallShellLinks, ProjectStreamBuildsTheMainFolderAndItsLinks) {
  const std::string binary = WriteFormStream(ParseFormText(kProject));
  ReadForm(form.get(), binary.data(), binary.size());
  auto* group = Find<TMainLinkGroup>("MainFolder");
  auto* uninstallLink = Find<TInstallMainLink>("InstallMainLink");
  auto* consoleLink = Find<TInstallMainLink>("InstallMainLink1");
  ASSERT_TRUE(group && uninstallLink && consoleLink);
  EXPECT_EQ(MainLinkGroup(), group);
  EXPECT_EQ(group->DestDir(), "\\Kelvo Vantlex  Console 2006");
  EXPECT_STREQ(group->DestDirType()->ClassName(), "TpsProgramMenu");
  group->SetDestDirType(Find<TCustomPathSpecifier>("psSystem"));
  EXPECT_STREQ(group->DestDirType()->ClassName(), "TpsProgramMenu");
  EXPECT_EQ(group->Rank(), 7000);
  EXPECT_EQ(uninstallLink->Rank(), 8000);
  EXPECT_EQ(uninstallLink->Container(), group);
  EXPECT_EQ(consoleLink->Container(), group);
  EXPECT_EQ(uninstallLink->ObjectLink(), Find<TInstallContainer>("ifUninstallEXE"));
  // A reference to a later component is fixed up.
  EXPECT_EQ(consoleLink->ObjectLink(), Find<TInstallContainer>("InstallFile3"));
  EXPECT_EQ(uninstallLink->ObjectLocationType(), Find<TpsObjectLink>("psObjectLink"));
  EXPECT_EQ(uninstallLink->LinkName(), "uninstall.lnk");
  EXPECT_EQ(consoleLink->LinkName(), "Server _Console_.LNK");
  EXPECT_EQ(MainLinks().Count(), 2);
  EXPECT_EQ(uninstallLink->LinkPath(), GetProgramsMenuDir() + "\\Kelvo Vantlex  Console 2006\\uninstall.lnk");

  form.reset();
  EXPECT_EQ(MainLinkGroup(), nullptr);
  EXPECT_EQ(MainLinks().Count(), 0);
  EXPECT_EQ(ShellLinks().Count(), 0);
}

TEST_F(InstallShellLinks, OnlyOneMainGroupAndItMustComeFirst) {
  EXPECT_THAT(MessageOf([&] {
                Read("object F: TComponent\n  object L: TInstallMainLink\n    LinkName = 'a.lnk'\n  end\nend\n");
              }),
              HasSubstr("To create a TInstallMainLink you must first have a TMainLinkGroup component in your project"));
  EXPECT_EQ(form->FindComponent("L"), nullptr);

  auto* group = new TMainLinkGroup(form.get());
  EXPECT_EQ(group->DestDir(), "\\MainFolderName");
  EXPECT_THAT(MessageOf([&] { new TMainLinkGroup(form.get()); }),
              HasSubstr("You can only have one TMainLinkGroup component in your project"));
  EXPECT_EQ(MainLinkGroup(), group);
  EXPECT_EQ(form->ComponentCount(), 36);  // 35 standard specifiers and the group
  delete group;
  EXPECT_EQ(MainLinkGroup(), nullptr);

  // With an install, the folder is named after the product.
  new TLinkInstall(form.get());
  auto* named = new TMainLinkGroup(form.get());
  EXPECT_EQ(named->DestDir(), "\\Kelvo Vantlex Console for NetWare 2006");
  auto* link = new TInstallMainLink(form.get());
  EXPECT_EQ(link->Container(), named);
  EXPECT_THAT(MessageOf([&] { link->SetContainer(CurrentInstall); }),
              HasSubstr("The TMainLinkGroup component must be the Container for TInstallMainLink"));
  EXPECT_EQ(link->Container(), named);
}

TEST_F(InstallShellLinks, SettersDeriveAndCleanNames) {
  Read(kProject);
  auto* link = new TInstallMainLink(form.get());
  link->SetName("NewLink");
  auto* exe = Find<TInstallContainer>("InstallFile3");
  auto* dir = Find<TInstallContainer>("idMiscellaneous");

  link->SetObjectLink(exe);
  EXPECT_EQ(link->LinkName(), "voreruro.lnk");
  EXPECT_EQ(link->ObjectLocationType(), Find<TpsObjectLink>("psObjectLink"));
  link->SetObjectLink(dir);
  EXPECT_EQ(link->LinkName(), "Uninstall.lnk");
  link->SetObjectLocation("C:\\ignored.exe");  // a psObjectLink target keeps no location
  EXPECT_EQ(link->ObjectLocation(), "");

  link->SetLinkName("Read<me>?.lnk");
  EXPECT_EQ(link->LinkName(), "Read_me__.lnk");
  link->SetLinkName("notes.txt");
  EXPECT_EQ(link->LinkName(), "notes.LNK");
  link->SetLinkName("site.Url");
  EXPECT_EQ(link->LinkName(), "site.Url");
  EXPECT_EQ(link->ObjectLink(), nullptr);
  link->SetLinkName("other.doc");  // the previous extension stays
  EXPECT_EQ(link->LinkName(), "other.URL");

  auto* web = new TInstallMainLink(form.get());
  web->SetObjectLocation("http://www.example.com/news/");
  EXPECT_EQ(web->LinkName(), "www.example.com_news_.URL");
  auto* ftp = new TInstallMainLink(form.get());
  ftp->SetObjectLocation("Ftp://ftp.example.com");
  EXPECT_EQ(ftp->LinkName(), "ftp.example.com.URL");
  auto* file = new TInstallMainLink(form.get());
  file->SetObjectLocation("C:\\Tools\\prog.exe");
  EXPECT_EQ(file->LinkName(), "prog.LNK");
  file->SetObjectLocation("C:\\Tools\\other.exe");  // a name is derived only once
  EXPECT_EQ(file->LinkName(), "prog.LNK");
  EXPECT_EQ(file->GetTargetPath(), "C:\\Tools\\other.exe");

  // psObjectLink needs a link with an object link.
  file->SetName("FileLink");
  auto* ps = Find<TpsObjectLink>("psObjectLink");
  EXPECT_EQ(MessageOf([&] { file->SetObjectLocationType(ps); }),
            "Cannot use ddObjectLink for FileLink unless you assign a value to ObjectLink");
  EXPECT_EQ(file->ObjectLocationType(), nullptr);
  EXPECT_EQ(MessageOf([&] { ps->GetPath(dir); }),
            "idMiscellaneous must be a TCustomInstallShellLink to use the psObjectLink path specifier");
  EXPECT_EQ(ps->GetDescription(), "Path of the file or file group in the ObjectLink property");

  // A link whose target goes away goes with it.
  link->SetObjectLink(exe);
  delete exe;
  EXPECT_EQ(form->FindComponent("NewLink"), nullptr);
}

TEST_F(InstallShellLinks, InstallWritesShortcutsAndRecordsThem) {
  Read(kProject);
  auto* group = Find<TMainLinkGroup>("MainFolder");
  const std::string folderName = testsupport::UniqueName("twlinks");
  group->SetDestDir("\\" + folderName);
  const std::string folder = GetProgramsMenuDir() + "\\" + folderName;
  testsupport::TTempDir target("lnk");
  testsupport::WriteFileText(target.File("tool.exe"), "MZ tool");

  auto* link = new TInstallMainLink(form.get());
  link->SetName("ToolLink");
  link->SetObjectLocation(target.File("tool.exe"));
  link->Parameters = "/run %%";
  link->HotKey = 0x0654;
  link->Method = mtShellLinkInterface;
  auto* web = new TInstallMainLink(form.get());
  web->SetName("WebLink");
  web->SetObjectLocation("http://www.example.com/");
  web->Method = mtShellLinkInterface;  // .URL wins whatever the method
  auto* blank = new TInstallMainLink(form.get());
  blank->SetName("BlankLink");

  link->InstallObjects();  // initialises COM itself
  web->InstallObjects();
  EXPECT_EQ(MessageOf([&] { blank->InstallObjects(); }),
            "The LinkName is blank for BlankLink and therefore could not be installed");

  // The shell link reads back with its target, arguments and folder.
  const std::string lnk = folder + "\\tool.LNK";
  {
    IShellLinkA* sl = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&sl)), S_OK);
    IPersistFile* pf = nullptr;
    ASSERT_EQ(sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)), S_OK);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    EXPECT_EQ(pf->Load(wide, STGM_READ), S_OK);
    char buf[MAX_PATH] = {};
    sl->GetPath(buf, MAX_PATH, nullptr, 0);
    EXPECT_TRUE(lstrcmpiA(buf, target.File("tool.exe").c_str()) == 0) << buf;
    sl->GetArguments(buf, MAX_PATH);
    EXPECT_STREQ(buf, "/run %");
    sl->GetWorkingDirectory(buf, MAX_PATH);
    EXPECT_TRUE(lstrcmpiA(buf, target.Path().c_str()) == 0) << buf;
    WORD hotKey = 0;
    sl->GetHotkey(&hotKey);
    EXPECT_EQ(hotKey, 0x0654);
    pf->Release();
    sl->Release();
  }
  char url[256] = {};
  GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof url,
                           (folder + "\\www.example.com_.URL").c_str());
  EXPECT_STREQ(url, "http://www.example.com/");

  // Uninstall records: one more entry per link below Files.
  const std::string key = "\\Software\\TwTest\\" + folderName;
  link->RecordForUninstall(key);
  web->RecordForUninstall(key);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", ""), "2");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", ""), lnk);
  DeleteRegistryTree(kHKLM, key);

  // Windows 2000, XP and later systems make a hard link when asked for one.
  RunningOSHook = [] { return oswinXP; };
  link->Method = mtAutoDetect;
  link->HardLink = true;
  link->SetLinkName("hard.lnk");
  link->InstallObjects();
  EXPECT_EQ(testsupport::ReadFileText(folder + "\\hard.lnk"), "MZ tool");
  RunningOSHook = [] { return osUnidentified; };
  link->SetLinkName("later.lnk");
  link->InstallObjects();
  EXPECT_EQ(testsupport::ReadFileText(folder + "\\later.lnk"), "MZ tool");
  // Other systems get nothing from the automatic method.
  RunningOSHook = [] { return os31win32; };
  link->SetLinkName("none.lnk");
  link->InstallObjects();
  EXPECT_FALSE(testsupport::FileExists(folder + "\\none.lnk"));

  testsupport::RemoveTree(folder);
}

TEST_F(InstallShellLinks, LinksToFilesThatWereNotInstalledMakeNothing) {
  Read(kProject);
  auto* group = Find<TMainLinkGroup>("MainFolder");
  const std::string folderName = testsupport::UniqueName("twskip");
  group->SetDestDir("\\" + folderName);
  auto* link = Find<TInstallMainLink>("InstallMainLink1");
  link->Method = mtShellLinkInterface;
  RunningOSHook = [] { return oswinXP; };
  int afterEvents = 0;
  link->OnAfterProcess = [&](TInstallContainer*) { ++afterEvents; };
  ASSERT_FALSE(link->ObjectLink()->Processed);
  link->Install();
  EXPECT_FALSE(testsupport::FileExists(GetProgramsMenuDir() + "\\" + folderName));
  EXPECT_FALSE(link->Processed);
  EXPECT_EQ(afterEvents, 0);
  const std::string key = std::string(kUninstallKeyPrefix) + CurrentInstall->UninstallProductName();
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", "none"), "none");

  // Once the target is installed, the step makes the link and records it.
  link->ObjectLink()->Processed = true;
  link->SetObjectLocationType(nullptr);
  link->SetObjectLocation(testsupport::BinDir() + "\\integration_tests.exe");
  link->Install();
  EXPECT_TRUE(testsupport::FileExists(GetProgramsMenuDir() + "\\" + folderName + "\\Server _Console_.LNK"));
  EXPECT_EQ(afterEvents, 1);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", "none"), "1");
  DeleteRegistryTree(kHKLM, key);
  testsupport::RemoveTree(GetProgramsMenuDir() + "\\" + folderName);
}
