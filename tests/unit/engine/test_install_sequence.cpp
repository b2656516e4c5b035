// The installation run of the install component on an empty project: the
// order of its steps and events, the registry record, the shutdown, the
// restart wish and the two failure paths.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "FormReader.h"
#include "TestSupport.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallShellLink.h"
#include "cmp_TTrnwCompress.h"
#include "cmp_TTrnwRegistry.h"
#include "routines_Cancel.h"
#include "routines_InstallBoxes.h"
#include "format_UninstallRecord.h"
#include "routines_ExpandPaths.h"
#include "routines_InstallKey.h"
#include "routines_Registry.h"
#include "uInstMain.h"

namespace {

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool RunOnceValueExists() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      continue;
    const bool found = RegQueryValueExA(key, kRunOnceValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (found) return true;
  }
  return false;
}

void DeleteRunOnceValue() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
      RegDeleteValueA(key, kRunOnceValueName);
      RegCloseKey(key);
    }
  }
}

class InstallSequence : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterEngineClasses();
    savedArgs_ = CommandLineArguments;
    savedBox_ = InstallBoxHook;
    InstallBoxHook = [this](const std::string& text, unsigned) {
      Steps.push_back("box: " + text);
      return IDOK;
    };
    const std::vector<std::string> args{"-s" + source_.Path()};
    CommandLineArguments = [args] { return args; };
    InstallExitCode = 0;
    app_ = std::make_unique<TApplication>(nullptr);
    Application = app_.get();
    form = std::make_unique<TForm>(nullptr);
    ReadForm(form.get(), ParseFormText("object F: TForm\n  object Install1: TInstall\n"
                                       "    AutoMaximizeWindow = False\n  end\nend\n"));
    install = dynamic_cast<TInstall*>(form->FindComponent("Install1"));
    // The default Wine system is one the engine does not identify.
    install->OS.Include(osUnidentified);
    Record(install);
  }
  void TearDown() override {
    const std::string key = CurrentInstallKey;
    form.reset();
    if (!key.empty() && KeyExists(HKEY_LOCAL_MACHINE, key.substr(1))) RemoveInstallRecord(key);
    DeleteRunOnceValue();
    Application = nullptr;
    app_.reset();
    CommandLineArguments = savedArgs_;
    InstallBoxHook = savedBox_;
  }

  // Every event of the run records its name.
  void Record(TInstall* i) {
    auto step = [this](const char* name) { return [this, name](TComponent*) { Steps.push_back(name); }; };
    i->OnBeforeReadArchiveInfo = step("BeforeReadArchiveInfo");
    i->OnAfterReadArchiveInfo = step("AfterReadArchiveInfo");
    i->OnAfterInitialized = step("AfterInitialized");
    i->OnBeforeInstallObjects = [this](TInstallContainer*) { Steps.push_back("BeforeInstallObjects"); };
    i->OnAfterInstallObjects = [this](TInstallContainer*, bool aborted) {
      Steps.push_back(aborted ? "AfterInstallObjects(aborted)" : "AfterInstallObjects");
    };
    i->OnBeforeNotifyGoodInstall = step("BeforeGoodInstall");
    i->OnAfterNotifyGoodInstall = step("AfterGoodInstall");
    i->OnBeforeNotifyBadInstall = step("BeforeBadInstall");
    i->OnAfterNotifyBadInstall = step("AfterBadInstall");
    i->OnBeforeShutdown = [this](TCustomInstall*, bool&) { Steps.push_back("BeforeShutdown"); };
    i->OnFailedReboot = step("FailedReboot");
  }

  testsupport::TTempDir source_{"seq"};
  std::unique_ptr<TApplication> app_;
  std::unique_ptr<TForm> form;
  TInstall* install = nullptr;
  std::vector<std::string> Steps;

private:
  std::function<std::vector<std::string>()> savedArgs_;
  TInstallBoxHook savedBox_;
};

}  // namespace

