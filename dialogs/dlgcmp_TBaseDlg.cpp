#include "dlgcmp_TBaseDlg.h"

#include <windows.h>

#include <cmath>

#include "Application.h"
#include "ClassReg.h"
#include "ControlReg.h"
#include "FormResource.h"
#include "ScopeExit.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "dlgcmp_TBaseContainer.h"
#include "exceptions_Tarnwick.h"
#include "routines_Cancel.h"
#include "routines_Log.h"
#include "routines_Unattended.h"

TDialogManager* CurrentDialogManager = nullptr;

namespace {

std::unique_ptr<TBIFList> g_pages;
std::unique_ptr<TDCFList> g_duringCopy;
std::unique_ptr<TBIFList> g_changeDisk;

TBIFEntry* AddEntry(std::unique_ptr<TBIFList>& list, TFormClass formClass, TCustomBaseInstallDlg* dialog,
                    int tag) {
  if (!list) list = std::make_unique<TBIFList>();
  auto entry = std::make_unique<TBIFEntry>();
  entry->FormClass = std::move(formClass);
  entry->Dialog = dialog;
  entry->Tag = tag;
  return list->Add(std::move(entry));
}

}  // namespace

// ------------------------------------------------------------ registries

TBIFEntry* RegisterDialogPage(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag) {
  return AddEntry(g_pages, std::move(formClass), dialog, tag);
}
TDCFEntry* RegisterDuringCopyForm(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag) {
  return AddEntry(g_duringCopy, std::move(formClass), dialog, tag);
}
TBIFEntry* RegisterChangeDiskForm(TFormClass formClass, TCustomBaseInstallDlg* dialog, int tag) {
  return AddEntry(g_changeDisk, std::move(formClass), dialog, tag);
}

int DialogPageCount() { return g_pages ? g_pages->Count() : 0; }

TBIFEntry* DialogPageEntry(int index) {
  if (!g_pages) throw Exception(TranslateExceptionMessage("The BIFList is NIL"));
  if (index < 0 || index >= g_pages->Count())
    throw Exception(TranslateExceptionMessage("%d is an invalid index in the BIFList"), {index});
  TBIFEntry* entry = g_pages->Items(index);
  if (!entry) throw Exception(TranslateExceptionMessage("The %d 'th entry in the BIFList is NIL"), {index});
  return entry;
}

int DuringCopyFormCount() { return g_duringCopy ? g_duringCopy->Count() : 0; }
TDCFEntry* DuringCopyFormEntry(int index) { return g_duringCopy->Items(index); }
int ChangeDiskFormCount() { return g_changeDisk ? g_changeDisk->Count() : 0; }

void SwapFormRegistries(TFormRegistries& other) {
  g_pages.swap(other.Pages);
  g_duringCopy.swap(other.DuringCopy);
  g_changeDisk.swap(other.ChangeDisk);
}

TDialogManager* FindDialogManager(TManagerType stage) {
  TInstallContainerList& all = InstallContainers();
  for (int i = 0; i < all.Count(); ++i) {
    auto* dm = dynamic_cast<TDialogManager*>(all.Items(i));
    if (dm && dm->ManagerType == stage && dm->Container() && dm->Container() == CurrentInstall) return dm;
  }
  return nullptr;
}

// ------------------------------------------------------------ form bases

TBaseTarnwickForm::TBaseTarnwickForm(TComponent* owner) : TForm(owner) { Font().SetCharset(ANSI_CHARSET); }

void TBaseTarnwickForm::ApplyLanguage() {
  if (TTranslator* t = Translator()) {
    const TTrnwLanguage target = UseOwnLanguage ? OwnLanguage : t->TranslateIntoLanguage();
    if (ChangeFonts) t->ApplyFonts(this, false, target);
    if (TranslateTexts) CurrentLanguage = t->TranslateComponent(CurrentLanguage, this, target);
  }
  if (Application) Application->ProcessMessages();
}

bool ConfirmInstallAbort() {
  auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall);
  return install ? install->ConfirmUserAbort() : true;
}

// ------------------------------------------------------------ pages

TBaseFormContainer* TBaseInstallForm::OwnerContainer() const { return dynamic_cast<TBaseFormContainer*>(Owner()); }

