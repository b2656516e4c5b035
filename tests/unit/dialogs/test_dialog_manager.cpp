// The dialog manager: streamed stages, reactions to the stage
// notifications, the page registry and the placement rule.
#include <gtest/gtest.h>

#include <memory>

#include "FormReader.h"
#include "FormStream.h"
#include "dlgcmp_TBaseDlg.h"
#include "exceptions_Tarnwick.h"

namespace {

class TStageInstall : public TInstallContainer {
public:
  using TInstallContainer::TInstallContainer;
  int Rank() const override { return 0; }
};

class DialogManager : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterDialogManagerClasses();
    form = std::make_unique<TComponent>(nullptr);
    install = new TStageInstall(form.get());
    install->SetName("Install1");
    CurrentInstall = install;
  }
  void TearDown() override {
    RunDialogContainerHook = nullptr;
    form.reset();
    CurrentInstall = nullptr;
  }
  TDialogManager* Manager(TManagerType stage, TInstallContainer* container) {
    auto* dm = new TDialogManager(form.get());
    dm->ManagerType = stage;
    dm->SetContainer(container);
    return dm;
  }
  std::unique_ptr<TComponent> form;
  TStageInstall* install = nullptr;
};

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "no error";
}

}  // namespace

TEST_F(DialogManager, StreamedManagersKeepTheirStagesAndDefaults) {
  const char* text =
      "object Form1: TComponent\n"
      "  object DialogManager: TDialogManager\n"
      "    Container = Install1\n    RelativeLeftOffset = 0\n    RelativeTopOffset = 0\n  end\n"
      "  object DialogManager1: TDialogManager\n"
      "    Container = Install1\n    ManagerType = dmAfterGoodInstall\n    RelativeLeftOffset = -11\n"
      "    RelativeTopOffset = 300\n    Position = tdpBottomRight\n    Height = 200\n    Width = 100\n  end\n"
      "  object DialogManager5: TDialogManager\n"
      "    Container = Install1\n    ManagerType = dmReboot\n    RelativeLeftOffset = 0\n"
      "    RelativeTopOffset = 0\n  end\n"
      "end\n";
  const std::string binary = WriteFormStream(ParseFormText(text));
  ReadForm(form.get(), binary.data(), binary.size());
  auto* dm0 = dynamic_cast<TDialogManager*>(form->FindComponent("DialogManager"));
  auto* dm1 = dynamic_cast<TDialogManager*>(form->FindComponent("DialogManager1"));
  auto* dm5 = dynamic_cast<TDialogManager*>(form->FindComponent("DialogManager5"));
  ASSERT_TRUE(dm0 && dm1 && dm5);
  EXPECT_EQ(dm0->ManagerType, dmBeforeInstall);
  EXPECT_EQ(dm0->Height, 395);
  EXPECT_EQ(dm0->Width, 478);
  EXPECT_EQ(dm0->Position, tdpCenter);
  EXPECT_EQ(dm1->ManagerType, dmAfterGoodInstall);
  EXPECT_EQ(dm1->RelativeLeftOffset, -11);
  EXPECT_EQ(dm1->RelativeTopOffset, 300);
  EXPECT_EQ(dm1->Position, tdpBottomRight);
  EXPECT_EQ(dm1->Height, 200);
  EXPECT_EQ(dm1->Width, 100);
  EXPECT_EQ(dm5->ManagerType, dmReboot);
  EXPECT_EQ(dm0->Container(), install);
  EXPECT_EQ(dm0->Rank(), 9000);
  EXPECT_EQ(FindDialogManager(dmReboot), dm5);
  EXPECT_EQ(FindDialogManager(dmChangeDisk), nullptr);
}

