// The specifier registries, the standard set of a project and the
// specifiers bound to the install component and to containers.
#include <gtest/gtest.h>

#include <set>

#include "ClassReg.h"
#include "FormReader.h"
#include "PathsTestSupport.h"
#include "TestSupport.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_ExpandPaths.h"
#include "routines_Strings.h"
#include "specifiers_Office.h"
#include "specifiers_windows.h"

using namespace pathstest;
using testsupport::MessageOf;

namespace {
const char* const kProjectOrder[] = {
    "psBDEDLL", "psCommonFiles", "psContainerArchiveFile", "psContainerDestDir", "psDesktopMenu",
    "psInstallSource", "psMainInstall", "psProgramFiles", "psProgramMenu", "psStartMenu", "psStartupMenu",
    "psSystem", "psMainArchiveFile", "psWindow", "psPrinters", "psRecent", "psSendTo", "psStartup",
    "psControlPanel", "psFavorites", "psBitBucket", "psCookies", "psCommonAltStartup", "psCommonStartup",
    "psCommonDesktopDirectory", "psCommonFavorites", "psCommonPrograms", "psCommonStartMenu",
    "psQuickLaunchMenu", "psOfficeUserTemplates", "psOfficeWorkgroupTemplates", "psOfficeClipartDirectory",
    "psOfficeStartupDirectory", "psOfficeToolsDirectory", "psOfficeFavoritesDirectory"};
constexpr int kStandardCount = sizeof(kProjectOrder) / sizeof(kProjectOrder[0]);

}  // namespace

TEST(PathSpecifierRegistry, ProjectCarriesEveryStandardClassOnceInRegistrationOrder) {
  TProject project;
  ASSERT_EQ(project.form->ComponentCount(), kStandardCount);
  // A second run with the only-missing flag adds nothing.
  StandardPathSpecifiers().CreateStandardSpecifiers(project.form.get(), true);
  ASSERT_EQ(project.form->ComponentCount(), kStandardCount);
  std::set<std::string> displayNames;
  for (int i = 0; i < kStandardCount; ++i) {
    auto* s = dynamic_cast<TCustomPathSpecifier*>(project.form->Component(i));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Name(), kProjectOrder[i]);
    EXPECT_EQ(s->Name(), s->DefaultName());
    // Instances are named after their class without the leading T.
    EXPECT_EQ(std::string("T") + s->Name(), s->ClassName());
    // The stream reader can create every class by name.
    const TClassInfo* info = FindClassInfo(s->ClassName());
    ASSERT_NE(info, nullptr) << s->ClassName();
    EXPECT_TRUE(static_cast<bool>(info->Factory));
    displayNames.insert(s->GetDisplayName());
  }
  EXPECT_EQ(displayNames.size(), static_cast<size_t>(kStandardCount));
  EXPECT_EQ(PathSpecifierClasses().Count(), kStandardCount);
  // Registering again keeps the class list as it is.
  RegisterPathSpecifierClasses();
  EXPECT_EQ(PathSpecifierClasses().Count(), kStandardCount);
  // Without the flag every class is created again.
  StandardPathSpecifiers().CreateStandardSpecifiers(project.form.get(), false);
  EXPECT_EQ(project.form->ComponentCount(), 2 * kStandardCount);
  StandardPathSpecifiers().CreateStandardSpecifiers(nullptr, false);
  EXPECT_EQ(StandardPathSpecifiers().Count(), 2 * kStandardCount);
}

