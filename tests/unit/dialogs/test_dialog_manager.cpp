// The dialog manager: streamed stages, reactions to the stage
// notifications, the page registry and the placement rule.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <memory>
#include <set>

#include "FormReader.h"
#include "FormStream.h"
#include "ComCtrls.h"
#include "TestSupport.h"
#include "cmp_TTranslator.h"
#include "dlgcmp_TBaseContainer.h"
#include "dlgcmp_TBaseDlg.h"
#include "exceptions_Tarnwick.h"
#include "ordlg_CopyFile.h"
#include "ordlg_GoodInstallForm.h"

using testsupport::MessageOf;

namespace {

class TStageInstall : public TInstallContainer {
public:
  using TInstallContainer::TInstallContainer;
  int Rank() const override { return 0; }
};

// Each test starts with empty page and form registries and leaves them as
// it found them.
class DialogManager : public ::testing::Test {
protected:
  void SetUp() override {
    SwapFormRegistries(registries_);
    RegisterDialogManagerClasses();
    form = std::make_unique<TComponent>(nullptr);
    install = new TStageInstall(form.get());
    install->SetName("Install1");
    CurrentInstall = install;
  }
  void TearDown() override {
    form.reset();
    CurrentInstall = nullptr;
    CurrentDialogManager = nullptr;
    SwapFormRegistries(registries_);
  }
  TDialogManager* Manager(TManagerType stage, TInstallContainer* container) {
    auto* dm = new TDialogManager(form.get());
    dm->ManagerType = stage;
    dm->SetContainer(container);
    return dm;
  }
  std::unique_ptr<TComponent> form;
  TStageInstall* install = nullptr;

private:
  TFormRegistries registries_;
};

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

namespace {
// A page of the before-install stage that logs its activations and, from
// the container's message loop, carries out the next scripted action.
class TScriptedPage : public TBaseInstallForm {
public:
  TScriptedPage(TComponent* owner, int order) : TBaseInstallForm(owner) {
    DM = FindDialogManager(dmBeforeInstall);
    Order = order;
    SetCaption("Page " + std::to_string(order));
  }
  bool SkipPage() override { return skipped.count(Order) > 0; }
  void InitializeDialog() override {
    log.push_back(Order);
    firstLast.push_back({IsFirstPage(), IsLastPage()});
    // The tab strip's texts, as its window holds them.
    HWND strip = OwnerContainer()->Tabs()->Handle();
    tabs.clear();
    for (int i = 0; i < TabCtrl_GetItemCount(strip); ++i) {
      char text[64] = {};
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      ::SendMessageA(strip, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
      tabs.push_back(text);
    }
    current = this;
    if (!actions.empty()) ::SetTimer(nullptr, 0, 1, &TScriptedPage::Act);
  }
  static void CALLBACK Act(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (actions.empty() || !current) return;
    const char action = actions.front();
    actions.pop_front();
    HWND container = ::GetAncestor(current->Handle(), GA_ROOT);
    if (action == 'n') current->NextPage();
    if (action == 'b') current->PreviousPage();
    if (action == 'c') current->CancelDialogs();
    if (action == 'x') {  // the close box or Alt+F4: refused
      ::SendMessageA(container, WM_CLOSE, 0, 0);
      closedAnyway = !::IsWindowVisible(container);
      Act(nullptr, 0, 0, 0);
    }
  }
  static void Register() {
    for (int order : {60, 1, 45})
      RegisterDialogPage({"TScriptedPage", [order](TComponent* o) -> TBaseTarnwickForm* {
                            return new TScriptedPage(o, order);
                          }},
                         nullptr, 0);
  }
  static inline std::vector<int> log;
  static inline std::vector<std::pair<bool, bool>> firstLast;
  static inline std::vector<std::string> tabs;  // when last activated
  static inline std::set<int> skipped;
  static inline std::deque<char> actions;
  static inline TScriptedPage* current = nullptr;
  static inline bool closedAnyway = false;
};
}  // namespace

TEST_F(DialogManager, StagesReactOnlyToTheirOwnNotification) {
  TScriptedPage::Register();
  TDialogManager* before = Manager(dmBeforeInstall, install);
  TDialogManager* copying = Manager(dmDuringCopyFiles, install);
  TDialogManager* good = Manager(dmAfterGoodInstall, install);
  copying->SetName("CopyManager");
  TScriptedPage::log.clear();

  // No page of that stage: it passes without a window.
  Manager(dmRegistration, install);
  install->Broadcast(bcRegistration, nullptr);
  EXPECT_TRUE(TScriptedPage::log.empty());
  EXPECT_EQ(CurrentDialogManager, nullptr);
  // A second manager of the stage: the pages belong to the first.
  TDialogManager* second = Manager(dmBeforeInstall, install);
  EXPECT_NO_THROW(second->Execute());
  EXPECT_TRUE(TScriptedPage::log.empty());
  delete second;
  (void)good;
  (void)before;

  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcFileStatus, nullptr); }), "CopyManager got a nil PO parameter");
  TDownloadStatusParameter download;
  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcFileStatus, &download); }),
            "The PO object passed to CopyManager is not a TFileStatusParameter object");
  TFileStatusParameter status;
  EXPECT_EQ(MessageOf([&] { install->Broadcast(bcDownloadStatus, &status); }),
            "The PO object passed to CopyManager is not a TDownloadStatusParameter object");
  // The before-install manager ignores copy codes.
  EXPECT_EQ(MessageOf([&] { before->Notify(install, bcFileStatus, nullptr); }), "no error");
}

