// Dialog stages: the dialog manager that reacts to a stage's notification,
// the bases of engine forms, wizard pages and progress forms, the
// registries of page classes, and the per-dialog install object.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "Graphics.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TTranslator.h"
#include "types_Tarnwick.h"

class TDialogManager;
class TCustomBaseInstallDlg;
class TDiskParameter;
class TFileStatusParameter;
class TDownloadStatusParameter;

enum TManagerType : unsigned char {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles,
  dmChangeDisk, dmReboot, dmRegistration, dmUninstall
};

// Stage notifications sent by the installation sequence.
enum : int {
  bcBeforeInstall = -980,
  bcAfterGoodInstall = -979,
  bcAfterBadInstall = -978,
  bcReboot = -987,
  bcRegistration = -962,
  bcCopyEnded = -996,
  bcChangeDisk = -993,
};
// The file-copy and download status codes are those of the file passes
// (bcFileStatus, bcDownloadStatus).

// ------------------------------------------------------------ form bases

// The background colour every install dialog form takes; the main form
// sets it at start from the display's colours.
extern TColor DialogPageColor;

// The base of every engine form: the language its texts are in and how it
// follows the translator.
class TBaseTarnwickForm : public TForm {
public:
  explicit TBaseTarnwickForm(TComponent* owner);
  const char* ClassName() const override { return "TBaseTarnwickForm"; }

  virtual void RefreshLanguage() { ApplyLanguage(); }
  // Fills the controls from the install objects; pages override it.
  virtual void InitializeDialog() {}
  // Fonts of the target language, then the texts translated from
  // CurrentLanguage, then pending window messages.
  virtual void ApplyLanguage();

  // A component of the form's layout by name and class; none when missing.
  template <class T>
  T* Find(const char* name) const { return dynamic_cast<T*>(FindComponent(name)); }

  bool ChangeFonts = true;
  bool TranslateTexts = true;
  TInstallContainer* Container = nullptr;
  TTrnwLanguage CurrentLanguage = tlEnglish;
  bool UseOwnLanguage = false;
  TTrnwLanguage OwnLanguage = tlUser;
};

class TBaseFormContainer;

// A wizard page of a stage. Owned by the dialog container, it is a child
// window of the container's.
class TBaseInstallForm : public TBaseTarnwickForm {
public:
  using TBaseTarnwickForm::TBaseTarnwickForm;
  const char* ClassName() const override { return "TBaseInstallForm"; }

  // True when every page before the current one is skipped.
  virtual bool IsFirstPage();
  // True when the current page is the container's last, skipped or not.
  virtual bool IsLastPage();
  // Called on the current page when the user switches tabs.
  virtual void LeavePage() {}
  // Ends the stage as cancelled (modal result 3) without asking.
  virtual void AbortDialogs();
  virtual void NextPage();
  virtual void PreviousPage();
  // InitializeDialog, then the page comes to the front.
  virtual void ActivatePage();
  // Passed over by navigation when true.
  virtual bool SkipPage() { return false; }
  // Asks the install whether to abandon it; when so, AbortDialogs.
  virtual void CancelDialogs();

  // Hidden, borderless and as wide as its container once streamed.
  void Loaded() override;

  TCustomBaseInstallDlg* DC = nullptr;
  TDialogManager* DM = nullptr;
  int Order = 0;

protected:
  void CreateParams(TCreateParams& p) override;
  TBaseFormContainer* OwnerContainer() const;
};

// What every page of this program shares: its layout streamed from the
// resource named after its class, the page colour and the install's theme
// picture, and the Back, Next and Cancel buttons.
class TInstallPageForm : public TBaseInstallForm {
public:
  explicit TInstallPageForm(TComponent* owner);
  const char* ClassName() const override { return "TInstallPageForm"; }
  void FormCreate(TComponent* sender);
  void BackBtnClick(TComponent* sender) { PreviousPage(); }
  void ProceedBtnClick(TComponent* sender) { NextPage(); }
  void CancelBtnClick(TComponent* sender) { CancelDialogs(); }
  void FinishBtnClick(TComponent* sender) { NextPage(); }

protected:
  // Reads the layout; the concrete page calls it once its handlers exist.
  void LoadLayout(const char* className);
  // Back only when a page before this one is shown.
  void ShowBackButton();
  // The focus goes to ProceedBtn when it and the page are visible.
  void FocusProceedButton();
  // Closing pages: Back unless first, Next unless last, Finish in Next's
  // place when Next is hidden; the focus to Next, then (when asked) Finish.
  void ShowClosingButtons(bool focusFinish);
};

// A non-modal progress form of the copying stage.
class TBaseDuringCopyForm : public TBaseTarnwickForm {
public:
  using TBaseTarnwickForm::TBaseTarnwickForm;
  const char* ClassName() const override { return "TBaseDuringCopyForm"; }
  // Asks the install whether to abort; when so, the extractor and the
  // downloader stop at their next block. The modal result becomes 3.
  virtual void CancelCopy();
  // Receives one status; the other is none.
  virtual void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {}

  TDialogManager* DM = nullptr;
};

// The install's answer to whether the user may abandon it (true without an
// install).
bool ConfirmInstallAbort();

// The form of the change-disk stage.
class TBaseChangeDiskForm : public TBaseTarnwickForm {
public:
  using TBaseTarnwickForm::TBaseTarnwickForm;
  const char* ClassName() const override { return "TBaseChangeDiskForm"; }

  TDialogManager* DM = nullptr;
  TDiskParameter* DiskParameter = nullptr;
};

// ------------------------------------------------------------ registries