TEST_F(DialogManager, StagesReactOnlyToTheirOwnNotification) {
  TDialogManager* before = Manager(dmBeforeInstall, install);
  TDialogManager* copying = Manager(dmDuringCopyFiles, install);
  copying->SetName("CopyManager");
  std::vector<std::pair<TDialogManager*, TDialogManager*>> runs;
  RunDialogContainerHook = [&](TDialogManager& m) {
    runs.push_back({&m, CurrentDialogManager});
    return 1;
  };

  // No page container: the stage passes without a window.
  install->Broadcast(bcAfterGoodInstall, nullptr);
  EXPECT_TRUE(runs.empty());
  install->Broadcast(bcBeforeInstall, nullptr);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].first, before);
  EXPECT_EQ(runs[0].second, before);
  EXPECT_EQ(CurrentDialogManager, nullptr);

  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcFileStatus, nullptr); }), "CopyManager got a nil PO parameter");
  TDownloadStatusParameter download;
  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcFileStatus, &download); }),
            "The PO object passed to CopyManager is not a TFileStatusParameter object");
  TFileStatusParameter status;
  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcDownloadStatus, &status); }),
            "The PO object passed to CopyManager is not a TDownloadStatusParameter object");
  // The before-install manager ignores copy codes.
  EXPECT_EQ(MessageOf([&] { before->Notify(install, bcFileStatus, nullptr); }), "no error");

  // Cancel in the container (modal result 3) is a user abort.
  RunDialogContainerHook = [](TDialogManager&) { return 3; };
  EXPECT_THROW(before->Notify(install, bcBeforeInstall, nullptr), EAIUserAbort);
  EXPECT_EQ(CurrentDialogManager, nullptr);
  RunDialogContainerHook = nullptr;
  EXPECT_NO_THROW(before->Execute());
}

TEST_F(DialogManager, PagesBindToTheFirstManagerOfTheirStageInTheCurrentInstall) {
  TStageInstall other(nullptr);
  Manager(dmBeforeInstall, &other);
  TDialogManager* first = Manager(dmBeforeInstall, install);
  Manager(dmBeforeInstall, install);
  EXPECT_EQ(FindDialogManager(dmBeforeInstall), first);
  delete first;
  EXPECT_NE(FindDialogManager(dmBeforeInstall), nullptr);
  EXPECT_NE(FindDialogManager(dmBeforeInstall), first);
}

namespace {
class TCountingCopyForm : public TBaseDuringCopyForm {
public:
  explicit TCountingCopyForm(TComponent* owner) : TBaseDuringCopyForm(owner) {
    DM = FindDialogManager(dmDuringCopyFiles);
    ++created;
  }
  void UpdateStatus(TFileStatusParameter* f, TDownloadStatusParameter* d) override {
    if (f) lastPercent = f->FilePercent;
    ++updates;
  }
  static inline int created = 0, updates = 0, lastPercent = -1;
};
class TDiskForm : public TBaseChangeDiskForm {
public:
  explicit TDiskForm(TComponent* owner) : TBaseChangeDiskForm(owner) { DM = FindDialogManager(dmChangeDisk); }
};
}  // namespace

TEST_F(DialogManager, RegistriesAndTheFormsOfCopyingAndDiskStages) {
  if (DialogPageCount() == 0) {
    EXPECT_EQ(MessageOf([] { DialogPageEntry(0); }), "The BIFList is NIL");
  }
  TFormClass page{"TPage", [](TComponent* o) -> TBaseTarnwickForm* { return new TBaseInstallForm(o); }};
  TBIFEntry* entry = RegisterDialogPage(page, nullptr, 0);
  EXPECT_EQ(DialogPageEntry(DialogPageCount() - 1), entry);
  EXPECT_EQ(MessageOf([] { DialogPageEntry(DialogPageCount()); }),
            std::to_string(DialogPageCount()) + " is an invalid index in the BIFList");
  EXPECT_EQ(MessageOf([] { DialogPageEntry(-1); }), "-1 is an invalid index in the BIFList");

  TDialogManager* copying = Manager(dmDuringCopyFiles, install);
  EXPECT_EQ(MessageOf([&] { copying->AddDialog(nullptr); }), "Cannot add a NIL Dialog to the Dialog Manager ");
  RegisterDuringCopyForm({"TCountingCopyForm", [](TComponent* o) -> TBaseTarnwickForm* {
                            return new TCountingCopyForm(o);
                          }},
                         nullptr, 0);
  TFileStatusParameter status;
  status.FilePercent = 40;
  install->Broadcast(bcFileStatus, &status);
  status.FilePercent = 60;
  install->Broadcast(bcFileStatus, &status);
  EXPECT_EQ(TCountingCopyForm::created, 1);
  EXPECT_EQ(TCountingCopyForm::updates, 2);
  EXPECT_EQ(TCountingCopyForm::lastPercent, 60);
  install->Broadcast(bcCopyEnded, nullptr);
  EXPECT_TRUE(copying->DuringCopyForms().empty());
  install->Broadcast(bcFileStatus, &status);
  EXPECT_EQ(TCountingCopyForm::created, 2);
  install->Broadcast(bcCopyEnded, nullptr);

  // Change disk: the parameter is checked before anything shows.
  TDialogManager* disk = Manager(dmChangeDisk, install);
  install->Broadcast(bcChangeDisk, nullptr);  // no change-disk form: nothing
  RegisterChangeDiskForm({"TDiskForm", [](TComponent* o) -> TBaseTarnwickForm* { return new TDiskForm(o); }},
                         nullptr, 0);
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcChangeDisk, nullptr); }),
            "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcChangeDisk, &status); }),
            "TChangeDiskDlg--PO is not a TList object");
  TParameterList list;
  list.Items = {&status};
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcChangeDisk, &list); }),
            "TChangeDiskDlg--Not engouh parameters for status event");
  TDiskParameter diskParameter;
  list.Items = {&status, &diskParameter};
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcChangeDisk, &list); }), "TChangeDiskDlg says bad first parameter");
  EXPECT_EQ(CurrentDialogManager, nullptr);
  // Another stage's manager ignores the code.
  EXPECT_EQ(MessageOf([&] { copying->Notify(install, bcChangeDisk, nullptr); }), "no error");
}

