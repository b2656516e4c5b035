#include "routines_FileSystem.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

#include "Application.h"
#include "SysUtils.h"
#include "WinHandles.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Journal.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the next separator at or after i, or s.size().
size_t NextSeparator(const std::string& s, size_t i) {
  while (i < s.size() && !IsSeparator(s[i])) ++i;
  return i;
}

// Length of the leading part of a path that is never created: "C:\",
// "C:", "\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\".
size_t RootLength(const std::string& p) {
  auto driveAt = [&](size_t i) {
    return i + 1 < p.size() && p[i + 1] == ':' &&
           ((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= 'a' && p[i] <= 'z'));
  };
  auto withSeparator = [&](size_t i) { return i < p.size() && IsSeparator(p[i]) ? i + 1 : i; };
  auto serverShare = [&](size_t i) {
    i = NextSeparator(p, i);       // end of the server name
    if (i < p.size()) i = NextSeparator(p, i + 1);  // end of the share name
    return withSeparator(i);
  };
  if (p.size() >= 4 && IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == '?' || p[2] == '.') &&
      IsSeparator(p[3])) {
    if (p.size() >= 8 && SameText(p.substr(4, 3), "UNC") && IsSeparator(p[7])) return serverShare(8);
    if (driveAt(4)) return withSeparator(6);
    return withSeparator(NextSeparator(p, 4));  // a volume name
  }
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) return serverShare(2);
  if (driveAt(0)) return withSeparator(2);
  return withSeparator(0);
}

struct TAttributeMapping {
  TTrnwFileAttributes value;
  DWORD platform;
};
constexpr TAttributeMapping kAttributeMap[] = {
    {tfaArchive, FILE_ATTRIBUTE_ARCHIVE},     {tfaDirectory, FILE_ATTRIBUTE_DIRECTORY},
    {tfaHidden, FILE_ATTRIBUTE_HIDDEN},       {tfaNormal, FILE_ATTRIBUTE_NORMAL},
    {tfaOffline, FILE_ATTRIBUTE_OFFLINE},     {tfaReadOnly, FILE_ATTRIBUTE_READONLY},
    {tfaSystem, FILE_ATTRIBUTE_SYSTEM},       {tfaTemporary, FILE_ATTRIBUTE_TEMPORARY},
};

}  // namespace

bool IsDirectory(const std::string& path) { return twfile::DirectoryExists(path); }

bool CreateDirectoryTree(const std::string& path) {
  if (Trim(path).empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const size_t root = RootLength(path);
  std::string p = path;
  while (p.size() > root && IsSeparator(p.back())) p.pop_back();
  if (IsDirectory(p)) return true;
  if (p.size() <= root) {  // a drive or share that is not there
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // The end of every directory level below the root, outermost first.
  std::vector<size_t> ends;
  for (size_t i = root; i < p.size(); ++i)
    if (IsSeparator(p[i]) && i > root && !IsSeparator(p[i - 1])) ends.push_back(i);
  ends.push_back(p.size());
  // Levels that exist already stay as they are.
  size_t first = ends.size() - 1;
  while (first > 0 && !IsDirectory(p.substr(0, ends[first - 1]))) --first;
  for (size_t k = first; k < ends.size(); ++k) {
    const std::string level = p.substr(0, ends[k]);
    journal::DirectoryToCreate(level);
    if (!CreateDirectoryA(level.c_str(), nullptr)) {
      DWORD error = GetLastError();
      if (!IsDirectory(level)) {  // a file in the way, a bad name, no access
        SetLastError(error);
        return false;
      }
    }
  }
  return true;
}

DWORD TrnwAttributesToPlatform(TTrnwFileAttributesSet attributes) {
  DWORD r = 0;
  for (const TAttributeMapping& m : kAttributeMap)
    if (attributes.Contains(m.value)) r |= m.platform;
  return r ? r : FILE_ATTRIBUTE_NORMAL;
}

TTrnwFileAttributesSet PlatformToTrnwAttributes(DWORD attributes) {
  TTrnwFileAttributesSet r;
  for (const TAttributeMapping& m : kAttributeMap)
    if (attributes & m.platform) r.Include(m.value);
  return r;
}

void SetFileAttributesFromSet(const std::string& path, TTrnwFileAttributesSet attributes) {
  if (!SetFileAttributesA(path.c_str(), TrnwAttributesToPlatform(attributes)))
    throw IEfcSetAttributes("Cannot set file attributes. Error : %s", {SysErrorMessage(GetLastError())});
}

void ReadFileAttributes(const std::string& path, TTrnwFileAttributesSet& attributes,
                        SECURITY_ATTRIBUTES* securityAttributes) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, 0, securityAttributes, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(f.Get(), &info)) return;
  attributes = TTrnwFileAttributesSet();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) attributes.Include(tfaReadOnly);
}