TEST(PathSpecifierRegistry, ListsFollowLifetimesAndFindTheEarliestInstance) {
  TProject project;
  auto* first = project.Specifier<TpsProgramFiles>();
  auto* second = new TpsProgramFiles(project.form.get());
  EXPECT_EQ(StandardPathSpecifiers().FindByClass<TpsProgramFiles>(), first);
  // A class matches its descendants too.
  EXPECT_EQ(PathSpecifiers().FindByClass(PathSpecifierClassOf<TStandardPathSpecifier>()),
            StandardPathSpecifiers().Items(0));
  delete first;
  EXPECT_FALSE(PathSpecifiers().Contains(first));
  EXPECT_FALSE(StandardPathSpecifiers().Contains(first));
  EXPECT_EQ(StandardPathSpecifiers().FindByClass<TpsProgramFiles>(), second);

  // A custom specifier joins only the global list and answers its callback.
  auto* custom = new TCustomPathSpecifier(project.form.get());
  EXPECT_TRUE(PathSpecifiers().Contains(custom));
  EXPECT_FALSE(StandardPathSpecifiers().Contains(custom));
  EXPECT_EQ(custom->GetPath(nullptr), "");
  EXPECT_EQ(custom->GetDisplayName(), "Unspecified");
  custom->OnGetPath = [](TInstallContainer*, std::string& p) { p = "C:\\From\\Callback"; };
  EXPECT_EQ(custom->GetPath(nullptr), "C:\\From\\Callback");

  delete second;
  EXPECT_EQ(MessageOf<IEPathSpecifier>([] { StandardPathSpecifiers().FindByClass<TpsProgramFiles>(); }),
            "Could not find the path specifier");
  EXPECT_EQ(MessageOf<IEPathSpecifierList>([] { PathSpecifiers().Add(nullptr); }),
            "Tried to add a nil object to the path specifier list");
  EXPECT_EQ(MessageOf<IEPathSpecifierClassList>([] { PathSpecifierClasses().Add(nullptr); }),
            "Tried to add a nil object to the path specifier list");
}

TEST(PathSpecifierRegistry, InstallContainersCreateTheStandardSetOnTheirForm) {
  auto savedIsForm = IsFormHook;
  IsFormHook = [](TComponent*) { return true; };
  {
    std::unique_ptr<TComponent> form(new TComponent(nullptr));
    new TTestInstall(form.get());
    new TTestObject(form.get(), "obj1");
    // The install came first; the object found every class present.
    EXPECT_EQ(form->ComponentCount(), kStandardCount + 2);
    EXPECT_EQ(StandardContainerDestDir(), StandardPathSpecifiers().FindByClass<TpsContainerDestDir>());
    EXPECT_EQ(StandardContainerDestDir()->Owner(), form.get());
  }
  IsFormHook = savedIsForm;
  EXPECT_EQ(StandardContainerDestDir(), nullptr);
}

namespace {
// An install component that is not the current one, known by its class.
class TSecondInstall : public TTestObject {
public:
  explicit TSecondInstall(TComponent* owner) : TTestObject(owner, "Install2") {}
  const char* ClassName() const override { return "TPathsSecondInstall"; }
};
TClassRegistrar<TSecondInstall> regSecondInstall("TPathsSecondInstall", "TCustomInstall", nullptr, nullptr);
}  // namespace

