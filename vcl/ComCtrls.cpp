#include "ComCtrls.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
void InitCommon(DWORD classes) {
  INITCOMMONCONTROLSEX icc{sizeof icc, classes};
  ::InitCommonControlsEx(&icc);
}
}  // namespace

// --- group boxes ---------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) { width_ = 185; height_ = 105; }

void TGroupBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClass = "BUTTON";
  p.Style = (p.Style & ~(WS_CLIPCHILDREN | WS_TABSTOP)) | BS_GROUPBOX;
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    RECT r;
    ::GetClientRect(hwnd_, &r);
    TGdiObject brush(::CreateSolidBrush(ColorToRGB(EffectiveColor())));
    ::FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(brush.Get()));
    return 1;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner) {}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = -1;
  RebuildButtons();
}

void TRadioGroup::SetItemIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
  itemIndex_ = i;
  for (size_t k = 0; k < buttons_.size(); ++k)
    ::SendMessageA(buttons_[k], BM_SETCHECK, static_cast<int>(k) == i ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioGroup::SetBounds(int left, int top, int width, int height) {
  TGroupBox::SetBounds(left, top, width, height);
  RebuildButtons();
}

void TRadioGroup::RebuildButtons() {
  if (!hwnd_) return;
  for (HWND b : buttons_) ::DestroyWindow(b);
  buttons_.clear();
  if (items_.empty()) return;
  int rows = (static_cast<int>(items_.size()) + columns_ - 1) / columns_;
  int top = 16, colWidth = std::max(1, (width_ - 16) / columns_);
  int rowHeight = std::max(16, (height_ - top - 4) / std::max(1, rows));
  for (size_t i = 0; i < items_.size(); ++i) {
    int col = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
    HWND b = ::CreateWindowExA(0, "BUTTON", items_[i].c_str(),
                               WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0),
                               8 + col * colWidth, top + row * rowHeight, colWidth - 4,
                               std::min(rowHeight, 20), hwnd_, reinterpret_cast<HMENU>(i + 1),
                               ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), FALSE);
    buttons_.push_back(b);
  }
  SetItemIndex(itemIndex_);
}

void TRadioGroup::FontChanged() {
  for (HWND b : buttons_) ::SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), TRUE);
  TGroupBox::FontChanged();
}

LRESULT TRadioGroup::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) &&
      std::find(buttons_.begin(), buttons_.end(), reinterpret_cast<HWND>(lp)) != buttons_.end()) {
    // The radio buttons take the box's colour.
    HDC dc = reinterpret_cast<HDC>(wp);
    ::SetTextColor(dc, ColorToRGB(font_->Color()));
    ::SetBkColor(dc, ColorToRGB(EffectiveColor()));
    brush_.Reset(::CreateSolidBrush(ColorToRGB(EffectiveColor())));
    return reinterpret_cast<LRESULT>(brush_.Get());
  }
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    auto it = std::find(buttons_.begin(), buttons_.end(), reinterpret_cast<HWND>(lp));
    if (it != buttons_.end()) {
      SetItemIndex(static_cast<int>(it - buttons_.begin()));
      if (OnClick) OnClick(this);
      return 0;
    }
  }
  return TGroupBox::WndProc(msg, wp, lp);
}

// --- list box ------------------------------------------------------------

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
  width_ = 121; height_ = 97; tabStop_ = true; color_ = clWindow;
}

void TListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClass = "LISTBOX";
  p.Style = (p.Style & ~WS_CLIPCHILDREN) | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  if (sorted_) std::stable_sort(items_.begin(), items_.end(), [](const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  itemIndex_ = -1;
  if (hwnd_) HandleCreated();
}

void TListBox::AddItem(const std::string& s) {
  auto items = items_;
  items.push_back(s);
  SetItems(items);
}

void TListBox::SetItemHeight(int v) {
  itemHeight_ = v;
  if (hwnd_ && v > 0) ::SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, v);
}