std::string NearestExistingDirectory(const std::string& path) {
  if (Trim(path).empty()) return std::string();
  std::string p = path;
  for (;;) {
    if (IsDirectory(p)) return p;
    size_t cut = p.rfind('\\');
    if (cut == std::string::npos) return std::string();
    p.erase(cut);
  }
}

std::string LoadLibraryString(const std::string& library, unsigned id) {
  if (library.empty()) return std::string();
  // Loaded as data: only its resources are wanted, none of its code runs.
  TModuleHandle module(LoadLibraryExA(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return std::string();
  std::vector<char> buffer(4096);
  int n = LoadStringA(module.Get(), id, buffer.data(), static_cast<int>(buffer.size()));
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

namespace filesystem_detail {

void MakeHardLinkThrough(const char* library, const char* entryPoint, const std::string& linkPath,
                         const std::string& existingPath, SECURITY_ATTRIBUTES* securityAttributes,
                         bool& success) {
  using TCreateHardLinkA = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
  TModuleHandle kernel(LoadLibraryA(library));
  if (!kernel) throw IEInstallHardLink("Could not create hardlink for %s", {"from unloadable Kernel32"});
  auto create = reinterpret_cast<TCreateHardLinkA>(
      reinterpret_cast<void*>(GetProcAddress(kernel.Get(), entryPoint)));
  if (!create) throw IEInstallHardLink("Could not create hardlink for %s", {"Kernel32"});
  success = create(linkPath.c_str(), existingPath.c_str(), securityAttributes) != 0;
  DWORD error = GetLastError();
  kernel.Reset();
  SetLastError(error);  // the caller may report why no link was made
}

}  // namespace filesystem_detail

void MakeHardLink(const std::string& linkPath, const std::string& existingPath,
                  SECURITY_ATTRIBUTES* securityAttributes, bool& success) {
  filesystem_detail::MakeHardLinkThrough("kernel32.dll", "CreateHardLinkA", linkPath, existingPath,
                                         securityAttributes, success);
}

// ---------------------------------------------------------------------------
// The folder-browse dialog

namespace {

constexpr char kChildProp[] = "TarnwickOFDChild";
constexpr char kDialogProp[] = "TarnwickOFDDialog";

// Posted to the dialog window to show or hide the create button again.
UINT FollowMessage() {
  static const UINT message = RegisterWindowMessageA("TarnwickOFDFollowFirstButton");
  return message;
}

std::string LibraryStringOr(const char* library, unsigned id, const char* fallback) {
  std::string s = LoadLibraryString(library, id);
  return s.empty() ? fallback : s;
}

// An exception must not unwind through the system's frames.
template <typename F>
void Guarded(F f) {
  try {
    f();
  } catch (const std::exception& e) {
    if (Application) Application->HandleException(e);
  }
}

RECT ClientBounds(HWND parent, HWND child) {
  RECT r = {};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The dialog's tree view and its first two buttons, in window order.
struct TDialogParts {
  HWND parent;
  TOpenFolderDialog::TWindowPlace tree, first, second;
};

BOOL CALLBACK CollectPart(HWND child, LPARAM lp) {
  auto* parts = reinterpret_cast<TDialogParts*>(lp);
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof(cls));
  const std::string name = UpperCase(cls);
  TOpenFolderDialog::TWindowPlace* slot = nullptr;
  if (name.compare(0, 7, "SYSTREE") == 0) {
    if (!parts->tree.Handle) slot = &parts->tree;
  } else if (name.compare(0, 6, "BUTTON") == 0) {
    if (!parts->first.Handle) slot = &parts->first;
    else if (!parts->second.Handle) slot = &parts->second;
  }
  if (slot) *slot = {child, ClientBounds(parts->parent, child)};
  return TRUE;
}

// An in-memory dialog template, built as a sequence of WORDs.
class TDialogTemplate {
public:
  TDialogTemplate(const std::string& caption, DWORD style, short cx, short cy) {
    Long(style | DS_SETFONT);
    Long(0);
    countAt_ = data_.size();
    data_.push_back(0);
    Box(0, 0, cx, cy);
    data_.push_back(0);  // no menu
    data_.push_back(0);  // the standard dialog class
    Text(caption);
    data_.push_back(8);
    Text("MS Shell Dlg");
  }
  // atom: 0x80 button, 0x81 edit, 0x82 static.
  void Item(WORD atom, const std::string& text, DWORD style, short x, short y, short cx, short cy,
            WORD id) {
    if (data_.size() % 2) data_.push_back(0);  // items start on a DWORD
    Long(style | WS_CHILD | WS_VISIBLE);
    Long(0);
    Box(x, y, cx, cy);
    data_.push_back(id);
    data_.push_back(0xFFFF);
    data_.push_back(atom);
    Text(text);
    data_.push_back(0);  // no creation data
    ++data_[countAt_];
  }
  LPCDLGTEMPLATEA Get() const { return reinterpret_cast<LPCDLGTEMPLATEA>(data_.data()); }

private:
  void Long(DWORD v) {
    data_.push_back(LOWORD(v));
    data_.push_back(HIWORD(v));
  }
  void Box(short x, short y, short cx, short cy) {
    for (short v : {x, y, cx, cy}) data_.push_back(static_cast<WORD>(v));
  }
  void Text(const std::string& s) {
    std::vector<WCHAR> w(s.size() + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), static_cast<int>(w.size()));
    for (int i = 0; i + 1 < n; ++i) data_.push_back(static_cast<WORD>(w[static_cast<size_t>(i)]));
    data_.push_back(0);
  }
  std::vector<WORD> data_;
  size_t countAt_ = 0;
};

constexpr WORD kNameEdit = 100;

INT_PTR CALLBACK FolderNameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(h, DWLP_USER, lp);
      SetFocus(GetDlgItem(h, kNameEdit));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        char buf[MAX_PATH] = {};
        GetDlgItemTextA(h, kNameEdit, buf, sizeof(buf));
        *reinterpret_cast<std::string*>(GetWindowLongPtrA(h, DWLP_USER)) = buf;
        EndDialog(h, IDOK);
      } else if (LOWORD(wp) == IDCANCEL) {
        EndDialog(h, IDCANCEL);
      }
      return TRUE;
  }
  return FALSE;
}