TEST(InstallSpecifiers, MainInstallIsRefusedForTheInstallAndFollowsItsDestination) {
  TProject project;
  auto* ps = project.Specifier<TpsMainInstall>();
  auto* obj = new TTestObject(project.form.get(), "File1");
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { ps->GetPath(obj); }),
            "There is no TInstall component so the path specifier could not be expanded for File1");

  auto* install = new TTestInstall(project.form.get());
  install->SetDestDirType(project.Specifier<TpsProgramFiles>());
  install->SetDestDir("\\Kelvo\\Vantlex 2006\\");
  // Assigning it to the install fails at once and leaves the old binding.
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { install->SetDestDirType(ps); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");
  EXPECT_EQ(install->DestDirType(), project.Specifier<TpsProgramFiles>());
  EXPECT_THROW(ps->GetPath(install), IEPathSpecifier);
  auto* second = new TSecondInstall(project.form.get());
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { second->SetDestDirType(ps); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");

  const std::string expected = GetProgramFilesDir() + "\\Kelvo\\Vantlex 2006";
  EXPECT_EQ(ps->GetPath(obj), expected);
  obj->SetDestDirType(ps);
  obj->SetDestDir("\\bin");
  EXPECT_EQ(obj->GetDestPath(), expected + "\\bin");
}

TEST(InstallSpecifiers, SourceAndMainArchiveComeFromTheInstallComponent) {
  TProject project;
  auto* source = project.Specifier<TpsInstallSource>();
  auto* archive = project.Specifier<TpsMainArchiveFile>();
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { archive->GetPath(nullptr); }),
            "There is no TInstall component so the path specifier could not be expanded for nil");
  EXPECT_THROW(source->GetPath(nullptr), IEPathSpecifier);

  new TTestInstall(project.form.get());
  // Without a link the source is the program's directory.
  const std::string programDir = source->GetPath(nullptr);
  EXPECT_FALSE(programDir.empty());
  EXPECT_EQ(archive->GetPath(nullptr), programDir + "\\files.1");

  std::string switchArgument;
  bool selfExtracting = false;
  PathSpecifierLinks().SourceDir = [](TInstallContainer*) { return std::string("D:\\Setup\\"); };
  PathSpecifierLinks().SelfExtractor = [&](TInstallContainer*, std::string& a) {
    a = switchArgument;
    return selfExtracting;
  };
  EXPECT_EQ(source->GetPath(nullptr), "D:\\Setup");
  EXPECT_EQ(archive->GetPath(nullptr), "D:\\Setup\\files.1");
  archive->ArchiveDirectory = "E:\\Disk2";
  EXPECT_EQ(archive->GetPath(nullptr), "E:\\Disk2\\files.1");
  archive->ArchiveDirectory = "   ";
  EXPECT_EQ(archive->GetPath(nullptr), "D:\\Setup\\files.1");

  // Started by the self-extractor, the archive is the executable itself.
  selfExtracting = true;
  switchArgument = "Setup.exe";
  EXPECT_EQ(archive->GetPath(nullptr), "D:\\Setup\\Setup.exe");
  switchArgument = "  ";
  EXPECT_EQ(MessageOf<IEInstall>([&] { archive->GetPath(nullptr); }),
            "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
}

namespace {
// A container with a published description, classed below the group base
// only through the class table.
class TTestGroup : public TInstallObject {
public:
  explicit TTestGroup(TComponent* owner) : TInstallObject(owner) {}
  const char* ClassName() const override { return "TPathsTestGroup"; }
  int Rank() const override { return 1500; }
  std::string Description;
};
TClassRegistrar<TTestGroup> regTestGroup("TPathsTestGroup", "TCustomInstallGroup", [](TClassInfo& c) {
  c.String<TTestGroup>(
      "Description", [](TTestGroup& o, const std::string& v) { o.Description = v; },
      [](TTestGroup& o) { return o.Description; });
});
}  // namespace

TEST(ContainerSpecifiers, ContainerDestDirChecksTheObjectAndNamesTheContainer) {
  TProject project;
  auto* ps = project.Specifier<TpsContainerDestDir>();
  auto* install = new TTestInstall(project.form.get());
  install->SetDestDirType(project.Specifier<TpsWindow>());
  install->SetDestDir("\\Kelvo\\");
  auto* lone = new TTestObject(project.form.get(), "Lone");

  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { ps->GetPath(install); }),
            "Install1 must be a TInstallObject to use the psContainerDestDir path specifier");
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { ps->GetPath(lone); }),
            "Cannot use ddContainerDestDir for Lone unless you assign a Container");
  // The context texts swallow the failure.
  EXPECT_EQ(ps->GetObjectDescription(lone), "Path of the group (container)");
  EXPECT_EQ(ps->GetObjectDisplayName(install), "Path of the group (container)");

  auto* group = new TTestGroup(project.form.get());
  group->SetName("Group");
  group->Description = "Program files";
  group->SetContainer(install);
  auto* file = new TTestObject(project.form.get(), "File1");
  file->SetContainer(group);
  // Giving an object a container binds it to the container's directory.
  EXPECT_EQ(file->DestDirType(), ps);
  EXPECT_EQ(group->GetDestPath(), GetWindowsDir() + "\\Kelvo");
  EXPECT_EQ(file->GetDestPath(), GetWindowsDir() + "\\Kelvo");
  group->SetDestDir("\\Sub\\");
  EXPECT_EQ(ps->GetPath(file), GetWindowsDir() + "\\Kelvo\\Sub");

  EXPECT_EQ(ps->GetObjectDescription(group), "Main installation directory");
  EXPECT_EQ(ps->GetObjectDisplayName(group), "Main installation directory");
  EXPECT_EQ(ps->GetObjectDescription(file), "Path of the <Program files> group");
  EXPECT_EQ(ps->GetObjectDisplayName(file), "<Program files>");

  auto* plain = new TTestObject(project.form.get(), "Plain");
  plain->SetContainer(install);
  auto* inner = new TTestObject(project.form.get(), "Inner");
  inner->SetContainer(plain);
  EXPECT_EQ(ps->GetObjectDescription(inner), "Path of the <Plain> group");
  EXPECT_EQ(ps->GetObjectDisplayName(inner), "<Plain>");

  // The file containers' unit answers through the link.
  PathSpecifierLinks().ContainerKind = [](TInstallContainer* c, std::string& d) {
    d = "bin";
    return c->Name() == "Plain" ? ckFileContainer : ckOther;
  };
  EXPECT_EQ(ps->GetObjectDescription(inner), "Path of the <bin> directory");
  EXPECT_EQ(ps->GetObjectDisplayName(inner), "<bin>");
}