TEST_F(DialogManager, WizardShowsPagesInOrderPassesOverSkippedOnesAndEndsByNextOrCancel) {
  TScriptedPage::Register();
  TDialogManager* before = Manager(dmBeforeInstall, install);
  struct Case {
    std::set<int> skipped;
    std::string actions;
    std::vector<int> shown;
    std::vector<std::pair<bool, bool>> firstLast;
    bool aborted;
  };
  const Case cases[] = {
      // Registered as 60, 1, 45: shown as 1, 45, 60; Next on the last page ends the stage.
      {{}, "nnn", {1, 45, 60}, {{true, false}, {false, false}, {false, true}}, false},
      // 45 is passed over both ways; a close request changes nothing.
      {{45}, "nxbnn", {1, 60, 1, 60}, {{true, false}, {false, true}, {true, false}, {false, true}}, false},
      // With the first page skipped the second counts as first; Back there stays.
      {{1}, "bnc", {45, 45, 60}, {{true, false}, {true, false}, {false, true}}, true},
      // All after the current one skipped: it is activated once more, then the stage ends.
      {{45, 60}, "n", {1, 1}, {{true, false}, {true, false}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.actions);
    TScriptedPage::log.clear();
    TScriptedPage::firstLast.clear();
    TScriptedPage::skipped = c.skipped;
    TScriptedPage::actions.assign(c.actions.begin(), c.actions.end());
    TScriptedPage::closedAnyway = false;
    if (c.aborted) EXPECT_THROW(install->Broadcast(bcBeforeInstall, nullptr), EAIUserAbort);
    else EXPECT_NO_THROW(install->Broadcast(bcBeforeInstall, nullptr));
    EXPECT_EQ(TScriptedPage::log, c.shown);
    EXPECT_EQ(TScriptedPage::firstLast, c.firstLast);
    // One tab a page, skipped ones too, in the order of the pages.
    EXPECT_EQ(TScriptedPage::tabs, (std::vector<std::string>{"Page 1", "Page 45", "Page 60"}));
    EXPECT_FALSE(TScriptedPage::closedAnyway);
    EXPECT_TRUE(TScriptedPage::actions.empty());
    EXPECT_EQ(CurrentDialogManager, nullptr);
  }
  TScriptedPage::skipped.clear();
  TScriptedPage::current = nullptr;
  (void)before;
}

namespace {
// A second page of the good-install stage, there only while `present`.
class TLaterPage : public TBaseInstallForm {
public:
  explicit TLaterPage(TComponent* owner) : TBaseInstallForm(owner) {
    DM = present ? FindDialogManager(dmAfterGoodInstall) : nullptr;
    Order = 20;
  }
  static inline bool present = false;
};
}  // namespace

TEST_F(DialogManager, ClosingPageShowsAndFocusesFinishOnlyWhenItIsTheLast) {
  RegisterTranslatorClasses();
  RegisterDialogPage({"TGoodInstallForm", [](TComponent* o) -> TBaseTarnwickForm* { return new TGoodInstallForm(o); }},
                     nullptr, 0);
  RegisterDialogPage({"TLaterPage", [](TComponent* o) -> TBaseTarnwickForm* { return new TLaterPage(o); }}, nullptr, 0);
  CurrentDialogManager = Manager(dmAfterGoodInstall, install);
  for (bool later : {false, true}) {
    SCOPED_TRACE(later ? "with a later page" : "alone");
    TLaterPage::present = later;
    TBaseFormContainer container(nullptr);
    ASSERT_EQ(container.LoadPages(), later ? 2 : 1);
    container.Show();
    auto* page = container.Page(0);
    auto* proceed = dynamic_cast<TWinControl*>(page->FindComponent("ProceedBtn"));
    auto* finish = dynamic_cast<TWinControl*>(page->FindComponent("FinishBtn"));
    auto* back = dynamic_cast<TControl*>(page->FindComponent("BackBtn"));
    ASSERT_TRUE(proceed && finish && back);
    EXPECT_FALSE(back->Visible());
    EXPECT_EQ(proceed->Visible(), later);
    EXPECT_EQ(finish->Visible(), !later);
    EXPECT_EQ(::GetFocus(), (later ? proceed : finish)->Handle());
  }
  CurrentDialogManager = nullptr;
  TLaterPage::present = false;
}

TEST_F(DialogManager, CopyFormMovesItsBarsByStatusAndShowsTheTransferPictureForDownloads) {
  RegisterTranslatorClasses();
  Manager(dmDuringCopyFiles, install);
  TCopyFileForm form(nullptr);
  ASSERT_NE(form.DM, nullptr);
  form.InitializeDialog();
  form.Show();
  auto* fileBar = dynamic_cast<TProgressBar*>(form.FindComponent("ProgressBar1"));
  auto* totalBar = dynamic_cast<TProgressBar*>(form.FindComponent("ProgressBar2"));
  auto* name = dynamic_cast<TWinControl*>(form.FindComponent("lblCopyingFile"));
  auto* transfer = dynamic_cast<TControl*>(form.FindComponent("TransferBitmap"));
  ASSERT_TRUE(fileBar && totalBar && name && transfer);
  struct Step {
    bool download;
    int filePercent, totalPercent;
    const char* file;
    int fileBarAfter, totalBarAfter;
    bool transferShown;
  };
  const Step steps[] = {
      {false, 30, 40, "VORERURO.NLM", 30, 40, false},
      {true, 70, 0, "files.2", 70, 40, true},     // a download moves only the file bar
      {false, 10, 20, "voreruro.exe", 10, 40, false},  // the total never goes back
      {false, 100, 150, "Readme.wri", 100, 100, false},  // nor past 100
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.file);
    if (st.download) {
      TDownloadStatusParameter d;
      d.Percent = st.filePercent;
      d.FileName = st.file;
      form.UpdateStatus(nullptr, &d);
    } else {
      TFileStatusParameter f;
      f.FilePercent = st.filePercent;
      f.TotalPercent = st.totalPercent;
      f.FileName = st.file;
      form.UpdateStatus(&f, nullptr);
    }
    EXPECT_EQ(fileBar->Position(), st.fileBarAfter);
    EXPECT_EQ(totalBar->Position(), st.totalBarAfter);
    EXPECT_EQ(::SendMessageA(totalBar->Handle(), PBM_GETPOS, 0, 0), st.totalBarAfter);
    EXPECT_EQ(name->Text(), st.file);
    EXPECT_EQ(transfer->Visible(), st.transferShown);
  }
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
  EXPECT_EQ(MessageOf([] { DialogPageEntry(0); }), "The BIFList is NIL");
  TCountingCopyForm::created = TCountingCopyForm::updates = 0;
  TCountingCopyForm::lastPercent = -1;
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
  install->Broadcast(bcPassEnded, nullptr);
  EXPECT_TRUE(copying->DuringCopyForms().empty());
  install->Broadcast(bcFileStatus, &status);
  EXPECT_EQ(TCountingCopyForm::created, 2);
  install->Broadcast(bcPassEnded, nullptr);

  // Change disk: the parameter is checked before anything shows.
  TDialogManager* disk = Manager(dmChangeDisk, install);
  install->Broadcast(bcNewDisk, nullptr);  // no change-disk form: nothing
  RegisterChangeDiskForm({"TDiskForm", [](TComponent* o) -> TBaseTarnwickForm* { return new TDiskForm(o); }},
                         nullptr, 0);
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcNewDisk, nullptr); }),
            "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcNewDisk, &status); }),
            "TChangeDiskDlg--PO is not a TList object");
  TParameterList list;
  list.Items = {&status};
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcNewDisk, &list); }),
            "TChangeDiskDlg--Not engouh parameters for status event");
  TDiskParameter diskParameter;
  list.Items = {&status, &diskParameter};
  EXPECT_EQ(MessageOf([&] { disk->Notify(install, bcNewDisk, &list); }), "TChangeDiskDlg says bad first parameter");
  EXPECT_EQ(CurrentDialogManager, nullptr);
  // Another stage's manager ignores the code.
  EXPECT_EQ(MessageOf([&] { copying->Notify(install, bcNewDisk, nullptr); }), "no error");
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
