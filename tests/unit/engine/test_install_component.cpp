// The install component: command line, construction rules, the dispatch
// after loading, the activation hook and the property rules.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "FormReader.h"
#include "TestSupport.h"
#include "cmp_TInstall.h"
#include "cmp_TPathSpecifier.h"
#include "routines_InstallBoxes.h"
#include "uInstMain.h"

using testsupport::MessageOf;

namespace {

// An install that counts the run modes instead of running them.
class TProbeInstall : public TInstall {
public:
  using TInstall::TInstall;
  const char* ClassName() const override { return "TProbeInstall"; }
  void Install() override { ++Installs; }
  void ContinueAfterReboot() override { ++Continuations; }
  int Installs = 0;
  int Continuations = 0;
};

class InstallComponent : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterEngineClasses();
    RegisterClassInfo("TProbeInstall", "TInstall",
                      [](TComponent* owner) -> TComponent* { return new TProbeInstall(owner); });
    savedArgs_ = CommandLineArguments;
    savedBox_ = InstallBoxHook;
    InstallBoxHook = [this](const std::string& text, unsigned) {
      Boxes.push_back(text);
      return IDOK;
    };
    SetArguments({});
    InstallExitCode = 0;
  }
  void TearDown() override {
    form.reset();
    CommandLineArguments = savedArgs_;
    InstallBoxHook = savedBox_;
  }

  void SetArguments(std::vector<std::string> args) {
    CommandLineArguments = [args] { return args; };
  }

  // Streams a form holding one install of class `cls` with the given
  // property lines; the form's own activation handler counts its calls.
  TProbeInstall* Stream(const std::string& properties) {
    form = std::make_unique<TForm>(nullptr);
    form->DefineMethod("FormActivate", [this](TComponent*) { ++OwnActivations; });
    const std::string text = "object F: TForm\n  OnActivate = FormActivate\n  object Install1: TProbeInstall\n" +
                             properties + "  end\nend\n";
    ReadForm(form.get(), ParseFormText(text));
    return dynamic_cast<TProbeInstall*>(form->FindComponent("Install1"));
  }

  std::unique_ptr<TForm> form;
  std::vector<std::string> Boxes;
  int OwnActivations = 0;

private:
  std::function<std::vector<std::string>()> savedArgs_;
  TInstallBoxHook savedBox_;
};

std::string Usage(const std::string& argument) {
  return "Invalid parameter <" + argument +
         ">. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e (Called by "
         "self-extractor), -r (After reboot)";
}

}  // namespace

TEST_F(InstallComponent, CommandLineSwitchesOfEitherCaseKeepTheirValuesUntrimmed) {
  TForm owner(nullptr);
  TInstall install(&owner);
  SetArguments({"-S C:\\My Build ", "*TODISK", "-eC:\\Dist Dir\\setup.exe", "-c", "-N", "-sD:\\later"});
  install.ParseCommandLine();
  EXPECT_TRUE(install.HasSwitch(swSource));
  EXPECT_EQ(install.SwitchValues[swSource], "D:\\later");  // a later occurrence wins
  EXPECT_EQ(install.SwitchValues[swSelfExtract], "C:\\Dist Dir\\setup.exe");
  EXPECT_TRUE(install.HasSwitch(swCleanup));
  EXPECT_TRUE(install.HasSwitch(swNoUnfinished));
  EXPECT_FALSE(install.HasSwitch(swFloppy));  // "*TODISK" names no switch
  EXPECT_FALSE(install.HasSwitch(swBuild));

  SetArguments({"-S   "});
  install.ParseCommandLine();
  EXPECT_EQ(install.SwitchValues[swSource], "   ");
  EXPECT_FALSE(install.HasSwitch(swCleanup));  // cleared by each parse

  SetArguments({"-s"});
  install.ParseCommandLine();
  EXPECT_TRUE(install.HasSwitch(swSource));
  EXPECT_EQ(install.SwitchValues[swSource], "");
}

TEST_F(InstallComponent, BadArgumentsGetTheUsageMessage) {
  TForm owner(nullptr);
  TInstall install(&owner);
  for (const std::string bad : {"-TODISK", "-", "x", "setup.exe", "/b", "*"}) {
    SetArguments({"-b", bad});
    EXPECT_EQ(MessageOf([&] { install.ParseCommandLine(); }), Usage(bad)) << bad;
  }
}

