// The dialog manager, which runs a stage's dialogs when the install
// notifies it of the stage, the registries of the page and progress-form
// classes it creates them from, and the per-dialog install object.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TTranslator.h"
#include "dlgcmp_TBaseDlg_Placement.h"
#include "types_Tarnwick.h"

class TBaseTarnwickForm;
class TBaseDuringCopyForm;
class TDialogManager;
class TCustomBaseInstallDlg;
class TFileStatusParameter;
class TDownloadStatusParameter;

enum TManagerType : unsigned char {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles,
  dmChangeDisk, dmReboot, dmRegistration, dmUninstall
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

  int Height = kWizardSize.Height;
  TManagerType ManagerType = dmBeforeInstall;
  TTarnwickDialogPosition Position = tdpCenter;
  int RelativeLeftOffset = 0;
  int RelativeTopOffset = 0;
  int Width = kWizardSize.Width;

  const std::vector<TBaseDuringCopyForm*>& DuringCopyForms() const { return duringCopyForms_; }
  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return dialogs_; }

private:
  std::vector<TBaseDuringCopyForm*> duringCopyForms_;  // owned by the application
  std::vector<TCustomBaseInstallDlg*> dialogs_;
};

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