TEST_F(InstallSequence, AGoodRunFiresItsStepsInOrderUsesItsRecordAndRemovesIt) {
  std::string keyDuringRun;
  bool recordExisted = false;
  install->OnAfterInitialized = [&](TComponent*) {
    Steps.push_back("AfterInitialized");
    keyDuringRun = CurrentInstallKey;
    recordExisted = KeyExists(HKEY_LOCAL_MACHINE, CurrentInstallKey.substr(1));
  };
  install->Install();
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "AfterInitialized",
                                             "BeforeInstallObjects", "AfterInstallObjects", "BeforeGoodInstall",
                                             "AfterGoodInstall", "BeforeShutdown"}));
  EXPECT_EQ(keyDuringRun.rfind("\\SOFTWARE\\VOQ\\Install\\Install", 0), 0u) << keyDuringRun;
  EXPECT_TRUE(recordExisted);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, keyDuringRun.substr(1)));
  EXPECT_EQ(CurrentInstallKey, "");
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(install->Installing);
  EXPECT_EQ(InstallExitCode, 0);
}

TEST_F(InstallSequence, TheShutdownCanBeRefused) {
  install->OnBeforeShutdown = [](TCustomInstall*, bool& quitOut) { quitOut = false; };
  EXPECT_TRUE(install->Shutdown());
  EXPECT_FALSE(Application->Terminated());
  install->OnBeforeShutdown = nullptr;
  EXPECT_FALSE(install->Shutdown());
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(InstallSequence, WithoutTheLoadingProgramsDirectoryTheRunIsRefused) {
  CommandLineArguments = [] { return std::vector<std::string>{}; };
  install->ParseCommandLine();
  const std::string message = testsupport::MessageOf([&] { install->Install(); });
  EXPECT_EQ(message.rfind("The path of the loading program was not passed correctly.", 0), 0u) << message;
  EXPECT_TRUE(Steps.empty());
}

TEST_F(InstallSequence, ASystemTheProjectDoesNotNameInstallsNothingAndTheRunFails) {
  // The project names XP only; excluded by hand it fails the same way.
  for (bool byHand : {false, true}) {
    SCOPED_TRACE(byHand ? "excluded" : "other Windows");
    Steps.clear();
    InstallExitCode = 0;
    install->Information()->ProductName = "Kelvo Test Product";
    install->OS = byHand ? AllOSSet : OSSet{oswinXP};
    install->Include = !byHand;
    const std::string keyBefore = install->FindInstallKey(false);
    try {
      install->Install();
      ADD_FAILURE() << "the run reported success";
    } catch (const std::exception& e) {
      install->HandleException(install, e);
    }
    EXPECT_EQ(Steps, (std::vector<std::string>{
                         "BeforeBadInstall", "AfterBadInstall",
                         "box: Kelvo Test Product cannot be installed on this version of Windows.",
                         "BeforeShutdown"}));
    EXPECT_EQ(InstallExitCode, 1);
    EXPECT_EQ(install->FindInstallKey(false), keyBefore) << "a record was made";
    install->Installing = false;
  }
}

TEST_F(InstallSequence, ARefusedRegistryWriteFailsTheRunWithItsMessage) {
  RegistryWriteRefusedHook = [](const std::string& key) { return key.find("VOQ") != std::string::npos; };
  struct TRestore {
    ~TRestore() { RegistryWriteRefusedHook = nullptr; }
  } restore;
  try {
    install->Install();
    FAIL() << "the run reported success";
  } catch (const std::exception& e) {
    install->HandleException(install, e);
  }
  EXPECT_EQ(Steps, (std::vector<std::string>{
                       "BeforeBadInstall", "AfterBadInstall",
                       "box: The TInstall could not either write or read unfinished business from the registry",
                       "BeforeShutdown"}));
  EXPECT_EQ(InstallExitCode, 1);
}

TEST_F(InstallSequence, AUserAbortShowsTheBadInstallStageAndRemovesTheRecord) {
  install->OnAfterInitialized = [](TComponent*) { throw EAIUserAbort(); };
  std::string key;
  try {
    install->Install();
    FAIL() << "the abort did not leave the run";
  } catch (const std::exception& e) {
    key = CurrentInstallKey;
    install->HandleException(install, e);
  }
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "BeforeBadInstall",
                                             "AfterBadInstall", "BeforeShutdown"}));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key.substr(1)));
  EXPECT_EQ(InstallExitCode, 2);
  EXPECT_TRUE(install->Aborted);
}

