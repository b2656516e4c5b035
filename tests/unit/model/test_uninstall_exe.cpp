// The uninstaller's install file writes the product's uninstall entry.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "cmp_TUninstallEXE.h"

using namespace modeltest;
using testsupport::MessageOf;

namespace {

class UninstallEXE : public ModelTest {
protected:
  TUninstallEXE* Uninstaller(TFileContainer* container) {
    testsupport::WriteFileText(Source("uninstall.exe"), "uninstaller");
    auto* u = new TUninstallEXE(form.get());
    u->SetName("ifUninstallEXE");
    u->SetIncludeFromDir(sourceDir);
    u->SetFileName("uninstall.exe");
    u->SetContainer(container);
    return u;
  }
  std::string Value(TTestInstall* install, const char* name) {
    return ReadRegistryString(kHKLM, UninstallKey(install), name, "(none)");
  }
};

}  // namespace

TEST_F(UninstallEXE, InstallingTheUninstallerWritesTheProductsEntry) {
  TTestInstall* install = MakeInstall();
  install->info.CompanyName = "Kelvo";
  install->info.Version = "2006.1";
  install->extended = new TControlPanelExtensionInformation(form.get());
  install->extended->SetComments("Console for the server");
  install->extended->SetContact("Support desk");
  install->extended->SetHelpLink("http://help.example/");
  install->extended->SetHelpTelephone("555-0100");
  install->extended->SetProductID("KV-2006");
  install->extended->SetURLInfoAbout("http://about.example/");
  install->extended->SetURLUpdateInfo("http://update.example/");
  install->registration.RegOwner = "Owner Name";

  TInstallDirectory* dir = Directory();
  dir->SetDestDir(destDir + "\\");
  TUninstallEXE* u = Uninstaller(dir);
  EXPECT_TRUE(u->Net());
  // Newer files install first: the icon before the uninstaller records.
  TInstallFile* readme = File(dir, "ifReadme", "readme.txt", "read me");
  readme->Include = false;
  TInstallFile* icon = File(dir, "ifIcon", "console.ico", "icon");
  install->extended->SetDisplayIcon(icon);
  install->extended->SetReadMe(readme);
  Build(dir);
  dir->Install();
  ASSERT_TRUE(u->Processed);

  EXPECT_EQ(Value(install, "DisplayName"), install->info.ProductName);
  EXPECT_EQ(Value(install, "UninstallString"), Dest("uninstall.exe") + " " + install->info.ProductName);
  EXPECT_EQ(Value(install, "Comments"), "Console for the server");
  EXPECT_EQ(Value(install, "Contact"), "Support desk");
  EXPECT_EQ(Value(install, "DisplayIcon"), Dest("console.ico"));
  EXPECT_EQ(Value(install, "DisplayVersion"), "2006.1");
  EXPECT_EQ(Value(install, "HelpLink"), "http://help.example/");
  EXPECT_EQ(Value(install, "HelpTelephone"), "555-0100");
  EXPECT_EQ(Value(install, "Publisher"), "Kelvo");
  EXPECT_EQ(Value(install, "ProductID"), "KV-2006");
  EXPECT_EQ(Value(install, "URLInfoAbout"), "http://about.example/");
  EXPECT_EQ(Value(install, "URLUpdateInfo"), "http://update.example/");
  EXPECT_EQ(Value(install, "RegOwner"), "Owner Name");
  // Not installed in this run, or empty: not written.
  EXPECT_EQ(Value(install, "Readme"), "(none)");
  EXPECT_EQ(Value(install, "RegCompany"), "(none)");
  // The uninstaller itself is not one of the recorded files.
  EXPECT_EQ(ReadRegistryString(kHKLM, UninstallKey(install) + "\\Files", "File1", ""), Dest("console.ico"));
  EXPECT_EQ(ReadRegistryString(kHKLM, UninstallKey(install) + "\\Files", "Entries", ""), "1");
}

TEST_F(UninstallEXE, EmptyValuesAreLeftOutAndTheProductNameIsTrimmed) {
  TTestInstall* install = MakeInstall();
  const std::string product = install->info.ProductName;
  install->info.ProductName = "  " + product + " ";
  install->info.Version.clear();
  install->info.CompanyName.clear();
  const std::string key = UninstallKey(install);  // as stored, blanks and all
  TInstallDirectory* dir = Directory();
  TUninstallEXE* u = Uninstaller(dir);
  u->RecordForUninstall(key);
  const std::string displayName = ReadRegistryString(kHKLM, key, "DisplayName", "(none)");
  const std::string uninstallString = ReadRegistryString(kHKLM, key, "UninstallString", "(none)");
  const std::string version = ReadRegistryString(kHKLM, key, "DisplayVersion", "(none)");
  const std::string publisher = ReadRegistryString(kHKLM, key, "Publisher", "(none)");
  DeleteRegistryTree(kHKLM, key);
  EXPECT_EQ(displayName, product);
  EXPECT_EQ(uninstallString, Dest("uninstall.exe") + " " + product);
  EXPECT_EQ(version, "(none)");
  EXPECT_EQ(publisher, "(none)");
}

TEST_F(UninstallEXE, WithoutAnInstallTheEntryIsRefused) {
  TInstallDirectory* dir = Directory();
  TUninstallEXE* u = Uninstaller(dir);
  const std::string key = kUninstallKeyPrefix + testsupport::UniqueName("Tarnwick No Install");
  EXPECT_EQ(MessageOf([&] { u->RecordForUninstall(key); }),
            "ifUninstallEXE could not write information about the uninstall to the registry because there was no "
            "TInstall component");
  EXPECT_EQ(ReadRegistryString(kHKLM, key, "DisplayName", "(none)"), "(none)");
}