void TListBox::HandleCreated() {
  if (itemHeight_ > 0) ::SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, itemHeight_);
  ::SendMessageA(hwnd_, LB_RESETCONTENT, 0, 0);
  for (const auto& s : items_) ::SendMessageA(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  ::SendMessageA(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

void TListBox::SetItemIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
  itemIndex_ = i;
  if (hwnd_) ::SendMessageA(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

void TListBox::CommandNotify(WORD code) {
  if (code == LBN_SELCHANGE) {
    itemIndex_ = static_cast<int>(::SendMessageA(hwnd_, LB_GETCURSEL, 0, 0));
    if (OnClick) OnClick(this);
  } else if (code == LBN_DBLCLK && OnDblClick) {
    OnDblClick(this);
  }
}

// --- progress bar --------------------------------------------------------

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { width_ = 150; height_ = 16; }

void TProgressBar::CreateParams(TCreateParams& p) {
  InitCommon(ICC_PROGRESS_CLASS);
  TWinControl::CreateParams(p);
  p.WinClass = PROGRESS_CLASSA;
  p.Style &= ~WS_CLIPCHILDREN;
}

void TProgressBar::HandleCreated() {
  SyncRange();
}

void TProgressBar::SyncRange() {
  if (position_ < min_) position_ = min_;
  if (position_ > max_) position_ = max_;
  if (!hwnd_) return;
  ::SendMessageA(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  ::SendMessageA(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetPosition(int v) {
  position_ = std::max(min_, std::min(max_, v));
  if (hwnd_) ::SendMessageA(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

// --- tab control ---------------------------------------------------------

TTabControl::TTabControl(TComponent* owner) : TWinControl(owner) { width_ = 289; height_ = 193; tabStop_ = true; }

void TTabControl::CreateParams(TCreateParams& p) {
  InitCommon(ICC_TAB_CLASSES);
  TWinControl::CreateParams(p);
  p.WinClass = WC_TABCONTROLA;
}

void TTabControl::SetTabs(const std::vector<std::string>& tabs) {
  tabs_ = tabs;
  if (tabIndex_ >= static_cast<int>(tabs_.size())) tabIndex_ = tabs_.empty() ? -1 : 0;
  if (tabIndex_ < 0 && !tabs_.empty()) tabIndex_ = 0;
  if (hwnd_) HandleCreated();
}

void TTabControl::HandleCreated() {
  TabCtrl_DeleteAllItems(hwnd_);
  for (size_t i = 0; i < tabs_.size(); ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(tabs_[i].c_str());
    ::SendMessageA(hwnd_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  TabCtrl_SetCurSel(hwnd_, tabIndex_);
}

void TTabControl::SetTabIndex(int i) {
  if (i < -1 || i >= static_cast<int>(tabs_.size())) i = -1;
  tabIndex_ = i;
  if (hwnd_) TabCtrl_SetCurSel(hwnd_, i);
}

LRESULT TTabControl::Notify(NMHDR* hdr) {
  if (hdr->code == TCN_SELCHANGING) {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    return allow ? FALSE : TRUE;
  }
  if (hdr->code == TCN_SELCHANGE) {
    tabIndex_ = TabCtrl_GetCurSel(hwnd_);
    if (OnChange) OnChange(this);
  }
  return 0;
}

// --- rich edit -----------------------------------------------------------

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {
  width_ = 185; height_ = 89; tabStop_ = true; color_ = clWindow;
}

void TRichEdit::CreateParams(TCreateParams& p) {
  static HMODULE lib = ::LoadLibraryA("riched20.dll");
  if (!lib) throw Exception("Cannot load the rich text control (riched20.dll)");
  TWinControl::CreateParams(p);
  p.WinClass = RICHEDIT_CLASSA;
  p.Style = (p.Style & ~WS_CLIPCHILDREN) | ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL |
            (readOnly_ ? ES_READONLY : 0);
  if (border_) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TRichEdit::HandleCreated() {
  ::SendMessageA(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(color_)));
  StreamIn();
}

void TRichEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (hwnd_) ::SendMessageA(hwnd_, EM_SETREADONLY, v, 0);
}

void TRichEdit::LoadFromString(const std::string& text) {
  document_ = text;
  StreamIn();
}

void TRichEdit::LoadFromFile(const std::string& path) {
  std::string text;
  if (!ReadFileBytes(path, text)) throw Exception("Cannot open file \"" + path + "\"");
  LoadFromString(text);
}

namespace {
struct TStreamSource {
  const std::string* text;
  size_t pos;
};
DWORD CALLBACK ReadChunk(DWORD_PTR cookie, LPBYTE buf, LONG cb, LONG* read) {
  auto* s = reinterpret_cast<TStreamSource*>(cookie);
  size_t n = std::min(static_cast<size_t>(cb), s->text->size() - s->pos);
  std::memcpy(buf, s->text->data() + s->pos, n);
  s->pos += n;
  *read = static_cast<LONG>(n);
  return 0;
}
}  // namespace

void TRichEdit::StreamIn() {
  if (!hwnd_) return;
  TStreamSource src{&document_, 0};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&src);
  es.pfnCallback = ReadChunk;
  bool rtf = !plainText_ && document_.compare(0, 5, "{\\rtf") == 0;
  ::SendMessageA(hwnd_, EM_STREAMIN, rtf ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
  ::SendMessageA(hwnd_, EM_SETSEL, 0, 0);
}

std::string TRichEdit::Text() {
  if (!hwnd_) return document_;
  return TWinControl::Text();
}