// Asks for the name of a new folder; false when cancelled or left blank.
bool AskFolderName(HWND owner, std::string& name) {
  TDialogTemplate t(TOFDResourceStrings::NewFolderCaption(),
                    DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 66);
  t.Item(0x82, TOFDResourceStrings::NewFolderPrompt(), SS_LEFT, 7, 7, 186, 10, 0xFFFF);
  t.Item(0x81, "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 20, 186, 12, kNameEdit);
  t.Item(0x80, "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 89, 44, 50, 14, IDOK);
  t.Item(0x80, "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 143, 44, 50, 14, IDCANCEL);
  name.clear();
  INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), owner, FolderNameProc,
                                      reinterpret_cast<LPARAM>(&name));
  return r == IDOK && !Trim(name).empty();
}

}  // namespace

std::string TOFDResourceStrings::CreateButtonCaption() {
  return LibraryStringOr("comdlg32.dll", 703, "New Folder");
}

std::string TOFDResourceStrings::NewFolderCaption() {
  return LibraryStringOr("comdlg32.dll", 703, "New Folder");
}

std::string TOFDResourceStrings::NewFolderPrompt() {
  return LibraryStringOr("shell32.dll", 8977, "Enter the name of the new folder:");
}

std::string TOFDResourceStrings::DialogTitle() {
  const std::string format = LoadLibraryString("shell32.dll", 9248);
  return format.empty() ? "Browse for Folder" : Format(format, {""});
}

TOFDChildWindow::TOFDChildWindow(TOpenFolderDialog& dialog, HWND parent, const char* className,
                                 const std::string& text, DWORD style, DWORD exStyle,
                                 const RECT& bounds, int id)
    : dialog_(dialog) {
  handle_ = CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                            bounds.left, bounds.top, bounds.right - bounds.left,
                            bounds.bottom - bounds.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                            nullptr);
  if (!handle_) return;
  const LRESULT font = SendMessageA(parent, WM_GETFONT, 0, 0);
  SendMessageA(handle_, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  SetPropA(handle_, kChildProp, this);
  oldProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc)));
}

TOFDChildWindow::~TOFDChildWindow() {
  if (!handle_) return;
  SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
  RemovePropA(handle_, kChildProp);
}

std::string TOFDChildWindow::Text() const {
  if (!handle_) return std::string();
  std::vector<char> buf(static_cast<size_t>(GetWindowTextLengthA(handle_)) + 1);
  GetWindowTextA(handle_, buf.data(), static_cast<int>(buf.size()));
  return buf.data();
}

LRESULT TOFDChildWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  return CallWindowProcA(oldProc_, handle_, msg, wp, lp);
}