TEST_F(InstallSequence, ACancelConfirmedOutsideAFileEndsTheRunAsAUserAbortAndIsNotInheritedByTheNext) {
  install->OnBeforeInstallObjects = [this](TInstallContainer*) {
    Steps.push_back("BeforeInstallObjects");
    InstallCancel().Request();  // a Cancel the copy form took after the last file
  };
  std::string key;
  try {
    install->Install();
    FAIL() << "the cancel did not leave the run";
  } catch (const EAIUserAbort& e) {
    key = CurrentInstallKey;
    install->HandleException(install, e);
  }
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "AfterInitialized",
                                             "BeforeInstallObjects", "AfterInstallObjects(aborted)", "BeforeBadInstall",
                                             "AfterBadInstall", "BeforeShutdown"}));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key.substr(1)));
  EXPECT_EQ(InstallExitCode, 2);

  install->OnBeforeInstallObjects = nullptr;
  Steps.clear();
  InstallExitCode = 0;
  install->Install();
  EXPECT_EQ(Steps.back(), "BeforeShutdown");
  EXPECT_FALSE(install->Aborted);
  EXPECT_EQ(InstallExitCode, 0);
}

TEST_F(InstallSequence, AFailureIsShownAndKeepsTheRecordForALaterRun) {
  install->OnAfterInitialized = [](TComponent*) { throw IEInstall("The disk is unreadable"); };
  try {
    install->Install();
    FAIL() << "the failure did not leave the run";
  } catch (const std::exception& e) {
    install->HandleException(install, e);
  }
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "BeforeBadInstall",
                                             "AfterBadInstall", "box: The disk is unreadable", "BeforeShutdown"}));
  ASSERT_FALSE(CurrentInstallKey.empty());
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, CurrentInstallKey.substr(1)));
  EXPECT_EQ(InstallExitCode, 1);
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(InstallSequence, ARestartWishRegistersTheContinuationAndTheRestartCanBeRefused) {
  install->OnAfterInitialized = [this](TComponent*) {
    Steps.push_back("AfterInitialized");
    install->SetReboot(true);
  };
  bool asked = false;
  install->OnBeforeReboot = [&](TCustomInstall*, bool& proceed) {
    asked = proceed;
    proceed = false;
  };
  install->Install();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(RunOnceValueExists());
  // Neither the restart nor the result stage: the run goes on after the restart.
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "AfterInitialized",
                                             "BeforeInstallObjects", "AfterInstallObjects"}));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, CurrentInstallKey.substr(1)));
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(InstallSequence, ARestartThatCannotStartIsReported) {
  // Win32s has no restart the engine can ask for.
  struct Win32s {
    TOSVerType (*saved)() = RunningOSHook;
    Win32s() { RunningOSHook = [] { return os31win32; }; }
    ~Win32s() { RunningOSHook = saved; }
  } system;
  install->OS.Include(os31win32);
  install->OnAfterInitialized = [this](TComponent*) { install->SetReboot(true); };
  install->Install();
  EXPECT_NE(std::find(Steps.begin(), Steps.end(), "FailedReboot"), Steps.end());
  install->OnFailedReboot = nullptr;
  Steps.clear();
  install->RebootWindows();
  ASSERT_EQ(Steps.size(), 1u);
  EXPECT_EQ(Steps[0], "box: Could not reboot windows. Please manually reboot windows.");
}