TEST_F(InstallComponent, OneInstallPerProgramOnAFormOrWithoutOwner) {
  TForm owner(nullptr);
  {
    TInstall first(&owner);
    EXPECT_EQ(CurrentInstall, &first);
    EXPECT_EQ(MessageOf([&] { TInstall second(&owner); }),
              "The TInstall component does not currently support the use of 2 TInstall components in the same project");
    EXPECT_EQ(CurrentInstall, &first);
  }
  EXPECT_EQ(CurrentInstall, nullptr);
  TComponent plainOwner(nullptr);
  EXPECT_EQ(MessageOf([&] { TInstall misplaced(&plainOwner); }),
            "The Owner of the TInstall component must either be a class of type TCustomForm (Delphi 3) or TForm "
            "(Delphi 2.0,C++Builder 1.0)");
  EXPECT_EQ(CurrentInstall, nullptr);
  TInstall ownerless(nullptr);
  EXPECT_EQ(CurrentInstall, &ownerless);
}

TEST_F(InstallComponent, ANewInstallHasItsDefaults) {
  TForm owner(nullptr);
  TInstall install(&owner);
  EXPECT_TRUE(install.RunAutomatic);
  EXPECT_TRUE(install.UseLoadingProgram());
  EXPECT_TRUE(install.AutoMaximizeWindow());
  EXPECT_FALSE(install.HideMainForm());
  EXPECT_FALSE(install.NoUninstall);
  EXPECT_FALSE(install.Reboot());
  EXPECT_EQ(install.DestDir(), "\\MyApplication");
  EXPECT_EQ(install.InstallTypes(), TInstallTypeSet{itFull});
  EXPECT_EQ(install.DistributeType(), dtTraditional);
  EXPECT_EQ(install.Description, "TInstall component");
  ASSERT_NE(install.DestDirType(), nullptr);
  EXPECT_STREQ(install.DestDirType()->ClassName(), "TpsProgramFiles");
  ASSERT_NE(install.ArchiveFileType(), nullptr);
  EXPECT_STREQ(install.ArchiveFileType()->ClassName(), "TpsMainArchiveFile");
  EXPECT_EQ(install.OwnSpecifier(), nullptr);
  EXPECT_EQ(install.BuildInfo().BuildDirectory, "c:\\build");
  EXPECT_EQ(install.BuildInfo().OCXName, "tnsetup");
  EXPECT_STREQ(TBuildInfo::TrnwVersion, "5.20.00");
}

TEST_F(InstallComponent, DebugRunNeedsABuildDirectory) {
  const std::string message =
      "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\"";
  for (const auto& args : std::vector<std::vector<std::string>>{{"-d"}, {"-d", "-s"}, {"-D", "-s  "}}) {
    SetArguments(args);
    EXPECT_EQ(MessageOf([&] { Stream(""); }), message);
    form.reset();
    EXPECT_EQ(CurrentInstall, nullptr);
  }
  SetArguments({"-d", "-sC:\\My Build"});
  TProbeInstall* install = Stream("");
  ASSERT_NE(install, nullptr);
  EXPECT_EQ(install->SourceDir, "C:\\My Build");
}

TEST_F(InstallComponent, SourceDirectoryIsTheProgramDirectoryWithoutSwitch) {
  TProbeInstall* install = Stream("");
  EXPECT_EQ(install->SourceDir, testsupport::BinDir());
  EXPECT_EQ(install->SourceDir, TCustomInstall::GetProgramDir());
  EXPECT_NE(install->SourceDir.back(), '\\');
}

TEST_F(InstallComponent, ActivationStartsTheInstallationOnceThenTheFormsOwnHandlerRuns) {
  TProbeInstall* install = Stream("");
  EXPECT_EQ(install->HostForm, form.get());
  ASSERT_TRUE(form->OnActivate);
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 1);
  EXPECT_EQ(OwnActivations, 1);
  EXPECT_TRUE(install->Activated);
  form->OnActivate(form.get());  // the form's own handler is back
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 1);
  EXPECT_EQ(OwnActivations, 3);
}

TEST_F(InstallComponent, AFormClosedByItsOwnHandlerIsNotInstalled) {
  form = std::make_unique<TForm>(nullptr);
  TForm* f = form.get();
  form->DefineMethod("FormActivate", [f](TComponent*) { f->Close(); });
  ReadForm(form.get(), ParseFormText("object F: TForm\n  OnActivate = FormActivate\n  object Install1: TProbeInstall\n"
                                     "    AutoMaximizeWindow = False\n  end\nend\n"));
  auto* install = dynamic_cast<TProbeInstall*>(form->FindComponent("Install1"));
  form->Show();
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 0);
  EXPECT_FALSE(form->Visible());
}