LRESULT CALLBACK TOFDChildWindow::StaticWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<TOFDChildWindow*>(GetPropA(h, kChildProp));
  if (!self) return DefWindowProcA(h, msg, wp, lp);
  if (msg == WM_NCDESTROY) {  // the window goes with the dialog
    WNDPROC old = self->oldProc_;
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(h, kChildProp);
    self->handle_ = nullptr;
    return CallWindowProcA(old, h, msg, wp, lp);
  }
  LRESULT r = 0;
  Guarded([&] { r = self->WndProc(msg, wp, lp); });
  return r;
}

TOFDCreateButton::TOFDCreateButton(TOpenFolderDialog& dialog, HWND parent, const RECT& bounds)
    : TOFDChildWindow(dialog, parent, "BUTTON", TOFDResourceStrings::CreateButtonCaption(),
                      BS_PUSHBUTTON, 0, bounds, kId) {}

void TOFDCreateButton::Click() { Dialog().CreateFolder(); }

TOFDPathEdit::TOFDPathEdit(TOpenFolderDialog& dialog, HWND parent, const RECT& bounds)
    : TOFDChildWindow(dialog, parent, "EDIT", "", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, bounds, kId) {}

LRESULT TOFDPathEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = TOFDChildWindow::WndProc(msg, wp, lp);
  if (msg == WM_KEYUP && !Dialog().selecting_) Dialog().PathTyped(Text());
  return r;
}

TOpenFolderDialog::TOpenFolderDialog(TComponent* owner) : TComponent(owner) {}

TOpenFolderDialog::~TOpenFolderDialog() { BeginDestroy(); }

bool TOpenFolderDialog::Execute() {
  for (;;) {
    Restart = false;
    createButton_.reset();
    pathEdit_.reset();
    dialog_ = firstButton_ = secondButton_ = treeView_ = TWindowPlace();
    const bool chosen = ShowOnce();
    if (!Restart) return chosen;
    Directory = currentPath_;
  }
}

bool TOpenFolderDialog::ShowOnce() {
  TComInit com;
  const std::string title = TOFDResourceStrings::DialogTitle();
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = GetActiveWindow();
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST pidl = SHBrowseForFolderA(&info);
  if (!pidl) return false;
  char path[MAX_PATH] = {};
  const bool hasPath = SHGetPathFromIDListA(pidl, path) != FALSE;
  CoTaskMemFree(pidl);
  if (ShowPathEdit) {
    CreateDirectoryTree(currentPath_);
    Directory = currentPath_;
    return true;
  }
  if (!hasPath) return false;
  Directory = path;
  return true;
}

int CALLBACK TOpenFolderDialog::BrowseCallback(HWND h, UINT msg, LPARAM lp, LPARAM data) {
  auto* self = reinterpret_cast<TOpenFolderDialog*>(data);
  Guarded([&] {
    if (msg == BFFM_INITIALIZED) {
      self->Initialized(h);
    } else if (msg == BFFM_SELCHANGED) {
      char path[MAX_PATH] = {};
      if (!lp || !SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lp), path)) path[0] = 0;
      self->SelectionChanged(path);
    }
  });
  return 0;
}

// Passes the create button's clicks to it and keeps it following the first
// button; the rest goes to the system's dialog procedure.
LRESULT CALLBACK TOpenFolderDialog::DialogWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<TOpenFolderDialog*>(GetPropA(h, kDialogProp));
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  WNDPROC old = self->dialogProc_;
  if (msg == FollowMessage()) {
    self->FollowFirstButton();
    return 0;
  }
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && self->createButton_ &&
      reinterpret_cast<HWND>(lp) == self->createButton_->Handle()) {
    Guarded([&] { self->createButton_->Click(); });
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(h, kDialogProp);
    self->dialogProc_ = nullptr;
  }
  return CallWindowProcW(old, h, msg, wp, lp);
}