TEST(ContainerSpecifiers, ContainerArchiveFileNeedsAFileRelatedContainer) {
  TProject project;
  auto* ps = project.Specifier<TpsContainerArchiveFile>();
  auto* install = new TTestInstall(project.form.get());
  auto* file = new TTestObject(project.form.get(), "File1");
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { ps->CheckObject(install); }),
            "Install1 must be a TInstallObject to use the psContainerArchiveFile path specifier");
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { ps->GetPath(file); }),
            "Cannot use ddContainerArchiveFile for File1 unless you assign a Container");
  file->SetContainer(install);
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { file->SetDestDirType(ps); }),
            "Cannot use the ddContainerArchiveFile path specifier for File1 because the Container is not a "
            "TFileRelated descendant");

  PathSpecifierLinks().IsFileRelated = [install](TInstallContainer* c) { return c == install; };
  PathSpecifierLinks().ArchivePath = [](TInstallContainer*) { return std::string("D:\\Setup\\files.1\\"); };
  EXPECT_NO_THROW(ps->CheckObject(file));
  EXPECT_EQ(ps->GetPath(file), "D:\\Setup\\files.1");
}

namespace {
TClassRegistrar<TTestInstall> regStreamInstall("TPathsTestInstall", "TInstallContainer", nullptr);

const char* const kStreamedProject = R"(object ProjectForm: TComponent
  object Install1: TPathsTestInstall
    DestDir = '\Kelvo\Vantlex 2006\'
    DestDirType = psMainInstall
  end
  object psMainInstall: TpsMainInstall
    Left = 8
    Top = 8
  end
  object psProgramFiles: TpsProgramFiles
  end
end
)";
}  // namespace

TEST(PathSpecifierStreaming, ProjectsNameTheirSpecifiersAndTheMissingOnesAreAdded) {
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  // Assignments while streaming are not checked; the refusal shows when
  // the path is asked for, without recursing.
  ASSERT_NO_THROW(ReadForm(form.get(), ParseFormText(kStreamedProject)));
  ASSERT_EQ(form->ComponentCount(), 3);
  auto* install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
  ASSERT_NE(install, nullptr);
  EXPECT_EQ(CurrentInstall, install);
  auto* mainInstall = dynamic_cast<TpsMainInstall*>(form->FindComponent("psMainInstall"));
  ASSERT_NE(mainInstall, nullptr);
  EXPECT_EQ(install->DestDirType(), mainInstall);
  EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { install->GetDestPath(); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");

  install->SetDestDirType(dynamic_cast<TpsProgramFiles*>(form->FindComponent("psProgramFiles")));
  EXPECT_EQ(install->GetDestPath(), GetProgramFilesDir() + "\\Kelvo\\Vantlex 2006");

  // The streamed specifiers count as present.
  StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
  EXPECT_EQ(form->ComponentCount(), 3 + kStandardCount - 2);
  EXPECT_EQ(StandardPathSpecifiers().FindByClass<TpsMainInstall>(), mainInstall);
  EXPECT_NE(form->FindComponent("psOfficeFavoritesDirectory"), nullptr);
}
