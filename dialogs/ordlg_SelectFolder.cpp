#include "ordlg_SelectFolder.h"

#include <windows.h>

#include "ComCtrls.h"
#include "WinHandles.h"
#include "cmp_TInstallShellLink.h"
#include "cmp_TPathSpecifier.h"
#include "routines_API.h"
#include "routines_Strings.h"
#include "routines_ExpandPaths.h"

namespace {

// The project's one Programs-menu specifier, made when it has none.
TCustomPathSpecifier* ProgramMenuSpecifier() {
  if (TCustomPathSpecifier* s = StandardPathSpecifiers().Find(PathSpecifierClassOf<TpsProgramMenu>())) return s;
  auto* s = new TpsProgramMenu(CurrentInstall ? CurrentInstall->Owner() : nullptr);
  s->SetName(s->DefaultName());
  return s;
}

}  // namespace

void SetStartMenuFolder(const std::string& name) {
  if (TMainLinkGroup* group = MainLinkGroup()) {
    group->SetDestDirType(ProgramMenuSpecifier());
    group->SetDestDir("\\" + name);
  }
}

std::vector<std::string> StartMenuFolderChoices() {
  std::vector<std::string> folders;
  const TOSVerType os = RunningOSHook();
  if (!Is9xFamilyOS(os) && !IsNTFamilyOS(os)) return folders;
  const std::string programs = AddBackslash(GetProgramsMenuDir());
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA((programs + "*.*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return folders;
  do {
    const std::string name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") folders.push_back(name);
  } while (::FindNextFileA(h, &data));
  ::FindClose(h);
  return folders;
}

TSelectFolderForm::TSelectFolderForm(TComponent* owner) : TInstallPageForm(owner) {
  DefineMethod("FolderListBoxClick", [this](TComponent* sender) { FolderListBoxClick(sender); });
  DefineMethod("FolderEditChange", [this](TComponent* sender) { FolderEditChange(sender); });
  DefineMethod("FormResize", [this](TComponent* sender) { FormResize(sender); });
  LoadLayout("TSelectFolderForm");
  DM = FindDialogManager(dmBeforeInstall);
  Order = 60;
  Container = MainLinkGroup();
}

TEdit* TSelectFolderForm::Edit() const { return Find<TEdit>("FolderEdit"); }
TListBox* TSelectFolderForm::List() const { return Find<TListBox>("FolderListBox"); }

void TSelectFolderForm::InitializeDialog() {
  ShowBackButton();
  TListBox* list = List();
  TEdit* edit = Edit();
  if (list) {
    list->SetSorted(true);
    list->SetItems(StartMenuFolderChoices());
  }
  std::string folder;
  if (Container && dynamic_cast<TpsProgramMenu*>(Container->DestDirType())) {
    folder = Container->DestDir();
    const std::size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos) folder = folder.substr(slash + 1);
  }
  if (folder.empty() && list && !list->Items().empty()) folder = list->Items().front();
  if (edit) edit->SetText(folder);
  FocusProceedButton();
}

void TSelectFolderForm::FolderListBoxClick(TComponent*) {
  TListBox* list = List();
  if (list && list->ItemIndex() >= 0 && Edit()) Edit()->SetText(list->Items()[static_cast<std::size_t>(list->ItemIndex())]);
}

void TSelectFolderForm::FolderEditChange(TComponent*) {
  if (!Container) return;
  Container->SetDestDirType(ProgramMenuSpecifier());
  Container->SetDestDir("\\" + (Edit() ? Edit()->Text() : std::string()));
}

void TSelectFolderForm::FormResize(TComponent*) {
  if (auto* l = Find<TControl>("Label1")) l->SetHeight(18);
  if (auto* l = Find<TControl>("Label3")) l->SetHeight(8);
  if (auto* l = Find<TControl>("Label4")) l->SetHeight(8);
}