void TOpenFolderDialog::Initialized(HWND h) {
  dialog_.Handle = h;
  GetClientRect(h, &dialog_.Bounds);
  SetPropA(h, kDialogProp, this);
  dialogProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWndProc)));

  TDialogParts parts = {h, {}, {}, {}};
  EnumChildWindows(h, CollectPart, reinterpret_cast<LPARAM>(&parts));
  treeView_ = parts.tree;
  firstButton_ = parts.first;
  secondButton_ = parts.second;

  if (ShowCreateButton) {
    RECT r = {20, 230, 140, 253};
    if (firstButton_.Handle && secondButton_.Handle) {
      const RECT& f = firstButton_.Bounds;
      r = {treeView_.Bounds.left, f.top, f.right - secondButton_.Bounds.left + f.left, f.bottom};
    }
    createButton_.reset(new TOFDCreateButton(*this, h, r));
  }

  if (ShowPathEdit) {
    const bool fitted = firstButton_.Handle && treeView_.Handle;
    const LONG height = firstButton_.Handle ? firstButton_.Bounds.bottom - firstButton_.Bounds.top : 23;
    const LONG gap = fitted ? firstButton_.Bounds.top - treeView_.Bounds.bottom : 8;
    RECT r = {20, 230 - gap - height, 260, 230 - gap};
    if (fitted) {
      RECT& t = treeView_.Bounds;
      t.bottom -= height + gap;
      MoveWindow(treeView_.Handle, t.left, t.top, t.right - t.left, t.bottom - t.top, TRUE);
      r = {t.left, t.bottom + gap, t.right, t.bottom + gap + height};
    }
    pathEdit_.reset(new TOFDPathEdit(*this, h, r));
    if (treeView_.Handle)  // next in the tab order
      SetWindowPos(pathEdit_->Handle(), treeView_.Handle, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  if (treeView_.Handle)
    SetWindowLongPtrA(treeView_.Handle, GWL_STYLE,
                      GetWindowLongPtrA(treeView_.Handle, GWL_STYLE) | TVS_SHOWSELALWAYS);

  std::string start = NearestExistingDirectory(Directory);
  start = start.size() > 3 ? StripBackslash(start) : AddBackslash(start);
  if (!start.empty()) {
    selecting_ = true;
    const bool shown = SelectPath(start);
    selecting_ = false;
    if (!shown) AcceptUnshownFolder(start);
  }
}

// Some shells match the path against the folders the tree read earlier,
// by their file times too: a folder just read may be found only on a
// repeated request, and once a folder on the way has changed since (a file
// created or deleted in it) the path is not found at all. The selection
// change reports the path; without one the current path stays.
bool TOpenFolderDialog::SelectPath(const std::string& path) {
  const std::string before = currentPath_;
  const int attempts = IsDirectory(path) ? 3 : 1;
  for (int i = 0; i < attempts; ++i) {
    currentPath_.clear();
    SendMessageA(dialog_.Handle, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    if (SameText(StripBackslash(currentPath_), StripBackslash(path))) return true;
  }
  if (currentPath_.empty()) currentPath_ = before;
  return false;
}

void TOpenFolderDialog::AcceptUnshownFolder(const std::string& path) {
  if (!IsDirectory(path) || !dialog_.Handle) return;
  currentPath_ = path;
  if (pathEdit_ && pathEdit_->Handle() && !typing_) SetWindowTextA(pathEdit_->Handle(), path.c_str());
  SendMessageA(dialog_.Handle, BFFM_ENABLEOK, 0, TRUE);
  FollowFirstButton();
}

void TOpenFolderDialog::SelectionChanged(const std::string& path) {
  currentPath_ = path;
  if (pathEdit_ && pathEdit_->Handle() && !typing_) SetWindowTextA(pathEdit_->Handle(), path.c_str());
  // Some shells enable OK for the new selection only after telling us of
  // it: the button follows again once the notification is over.
  FollowFirstButton();
  if (dialog_.Handle) PostMessageA(dialog_.Handle, FollowMessage(), 0, 0);
}

void TOpenFolderDialog::FollowFirstButton() {
  if (firstButton_.Handle && createButton_ && createButton_->Handle())
    ShowWindow(createButton_->Handle(), IsWindowEnabled(firstButton_.Handle) ? SW_SHOWNA : SW_HIDE);
}

// The typed path is the choice. An existing folder the tree could not show
// (its view of the folders may be older than the folders) is still one.
void TOpenFolderDialog::PathTyped(const std::string& text) {
  typing_ = true;
  const bool shown = SelectPath(text);
  currentPath_ = text;
  if (!shown) AcceptUnshownFolder(text);
  typing_ = false;
}

void TOpenFolderDialog::CreateFolder() {
  bool allow = true;
  if (OnCreateFolder) OnCreateFolder(this, allow);
  if (!allow) return;
  if (!pathEdit_ || IsDirectory(pathEdit_->Text())) {
    std::string name;
    if (!AskFolderName(dialog_.Handle, name)) return;
    currentPath_ = AddBackslash(currentPath_) + name;
  }
  CreateDirectoryTree(currentPath_);
  Restart = true;
  if (firstButton_.Handle) SendMessageA(firstButton_.Handle, BM_CLICK, 0, 0);
}
