#include "dlgcmp_TBaseContainer.h"

#include <algorithm>
#include <memory>

#include "FormResource.h"
#include "cmp_TTranslator.h"
#include "dlgcmp_TBaseDlg.h"

TBaseFormContainer::TBaseFormContainer(TComponent* owner) : TForm(owner) {
  DefineMethod("FormCreate", [this](TComponent* s) { FormCreate(s); });
  DefineMethod("FormShow", [this](TComponent* s) { FormShow(s); });
  DefineMethod("FormClose", TCloseEvent([this](TComponent* s, TCloseAction& a) { FormClose(s, a); }));
  DefineMethod("FormResize", [this](TComponent* s) { FormResize(s); });
  DefineMethod("FormDestroy", [this](TComponent* s) { FormDestroy(s); });
  DefineMethod("TabsChange", [this](TComponent* s) { TabsChange(s); });
  DefineMethod("TabsChanging", TAllowEvent([this](TComponent* s, bool& allow) { TabsChanging(s, allow); }));
  ReadFormResource(this, ClassName());
  displayPanel_ = dynamic_cast<TPanel*>(FindComponent("DisplayPanel"));
  tabs_ = dynamic_cast<TTabControl*>(FindComponent("Tabs"));
  if (!displayPanel_ || !tabs_) throw Exception("The dialog container's layout lacks DisplayPanel or Tabs");
}

TBaseFormContainer::~TBaseFormContainer() {
  DoDestroy();
  // The pages go while the container's window stands (destroying it would
  // destroy theirs behind them), and their dialogs forget them.
  pages_.clear();
  for (int i = ComponentCount() - 1; i >= 0; --i)
    if (auto* page = dynamic_cast<TBaseInstallForm*>(Component(i))) {
      if (page->DC && page->DC->DialogForm == page) page->DC->DialogForm = nullptr;
      delete page;
    }
}

void TBaseFormContainer::FormCreate(TComponent*) {
  Font().SetCharset(ANSI_CHARSET);
  sizing_ = true;
  SetHeight(kWizardSize.Height);
  SetWidth(kWizardSize.Width);
  sizing_ = false;
  finished_ = false;
}

void TBaseFormContainer::FormDestroy(TComponent*) { pages_.clear(); }

TBaseInstallForm* TBaseFormContainer::CurrentPage() const {
  const int i = tabs_->TabIndex();
  return i >= 0 && i < PageCount() ? pages_[static_cast<std::size_t>(i)] : nullptr;
}

TButton* TBaseFormContainer::FindDialogButton(bool defaultButton) {
  TBaseInstallForm* page = CurrentPage();
  return page && page->Visible() ? page->FindDialogButton(defaultButton) : TForm::FindDialogButton(defaultButton);
}

void TBaseFormContainer::PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset) {
  POINT p = ::PlaceOnScreen(position, leftOffset, topOffset, Width(), Height());
  SetBounds(p.x, p.y, Width(), Height());
}

int TBaseFormContainer::LoadPages() {
  if (!CurrentDialogManager)
    throw Exception(TranslateExceptionMessage("The current dialog manager is not defined"));
  pages_.clear();
  std::vector<std::string> tabs;  // one a page, with the caption it had when it was loaded
  for (int i = 0; i < DialogPageCount(); ++i) {
    TBIFEntry* entry = DialogPageEntry(i);
    TCustomBaseInstallDlg* dialog = entry->Dialog;
    if (dialog && (dialog->DialogManager() != CurrentDialogManager || !dialog->IsEnabled())) continue;
    std::unique_ptr<TBaseTarnwickForm> created(entry->FormClass.Create(this));
    auto* page = dynamic_cast<TBaseInstallForm*>(created.get());
    if (!page || (!dialog && page->DM != CurrentDialogManager)) continue;  // freed, and out of the components
    created.release();
    page->DC = dialog;
    if (dialog) {
      page->Container = dialog->Container();
      page->Order = dialog->Order;
      dialog->DialogForm = page;
      dialog->AssignDialogProperties();
    }
    tabs.push_back(page->Caption());
    page->SetBounds(displayPanel_->Left(), displayPanel_->Top(), displayPanel_->Width(), displayPanel_->Height());
    page->ApplyLanguage();
    pages_.push_back(page);
  }
  // Exchange sort by Order; the tabs move with their pages.
  for (std::size_t i = 0; i < pages_.size(); ++i)
    for (std::size_t j = i + 1; j < pages_.size(); ++j)
      if (pages_[j]->Order < pages_[i]->Order) {
        std::swap(pages_[i], pages_[j]);
        std::swap(tabs[i], tabs[j]);
      }
  tabs_->SetTabs(tabs);
  return PageCount();
}

bool TBaseFormContainer::ShowPage(int index, bool backward) {
  if (index < 0 || index >= PageCount()) return false;
  TBaseInstallForm* page = pages_[static_cast<std::size_t>(index)];
  if (page->SkipPage()) return ShowPage(backward ? index - 1 : index + 1, backward);
  tabs_->SetTabIndex(index);
  SetCaption(page->Caption());
  page->ActivatePage();
  // Only the page in front takes part in Tab and the access keys.
  for (TBaseInstallForm* other : pages_)
    if (other != page) other->SetVisible(false);
  return true;
}

void TBaseFormContainer::FormShow(TComponent*) {
  if (!ShowPage(0, true)) ShowPage(0, false);
  if (HandleAllocated()) ::SetForegroundWindow(Handle());
}

void TBaseFormContainer::NextPage() {
  const int t = tabs_->TabIndex();
  if (!ShowPage(t + 1, false)) ShowPage(t + 1, true);
  if (tabs_->TabIndex() == t) {
    finished_ = true;
    SetModalResult(mrOk);
    Close();
  }
}

bool TBaseFormContainer::PreviousPage() {
  const int t = tabs_->TabIndex();
  return ShowPage(t - 1, true) || ShowPage(t - 1, false);
}

void TBaseFormContainer::TabsChange(TComponent*) {
  if (!ShowPage(tabs_->TabIndex(), true)) ShowPage(tabs_->TabIndex(), false);
}

void TBaseFormContainer::TabsChanging(TComponent*, bool&) {
  if (TBaseInstallForm* page = CurrentPage()) page->LeavePage();
}

void TBaseFormContainer::FormClose(TComponent*, TCloseAction& action) {
  if (!finished_ && ModalResult() != mrAbort) action = caNone;
}

void TBaseFormContainer::FormResize(TComponent*) {
  if (sizing_) return;
  for (TBaseInstallForm* page : pages_) {
    page->SetBounds(displayPanel_->Left(), displayPanel_->Top(), displayPanel_->Width(), displayPanel_->Height());
    page->Invalidate();
  }
}