TEST(DialogPlacement, OffsetsPointInwardsFromTheChosenEdge) {
  POINT p = PlaceOnScreen(tdpBottomRight, 0, 0, 478, 395, 1024, 768, 19);
  EXPECT_EQ(p.x, 1024 - 478);
  EXPECT_EQ(p.y, 768 - 19 - 395);
  p = PlaceOnScreen(tdpCenter, 10, 20, 478, 395, 1024, 768, 19);
  EXPECT_EQ(p.x, 273 + 10);
  EXPECT_EQ(p.y, 186 + 20);  // 384 - 197.5 rounds to even
  p = PlaceOnScreen(tdpTopLeft, 5, 7, 478, 395, 1024, 768, 19);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 7);
  p = PlaceOnScreen(tdpCenterRight, 5, 0, 478, 395, 1024, 768, 19);
  EXPECT_EQ(p.x, 1024 - 478 - 5);
}

namespace {
class TTestDlg : public TCustomBaseInstallDlg {
public:
  using TCustomBaseInstallDlg::TCustomBaseInstallDlg;
  TFormClass GetDialogClass() override {
    return {"TBaseInstallForm", [](TComponent* o) -> TBaseTarnwickForm* { return new TBaseInstallForm(o); }};
  }
  bool IsEnabled() override { return enabled; }
  bool enabled = true;
};
}  // namespace

TEST_F(DialogManager, PerDialogObjectsFollowTheirManagerAndConfigureTheirForm) {
  TDialogManager* dm = Manager(dmBeforeInstall, install);
  TDialogManager* other = Manager(dmReboot, install);
  auto* dlg = new TTestDlg(form.get());
  dlg->SetName("LicenseDlg");
  dlg->SetDialogManager(dm);
  EXPECT_EQ(dm->Dialogs(), std::vector<TCustomBaseInstallDlg*>{dlg});
  dlg->SetDialogManager(other);
  EXPECT_TRUE(dm->Dialogs().empty());
  EXPECT_EQ(other->Dialogs(), std::vector<TCustomBaseInstallDlg*>{dlg});
  EXPECT_EQ(dlg->Rank(), 9000);
  EXPECT_EQ(dlg->InstallTypes(), (TInstallTypeSet{itFull, itDefault, itCompact, itCustom}));

  EXPECT_EQ(MessageOf([&] { dlg->AssignDialogProperties(); }),
            "Cannot AssignDialogProperties for LicenseDlg because the Dialog is Nil");
  TBaseInstallForm page(nullptr);
  dlg->DialogForm = &page;
  dlg->SetContainer(install);
  dlg->TranslateTexts = false;
  dlg->UseOwnLanguage = true;
  dlg->OwnLanguage = tlDutch;
  dlg->AssignDialogProperties();
  EXPECT_EQ(page.DC, dlg);
  EXPECT_EQ(page.Container, install);
  EXPECT_FALSE(page.TranslateTexts);
  EXPECT_TRUE(page.UseOwnLanguage);
  EXPECT_EQ(page.OwnLanguage, tlDutch);
  dlg->DialogForm = nullptr;

  // A disabled dialog passes; EAbort in its events ends it quietly.
  dlg->enabled = false;
  int events = 0;
  dlg->OnAfterDialog = [&](TComponent*) { ++events; };
  EXPECT_TRUE(dlg->Run());
  EXPECT_EQ(events, 1);
  dlg->OnBeforeDialog = [](TComponent*) { Abort(); };
  EXPECT_FALSE(dlg->Run());
  EXPECT_EQ(events, 1);

  // The manager forgets a destroyed dialog object.
  delete dlg;
  EXPECT_TRUE(other->Dialogs().empty());
}