TEST_F(InstallSequence, AFailureInAWindowProcedureDuringTheRunEndsItOnceAsAFailure) {
  // A window whose procedure raises while the run goes on beneath it: the
  // application's handler reports it to the install.
  TForm faulty(nullptr);
  faulty.OnResize = [](TComponent*) { throw IEInstall("A window of the run failed"); };
  faulty.Handle();
  bool ranOn = false;
  install->OnBeforeInstallObjects = [&](TInstallContainer*) {
    Steps.push_back("BeforeInstallObjects");
    faulty.SetBounds(0, 0, 160, 90);
    ranOn = true;
  };
  try {
    install->Install();
    FAIL() << "the run went on to its good end";
  } catch (const std::exception& e) {
    install->HandleException(install, e);  // as the message loop hands it on
  }
  EXPECT_TRUE(ranOn);
  EXPECT_EQ(Steps, (std::vector<std::string>{"BeforeReadArchiveInfo", "AfterReadArchiveInfo", "AfterInitialized",
                                             "BeforeInstallObjects", "AfterInstallObjects", "BeforeBadInstall",
                                             "AfterBadInstall", "box: A window of the run failed",
                                             "BeforeShutdown"}));
  EXPECT_EQ(InstallExitCode, 1);
  EXPECT_FALSE(install->Installing);
  ASSERT_FALSE(CurrentInstallKey.empty());
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, CurrentInstallKey.substr(1)));  // kept for a later run

  // The next run starts clean.
  install->OnBeforeInstallObjects = nullptr;
  Steps.clear();
  InstallExitCode = 0;
  install->Install();
  EXPECT_EQ(Steps.back(), "BeforeShutdown");
  EXPECT_EQ(InstallExitCode, 0);
}

// An installed shortcut records itself below the product's uninstall key,
// unless the install says NoUninstall: then there is no uninstall key at all.
TEST_F(InstallSequence, NoUninstallLeavesNoUninstallKey) {
  for (bool noUninstall : {false, true}) {
    SCOPED_TRACE(noUninstall ? "NoUninstall" : "uninstall recorded");
    const std::string product = testsupport::UniqueName("Tarnwick NoUninstall");
    const std::string folder = testsupport::UniqueName("twnouninstall");
    form = std::make_unique<TForm>(nullptr);
    ReadForm(form.get(),
             ParseFormText("object F: TForm\n  object Install1: TInstall\n    AutoMaximizeWindow = False\n"
                           "    NoUninstall = " + std::string(noUninstall ? "True" : "False") +
                           "\n    Information.ProductName = '" + product + "'\n  end\n"
                           "  object MainFolder: TMainLinkGroup\n    Container = Install1\n"
                           "    DestDir = '\\" + folder + "'\n  end\n"
                           "  object WebLink: TInstallMainLink\n    Container = MainFolder\n    LinkName = 'Example.URL'\n"
                           "    ObjectLocation = 'http://www.example.com/'\n  end\nend\n"));
    install = dynamic_cast<TInstall*>(form->FindComponent("Install1"));
    ASSERT_NE(install, nullptr);
    for (const char* name : {"Install1", "MainFolder", "WebLink"})
      dynamic_cast<TInstallContainer*>(form->FindComponent(name))->OS.Include(osUnidentified);
    const std::string links = GetProgramsMenuDir() + "\\" + folder;
    const std::string key = kUninstallKeyPrefix + product;
    install->Install();
    uninstallrecord::Settle();
    EXPECT_EQ(InstallExitCode, 0);
    EXPECT_TRUE(testsupport::FileExists(links + "\\Example.URL"));
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, key.substr(1)), !noUninstall);
    EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", "(none)"),
              noUninstall ? "(none)" : links + "\\Example.URL");
    form.reset();
    DeleteRegistryTree(kHKLM, key);
    testsupport::RemoveTree(links);
  }
}