TEST_F(InstallComponent, WithoutRunAutomaticActivationInstallsNothing) {
  TProbeInstall* install = Stream("    RunAutomatic = False\n    AutoMaximizeWindow = False\n");
  form->OnActivate(form.get());
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 0);
  EXPECT_EQ(OwnActivations, 1);  // still hooked: later activations stop at the hook
}

TEST_F(InstallComponent, HiddenHostFormStandsOffScreen) {
  TProbeInstall* install = Stream("    AutoMaximizeWindow = False\n    HideMainForm = True\n");
  EXPECT_TRUE(install->HideMainForm());
  EXPECT_FALSE(install->AutoMaximizeWindow());
  EXPECT_EQ(form->Left(), -2 * form->Width());
  EXPECT_EQ(form->Top(), -2 * form->Height());
}

TEST_F(InstallComponent, RebootSwitchContinuesAtOnceWithoutHookingTheForm) {
  SetArguments({"-r"});
  TProbeInstall* install = Stream("");
  EXPECT_EQ(install->Continuations, 1);
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 0);
  EXPECT_EQ(OwnActivations, 1);
}

TEST_F(InstallComponent, BuildAndFloppySwitchesRunTheirModesAndReportFailures) {
  // The test program has no BUILD.INF beside it.
  SetArguments({"-b"});
  TProbeInstall* install = Stream("");
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_NE(Boxes[0].find("BUILD.INF"), std::string::npos) << Boxes[0];
  EXPECT_EQ(InstallExitCode, 1);
  form->OnActivate(form.get());
  EXPECT_EQ(install->Installs, 0);

  Boxes.clear();
  InstallExitCode = 0;
  SetArguments({"-f"});
  install = Stream("");
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0],
            "Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage "
            "example: setup.exe *TODISK");
  EXPECT_EQ(InstallExitCode, 1);
  EXPECT_EQ(install->Continuations, 0);
}

TEST_F(InstallComponent, DestroyingTheInstallGivesTheFormItsHandlerBack) {
  TProbeInstall* install = Stream("");
  delete install;
  EXPECT_EQ(CurrentInstall, nullptr);
  form->OnActivate(form.get());
  EXPECT_EQ(OwnActivations, 1);
}

TEST_F(InstallComponent, PropertyRulesOutsideLoading) {
  TProbeInstall* install = Stream("    AutoMaximizeWindow = False\n    HideMainForm = True\n"
                                  "    PresetupFiles.Strings = (\n      'a.txt'\n      '  '\n      ''\n"
                                  "      'b.txt')\n");
  EXPECT_EQ(install->PresetupFiles(), (std::vector<std::string>{"a.txt", "b.txt"}));
  install->SetAutoMaximizeWindow(true);
  EXPECT_FALSE(install->HideMainForm());
  install->SetHideMainForm(true);
  EXPECT_FALSE(install->AutoMaximizeWindow());

  EXPECT_EQ(MessageOf([&] { install->SetDistributeType(dtWeb); }), "DistributeType can only be set at design-time");
  EXPECT_EQ(install->DistributeType(), dtTraditional);

  install->SetArchiveFileType(nullptr);
  install->SetArchiveFile("C:\\elsewhere\\files.1");
  install->SetUseLoadingProgram(true);
  ASSERT_NE(install->ArchiveFileType(), nullptr);
  EXPECT_STREQ(install->ArchiveFileType()->ClassName(), "TpsMainArchiveFile");
  EXPECT_EQ(install->ArchiveFile(), "");
}

TEST(MainForm, PageColourLiesFortyFivePercentTowardsTheButtonFace) {
  // 255 + 0.45 * (212 - 255) = 235.65; 0 + 0.45 * 100 = 45; 10 + 0.45 * 10 = 14.5 rounds to even
  EXPECT_EQ(PageColorFor(32, RGB(255, 0, 10), RGB(212, 100, 20)), static_cast<TColor>(RGB(236, 45, 14)));
  EXPECT_EQ(PageColorFor(16, RGB(255, 255, 255), RGB(255, 255, 255)), static_cast<TColor>(RGB(255, 255, 255)));
  EXPECT_EQ(PageColorFor(8, RGB(255, 255, 255), RGB(0, 0, 0)), clBtnFace);
  EXPECT_EQ(PageColorFor(4, RGB(1, 2, 3), RGB(4, 5, 6)), clBtnFace);
}

TEST(MainForm, LibraryProbeTellsWhetherALibraryLoads) {
  EXPECT_TRUE(LibraryLoads("kernel32.dll"));
  EXPECT_FALSE(LibraryLoads("NoSuchLibraryTw42.dll"));
}
