// The bases of the engine's forms: every engine form, the wizard pages of a
// page stage, the progress forms of the copying stage and the change-disk
// form.
#pragma once
#include "Controls.h"
#include "cmp_TTranslator.h"

class TInstallContainer;
class TDialogManager;
class TCustomBaseInstallDlg;
class TDiskParameter;
class TFileStatusParameter;
class TDownloadStatusParameter;

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
  // Asks the install whether to abort; when so, requests the install run's
  // cancel (InstallCancel), on which the extraction and the download stop at
  // their next block. The modal result becomes 3.
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