// A form class: its name and its constructor taking the owner.
struct TFormClass {
  std::string Name;
  std::function<TBaseTarnwickForm*(TComponent* owner)> Create;
};

struct TBIFEntry {
  TFormClass FormClass;
  TCustomBaseInstallDlg* Dialog = nullptr;  // may be none
  int Tag = 0;
};
using TDCFEntry = TBIFEntry;

template <class E>
class TFormEntryList {
public:
  E* Add(std::unique_ptr<E> entry) {
    items_.push_back(std::move(entry));
    return items_.back().get();
  }
  int Count() const { return static_cast<int>(items_.size()); }
  E* Items(int i) const { return items_.at(static_cast<std::size_t>(i)).get(); }

private:
  std::vector<std::unique_ptr<E>> items_;
};
using TBIFList = TFormEntryList<TBIFEntry>;
using TDCFList = TFormEntryList<TDCFEntry>;

TBIFEntry* RegisterDialogPage(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag);
TDCFEntry* RegisterDuringCopyForm(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag);
TBIFEntry* RegisterChangeDiskForm(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag);
int DialogPageCount();
// Raises Exception for a missing registry or an index out of range.
TBIFEntry* DialogPageEntry(int index);
int DuringCopyFormCount();
TDCFEntry* DuringCopyFormEntry(int index);
int ChangeDiskFormCount();
// The three registries as a whole. SwapFormRegistries exchanges them with
// `other`: a test that registers forms of its own swaps in empty ones first
// and swaps the earlier ones back at its end.
struct TFormRegistries {
  std::unique_ptr<TBIFList> Pages;
  std::unique_ptr<TDCFList> DuringCopy;
  std::unique_ptr<TBIFList> ChangeDisk;
};
void SwapFormRegistries(TFormRegistries& other);

// The first dialog manager of the stage in install-object order whose
// container is the current install; none when there is none.
TDialogManager* FindDialogManager(TManagerType stage);

// The manager whose modal stage or change-disk form runs now.
extern TDialogManager* CurrentDialogManager;

// Registers the program's dialog pages and progress forms in their fixed
// order; the program calls it once at start.
void RegisterInstallDialogs();

// ------------------------------------------------------------ dialog manager

class TDialogManager : public TInstallObject {
public:
  explicit TDialogManager(TComponent* owner);
  ~TDialogManager() override;
  const char* ClassName() const override { return "TDialogManager"; }

  void Notify(TInstallContainer* sender, int code, TPersistent* parameter) override;
  void ObjectDestroyed(TInstallContainer* object) override;
  int Rank() const override { return 9000; }

  // Runs the stage's pages modally; raises EAIUserAbort when cancelled.
  virtual void Execute();
  virtual void ShowChangeDisk(TPersistent* parameter);
  virtual void AddDialog(TCustomBaseInstallDlg* dialog);
  virtual void RemoveDialog(TCustomBaseInstallDlg* dialog);

  void OpenDuringCopyForms();
  void UpdateProgress(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);
  void CloseDuringCopyForms();

  int Height = 395;
  TManagerType ManagerType = dmBeforeInstall;
  TTarnwickDialogPosition Position = tdpCenter;
  int RelativeLeftOffset = 0;
  int RelativeTopOffset = 0;
  int Width = 478;

  const std::vector<TBaseDuringCopyForm*>& DuringCopyForms() const { return duringCopyForms_; }
  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return dialogs_; }

private:
  std::vector<TBaseDuringCopyForm*> duringCopyForms_;  // owned by the application
  std::vector<TCustomBaseInstallDlg*> dialogs_;
};

// The screen position of a form of the given size by the placement rule.
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height);
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height,
                    int screenWidth, int screenHeight, int captionHeight);

// ------------------------------------------------------------ per-dialog install object

class TCustomBaseInstallDlg : public TInstallObject {
public:
  explicit TCustomBaseInstallDlg(TComponent* owner);
  ~TCustomBaseInstallDlg() override;
  const char* ClassName() const override { return "TCustomBaseInstallDlg"; }
  int Rank() const override { return 9000; }
  void ObjectDestroyed(TInstallContainer* object) override;

  virtual void SetDialogManager(TDialogManager* manager);
  // Fonts and texts of its dialog form, with its own language settings.
  virtual void ApplyLanguage();
  // Hands its settings to the dialog form; raises Exception without one.
  virtual void AssignDialogProperties();
  // Fires the events around Execute; false when the dialog ended with EAbort.
  virtual bool Run();
  // Shows the dialog modally unless disabled; a result other than OK raises
  // EAIUserAbort.
  virtual bool Execute();
  virtual TFormClass GetDialogClass() = 0;
  virtual bool IsEnabled() { return true; }
  TDialogManager* DialogManager() const { return manager_; }
  TPicture& Picture() { return picture_; }

  bool ChangeFonts = true;
  bool TranslateTexts = true;
  TTrnwLanguage CurrentLanguage = tlEnglish;
  TBaseTarnwickForm* DialogForm = nullptr;
  int Height = 0;
  int Order = 0;
  bool UseOwnLanguage = false;
  TTarnwickDialogPosition Position = tdpCenter;
  int RelativeLeftOffset = 0;
  int RelativeTopOffset = 0;
  TTrnwLanguage OwnLanguage = tlUser;
  int Width = 0;
  TNotifyEvent OnAfterDialog;
  TNotifyEvent OnBeforeDialog;

private:
  TDialogManager* manager_ = nullptr;
  TPicture picture_;
};

// Registers the dialog manager for streaming; the program calls it at start.
void RegisterDialogManagerClasses();