bool TBaseInstallForm::IsFirstPage() {
  TBaseFormContainer* c = OwnerContainer();
  if (!c) return false;
  const int current = c->Tabs()->TabIndex();
  for (int i = 0; i < current && i < c->PageCount(); ++i)
    if (!c->Page(i)->SkipPage()) return false;
  return true;
}

bool TBaseInstallForm::IsLastPage() {
  TBaseFormContainer* c = OwnerContainer();
  return c && c->Tabs()->TabIndex() == c->PageCount() - 1;
}

void TBaseInstallForm::AbortDialogs() {
  if (TBaseFormContainer* c = OwnerContainer()) c->SetModalResult(mrAbort);
  else SetModalResult(mrAbort);
}

void TBaseInstallForm::NextPage() {
  if (TBaseFormContainer* c = OwnerContainer()) c->NextPage();
}

void TBaseInstallForm::PreviousPage() {
  if (TBaseFormContainer* c = OwnerContainer()) c->PreviousPage();
}

void TBaseInstallForm::ActivatePage() {
  if (!dynamic_cast<TForm*>(Owner())) return;
  SetVisible(true);
  InitializeDialog();
  ::SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TBaseInstallForm::CancelDialogs() {
  if (ConfirmInstallAbort()) AbortDialogs();
}

void TBaseInstallForm::CreateParams(TCreateParams& p) {
  TBaseTarnwickForm::CreateParams(p);
  if (auto* owner = dynamic_cast<TForm*>(Owner())) {
    p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    p.ExStyle = WS_EX_CONTROLPARENT;
    p.Parent = owner->Handle();
    p.X = 0;
    p.Y = 0;
  }
}

void TBaseInstallForm::Loaded() {
  TBaseTarnwickForm::Loaded();
  auto* owner = dynamic_cast<TForm*>(Owner());
  if (!owner) return;
  SetVisible(false);
  SetPosition(poDefault);
  SetBorderIcons(0);
  SetBorderStyle(bsNoneForm);
  Handle();
  SetBounds(0, 0, owner->ClientWidth(), owner->Height());
}

TInstallPageForm::TInstallPageForm(TComponent* owner) : TBaseInstallForm(owner) {
  DefineMethod("FormCreate", [this](TComponent* sender) { FormCreate(sender); });
  DefineMethod("BackBtnClick", [this](TComponent* sender) { BackBtnClick(sender); });
  DefineMethod("ProceedBtnClick", [this](TComponent* sender) { ProceedBtnClick(sender); });
  DefineMethod("CancelBtnClick", [this](TComponent* sender) { CancelBtnClick(sender); });
  DefineMethod("FinishBtnClick", [this](TComponent* sender) { FinishBtnClick(sender); });
}

void TInstallPageForm::LoadLayout(const char* className) { ReadFormResource(this, className); }

void TInstallPageForm::FormCreate(TComponent*) {
  SetColor(DialogPageColor);
  auto* theme = Find<TImage>("ThemeBitmap");
  auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall);
  if (theme && install && !theme->Picture().Graphic() && install->DialogThemeBitmap().Graphic())
    theme->Picture().SetGraphic(install->DialogThemeBitmap().Graphic()->Clone());
}

void TInstallPageForm::ShowBackButton() {
  if (auto* back = Find<TControl>("BackBtn")) back->SetVisible(!IsFirstPage());
}

void TInstallPageForm::FocusProceedButton() {
  auto* proceed = Find<TWinControl>("ProceedBtn");
  if (proceed && proceed->Visible() && Visible()) proceed->SetFocus();
}

void TInstallPageForm::ShowClosingButtons(bool focusFinish) {
  ShowBackButton();
  auto* proceed = Find<TWinControl>("ProceedBtn");
  auto* finish = Find<TWinControl>("FinishBtn");
  if (proceed) proceed->SetVisible(!IsLastPage());
  if (finish) finish->SetVisible(!proceed || !proceed->Visible());
  FocusProceedButton();
  if (focusFinish && finish && finish->Visible() && Visible()) finish->SetFocus();
}

void TBaseDuringCopyForm::CancelCopy() {
  if (ConfirmInstallAbort()) InstallCancel().Request();
  SetModalResult(mrAbort);
}

// ------------------------------------------------------------ placement

POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height,
                    int screenWidth, int screenHeight, int captionHeight) {
  const int cx = static_cast<int>(std::nearbyint(screenWidth / 2.0 - width / 2.0));
  const int cy = static_cast<int>(std::nearbyint(screenHeight / 2.0 - height / 2.0));
  POINT p{0, 0};
  switch (static_cast<int>(position) / 3) {
    case 0: p.y = cy + topOffset; break;
    case 1: p.y = screenHeight - captionHeight - height - topOffset; break;
    default: p.y = topOffset; break;
  }
  switch (static_cast<int>(position) % 3) {
    case 0: p.x = leftOffset; break;
    case 1: p.x = cx + leftOffset; break;
    default: p.x = screenWidth - width - leftOffset; break;
  }
  return p;
}

POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height) {
  return PlaceOnScreen(position, leftOffset, topOffset, width, height, GetSystemMetrics(SM_CXSCREEN),
                       GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYCAPTION));
}

// ------------------------------------------------------------ TDialogManager

TDialogManager::TDialogManager(TComponent* owner) : TInstallObject(owner) {}

TDialogManager::~TDialogManager() {
  BeginDestroy();
  if (CurrentDialogManager == this) CurrentDialogManager = nullptr;
  for (TCustomBaseInstallDlg* d : std::vector<TCustomBaseInstallDlg*>(dialogs_))
    if (d->DialogManager() == this) d->SetDialogManager(nullptr);
  AnnounceDestruction();
}

void TDialogManager::Notify(TInstallContainer* sender, int code, TPersistent* parameter) {
  TInstallObject::Notify(sender, code, parameter);
  const bool pageStage = (code == bcBeforeInstall && ManagerType == dmBeforeInstall) ||
                         (code == bcAfterGoodInstall && ManagerType == dmAfterGoodInstall) ||
                         (code == bcAfterBadInstall && ManagerType == dmAfterBadInstall) ||
                         (code == bcRegistration && ManagerType == dmRegistration) ||
                         (code == bcReboot && ManagerType == dmReboot);
  if (pageStage && Unattended.Silent() && !(ManagerType == dmReboot && !Unattended.VerySilent())) {
    // Nobody answers pages in a silent installation; only the restart
    // question stays under /SILENT.
    if (ManagerType == dmBeforeInstall)
      LogLine("Silent installation: the licence agreement counts as accepted; the destination and the "
              "Start-menu folder are taken as set");
  } else if (pageStage) {
    Execute();
  } else if (Unattended.VerySilent() && ManagerType == dmDuringCopyFiles) {
    // Nothing shows.
  } else if (code == bcFileStatus && ManagerType == dmDuringCopyFiles) {
    if (!parameter) throw IException("%s got a nil PO parameter", {Name()});
    auto* status = dynamic_cast<TFileStatusParameter*>(parameter);
    if (!status) throw IException("The PO object passed to %s is not a TFileStatusParameter object", {Name()});
    UpdateProgress(status, nullptr);
  } else if (code == bcDownloadStatus && ManagerType == dmDuringCopyFiles) {
    if (!parameter) throw IException("%s got a nil PO parameter", {Name()});
    auto* status = dynamic_cast<TDownloadStatusParameter*>(parameter);
    if (!status)
      throw IException("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
    UpdateProgress(nullptr, status);
  } else if (code == bcPassEnded && ManagerType == dmDuringCopyFiles) {
    CloseDuringCopyForms();
  } else if (code == bcNewDisk && ManagerType == dmChangeDisk) {
    ShowChangeDisk(parameter);
  }
}

void TDialogManager::ObjectDestroyed(TInstallContainer* object) {
  TInstallObject::ObjectDestroyed(object);
  if (auto* dlg = dynamic_cast<TCustomBaseInstallDlg*>(object)) RemoveDialog(dlg);
}

void TDialogManager::Execute() {
  CurrentDialogManager = this;
  std::unique_ptr<TBaseFormContainer> container;
  TScopeExit clear([] { CurrentDialogManager = nullptr; });
  container = std::make_unique<TBaseFormContainer>(Application);
  container->SetPosition(poDesigned);
  container->SetHeight(Height);
  container->SetWidth(Width);
  container->PlaceOnScreen(Position, RelativeLeftOffset, RelativeTopOffset);
  if (container->LoadPages() > 0) {
    if (container->ShowModal() == mrAbort) throw EAIUserAbort();
    if (auto* main = Application ? dynamic_cast<TControl*>(Application->MainForm()) : nullptr) main->Invalidate();
    if (Application) Application->ProcessMessages();
  }
}

void TDialogManager::ShowChangeDisk(TPersistent* parameter) {
  if (ChangeDiskFormCount() == 0) return;
  std::unique_ptr<TBaseTarnwickForm> form(g_changeDisk->Items(0)->FormClass.Create(Application));
  CurrentDialogManager = this;
  TScopeExit clear([] { CurrentDialogManager = nullptr; });
  auto* disk = dynamic_cast<TBaseChangeDiskForm*>(form.get());
  if (disk && disk->DM == this) {
    if (!parameter)
      throw Exception(TranslateExceptionMessage(
          "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
    auto* list = dynamic_cast<TParameterList*>(parameter);
    if (!list) throw Exception(TranslateExceptionMessage("TChangeDiskDlg--PO is not a TList object"));
    if (list->Items.size() < 2)
      throw Exception(TranslateExceptionMessage("TChangeDiskDlg--Not engouh parameters for status event"));
    auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
    if (!file) throw Exception(TranslateExceptionMessage("TChangeDiskDlg says bad first parameter"));
    auto* diskParam = dynamic_cast<TDiskParameter*>(list->Items[1]);
    if (!diskParam) throw Exception(TranslateExceptionMessage("TChangeDiskDlg says bad second parameter"));
    file->SetTag(1);
    disk->DiskParameter = diskParam;
    disk->InitializeDialog();
    disk->ApplyLanguage();
    if (disk->ShowModal() == mrAbort) throw EAIUserAbort();
  }
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* dialog) {
  if (!dialog) throw Exception(TranslateExceptionMessage("Cannot add a NIL Dialog to the Dialog Manager %s"), {Name()});
  dialogs_.push_back(dialog);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* dialog) {
  for (auto it = dialogs_.begin(); it != dialogs_.end(); ++it)
    if (*it == dialog) {
      dialogs_.erase(it);
      return;
    }
}

void TDialogManager::OpenDuringCopyForms() {
  for (int i = 0; i < DuringCopyFormCount(); ++i) {
    TDCFEntry* entry = g_duringCopy->Items(i);
    TBaseTarnwickForm* created = entry->FormClass.Create(Application);
    auto* form = dynamic_cast<TBaseDuringCopyForm*>(created);
    if (!form || form->DM != this) {
      delete created;
      continue;
    }
    if (TCustomBaseInstallDlg* dlg = entry->Dialog) {
      dlg->DialogForm = form;
      POINT p = PlaceOnScreen(dlg->Position, dlg->RelativeLeftOffset, dlg->RelativeTopOffset, dlg->Width,
                              dlg->Height);
      form->SetBounds(p.x, p.y, dlg->Width, dlg->Height);
    }
    form->InitializeDialog();
    form->ApplyLanguage();
    form->Show();
    duringCopyForms_.push_back(form);
  }
}

void TDialogManager::UpdateProgress(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {
  if (duringCopyForms_.empty()) OpenDuringCopyForms();
  for (TBaseDuringCopyForm* f : duringCopyForms_) f->UpdateStatus(fileStatus, downloadStatus);
}

void TDialogManager::CloseDuringCopyForms() {
  for (TBaseDuringCopyForm* f : duringCopyForms_) f->Close();
  duringCopyForms_.clear();
}

// ------------------------------------------------------------ TCustomBaseInstallDlg

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* owner) : TInstallObject(owner) {
  SetInstallTypes(TInstallTypeSet{itFull, itDefault, itCompact, itCustom});
  if (IsDesigning() && CurrentInstall) SetContainer(CurrentInstall);
}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg() {
  BeginDestroy();
  if (manager_) manager_->RemoveDialog(this);
  manager_ = nullptr;
  AnnounceDestruction();
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* manager) {
  if (manager == manager_) return;
  if (manager) manager->AddDialog(this);
  if (manager_) manager_->RemoveDialog(this);
  manager_ = manager;
}

void TCustomBaseInstallDlg::ApplyLanguage() {
  if (!DialogForm) return;
  if (TTranslator* t = Translator()) {
    const TTrnwLanguage target = UseOwnLanguage ? OwnLanguage : t->TranslateIntoLanguage();
    if (ChangeFonts) t->ApplyFonts(DialogForm, false, target);
    if (TranslateTexts) CurrentLanguage = t->TranslateComponent(CurrentLanguage, DialogForm, target);
  }
  if (Application) Application->ProcessMessages();
}

void TCustomBaseInstallDlg::AssignDialogProperties() {
  if (!DialogForm)
    throw Exception(TranslateExceptionMessage("Cannot AssignDialogProperties for %s because the Dialog is Nil"),
                    {Name()});
  DialogForm->ChangeFonts = ChangeFonts;
  DialogForm->TranslateTexts = TranslateTexts;
  DialogForm->Container = Container();
  DialogForm->UseOwnLanguage = UseOwnLanguage;
  DialogForm->OwnLanguage = OwnLanguage;
  if (auto* page = dynamic_cast<TBaseInstallForm*>(DialogForm)) page->DC = this;
  ApplyLanguage();
}

bool TCustomBaseInstallDlg::Run() {
  try {
    if (OnBeforeDialog) OnBeforeDialog(this);
    bool result = Execute();
    if (Application) Application->ProcessMessages();
    if (OnAfterDialog) OnAfterDialog(this);
    return result;
  } catch (const EAbort&) {
    return false;
  }
}

bool TCustomBaseInstallDlg::Execute() {
  if (!IsEnabled()) return true;
  std::unique_ptr<TBaseTarnwickForm> form(GetDialogClass().Create(Application));
  DialogForm = form.get();
  TScopeExit clear([this] { DialogForm = nullptr; });
  AssignDialogProperties();
  if (form->ShowModal() != 1) throw EAIUserAbort();
  return true;
}

void TCustomBaseInstallDlg::ObjectDestroyed(TInstallContainer* object) {
  TInstallObject::ObjectDestroyed(object);
  if (object == manager_) manager_ = nullptr;
}

TColor DialogPageColor = clBtnFace;

// ------------------------------------------------------------ streaming

void RegisterDialogManagerClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterControlClasses();
  TClassInfo& c = RegisterClassInfo("TDialogManager", "TInstallObject",
                                    [](TComponent* owner) -> TComponent* { return new TDialogManager(owner); });
  c.Integer<TDialogManager>("Height", [](TDialogManager& o, int v) { o.Height = v; });
  c.Enum<TDialogManager>("ManagerType",
                         {"dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles",
                          "dmChangeDisk", "dmReboot", "dmRegistration", "dmUninstall"},
                         [](TDialogManager& o, int v) { o.ManagerType = static_cast<TManagerType>(v); });
  c.Enum<TDialogManager>("Position",
                         {"tdpCenterLeft", "tdpCenter", "tdpCenterRight", "tdpBottomLeft", "tdpBottomCenter",
                          "tdpBottomRight", "tdpTopLeft", "tdpTopCenter", "tdpTopRight"},
                         [](TDialogManager& o, int v) { o.Position = static_cast<TTarnwickDialogPosition>(v); });
  c.Integer<TDialogManager>("RelativeLeftOffset", [](TDialogManager& o, int v) { o.RelativeLeftOffset = v; });
  c.Integer<TDialogManager>("RelativeTopOffset", [](TDialogManager& o, int v) { o.RelativeTopOffset = v; });
  c.Integer<TDialogManager>("Width", [](TDialogManager& o, int v) { o.Width = v; });
  // The forms whose layouts are streamed into themselves.
  RegisterClassInfo("TBaseFormContainer", "TForm", nullptr);
  RegisterClassInfo("TBaseTarnwickForm", "TForm", nullptr);
  RegisterClassInfo("TBaseInstallForm", "TBaseTarnwickForm", nullptr);
  RegisterClassInfo("TBaseDuringCopyForm", "TBaseTarnwickForm", nullptr);
  RegisterClassInfo("TInstallPageForm", "TBaseInstallForm", nullptr);
  RegisterClassInfo("TCopyFileForm", "TBaseDuringCopyForm", nullptr);
  for (const char* page : {"TLicenseForm", "TSelectDestinationForm", "TSelectFolderForm", "TGoodInstallForm",
                           "TBadInstallForm", "TRebootForm"})
    RegisterClassInfo(page, "TInstallPageForm", nullptr);
}
