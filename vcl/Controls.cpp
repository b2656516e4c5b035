#include "Controls.h"

#include <algorithm>

#include "Application.h"
#include "ScopeExit.h"
#include "SysUtils.h"

namespace {

const char kWindowClass[] = "TwWinControl";
const char kFormClass[] = "TwForm";
const char kObjectProp[] = "TwControl";

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = kWindowClass;
  ::RegisterClassA(&wc);
  wc.lpszClassName = kFormClass;
  wc.hIcon = ::LoadIconA(wc.hInstance, "MAINICON");
  ::RegisterClassA(&wc);
  done = true;
}

DWORD FormStyleOf(TFormBorderStyle b) {
  switch (b) {
    case bsNoneForm: return WS_POPUP | WS_CLIPCHILDREN;
    case bsSingle: return WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    case bsDialog: return WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
    case bsToolWindow: return WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    case bsSizeToolWin: return WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    default: return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  }
}
DWORD FormStyle(TFormBorderStyle b, unsigned icons = 1u << biSystemMenu | 1u << biMinimize | 1u << biMaximize) {
  DWORD style = FormStyleOf(b);
  if (!(icons & (1u << biSystemMenu))) style &= ~(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  else if (b == bsSizeable || b == bsSingle) {
    if (!(icons & (1u << biMinimize))) style &= ~WS_MINIMIZEBOX;
    if (!(icons & (1u << biMaximize))) style &= ~WS_MAXIMIZEBOX;
  }
  return style;
}
DWORD FormExStyle(TFormBorderStyle b) {
  // Tab and the access keys reach the controls of nested panels and pages.
  DWORD ex = WS_EX_CONTROLPARENT;
  if (b == bsDialog) ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  if (b == bsToolWindow || b == bsSizeToolWin) ex |= WS_EX_TOOLWINDOW;
  return ex;
}

}  // namespace

bool ProcessMessages() {
  MSG m;
  while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(m.wParam));
      return true;
    }
    // A form of ours (a modeless one too, such as the copy progress) takes
    // its dialog keys.
    HWND root = m.hwnd ? ::GetAncestor(m.hwnd, GA_ROOT) : nullptr;
    if (root && dynamic_cast<TForm*>(static_cast<TWinControl*>(::GetPropA(root, kObjectProp))) &&
        ::IsDialogMessageA(root, &m))
      continue;
    ::TranslateMessage(&m);
    ::DispatchMessageA(&m);
  }
  return false;
}

// --- TControl ------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  font_->OnChange = [this] { parentFont_ = false; FontChanged(); };
}

TControl::~TControl() {
  BeginDestroy();
  SetParent(nullptr);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
  if (parent) {
    parent->InsertControl(this);
    if (parentFont_) CopyParentFont();
  }
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::CopyParentFont() {
  auto handler = std::move(font_->OnChange);
  font_->Assign(parent_->Font());
  font_->OnChange = std::move(handler);
  parentFont_ = true;
  FontChanged();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  bool moved = left != left_ || top != top_ || width != width_ || height != height_;
  if (!moved) return;
  RECT old = BoundsRect();
  left_ = left; top_ = top; width_ = std::max(0, width); height_ = std::max(0, height);
  if (parent_ && parent_->HandleAllocated() && !IsWindowed()) {
    ::InvalidateRect(parent_->hwnd_, &old, TRUE);
    Invalidate();
  }
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::SetAlign(TAlign v) {
  if (v == align_) return;
  align_ = v;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (parent_ && parent_->HandleAllocated()) {
    RECT r = BoundsRect();
    ::InvalidateRect(parent_->hwnd_, &r, TRUE);
  }
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::SetEnabled(bool v) { enabled_ = v; Invalidate(); }
void TControl::SetCaption(const std::string& v) { caption_ = v; Invalidate(); }

TColor TControl::EffectiveColor() const {
  return parentColor_ && parent_ ? parent_->EffectiveColor() : color_;
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::Invalidate() {
  if (parent_ && parent_->HandleAllocated()) {
    RECT r = BoundsRect();
    ::InvalidateRect(parent_->hwnd_, &r, TRUE);
  }
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_ && parentFont_) CopyParentFont();
}

// --- TWinControl ---------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  BeginDestroy();
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  DestroyHandle();
}

void TWinControl::InsertControl(TControl* c) {
  controls_.push_back(c);
  c->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(c); w && hwnd_ && w->visible_) w->Handle();
  if (c->align_ != alNone) Realign();
  c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  c->Invalidate();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  c->parent_ = nullptr;
  if (c->align_ != alNone) Realign();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = left_; p.Y = top_; p.W = width_; p.H = height_;
  p.Parent = parent_ ? parent_->Handle() : nullptr;
}

HWND TWinControl::Handle() {
  if (!hwnd_) CreateWnd();
  return hwnd_;
}

void TWinControl::CreateWnd() {
  RegisterClasses();
  TCreateParams p;
  CreateParams(p);
  if (hwnd_) return;  // creating the parent created this one
  // Tab and the access keys reach into windows that hold controls.
  if (!p.WinClass || !controls_.empty()) p.ExStyle |= WS_EX_CONTROLPARENT;
  const char* cls = p.WinClass ? p.WinClass : (dynamic_cast<TForm*>(this) ? kFormClass : kWindowClass);
  HWND h = ::CreateWindowExA(p.ExStyle, cls, caption_.c_str(), p.Style, p.X, p.Y, p.W, p.H,
                             p.Parent, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (!h) throw Exception(Format("Cannot create window of class %s", {ClassName()}));
  hwnd_ = h;
  ::SetPropA(h, kObjectProp, this);
  oldProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc)));
  ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), FALSE);
  HandleCreated();
  // Children in tab order so that the dialog keys follow it.
  // A label stands just before the control its access key focuses.
  std::vector<TWinControl*> kids, labels;
  for (TControl* c : controls_) {
    auto* w = dynamic_cast<TWinControl*>(c);
    if (!w) continue;
    auto* l = dynamic_cast<TLabel*>(w);
    (l && l->FocusControl() && l->FocusControl()->parent_ == this ? labels : kids).push_back(w);
  }
  std::stable_sort(kids.begin(), kids.end(), [](TWinControl* a, TWinControl* b) {
    const bool la = dynamic_cast<TLabel*>(a) != nullptr, lb = dynamic_cast<TLabel*>(b) != nullptr;
    if (la != lb) return la;  // other labels first
    return a->tabOrder_ < b->tabOrder_;
  });
  for (TWinControl* w : kids) {
    for (TWinControl* l : labels)
      if (static_cast<TLabel*>(l)->FocusControl() == w) l->Handle();
    w->Handle();
  }
  Realign();
}

void TWinControl::DestroyHandle() {
  if (!hwnd_) return;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  HWND h = hwnd_;
  ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
  ::RemovePropA(h, kObjectProp);
  hwnd_ = nullptr;
  ::DestroyWindow(h);
}

TWinControl* TWinControl::FromHandle(HWND h) {
  return static_cast<TWinControl*>(::GetPropA(h, kObjectProp));
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* c = FromHandle(h);
  if (!c) return ::DefWindowProcA(h, msg, wp, lp);
  // An exception must not unwind through the system's frames: it goes to
  // the application's handler and the message counts as handled.
  try {
    return c->WndProc(msg, wp, lp);
  } catch (const std::exception& e) {
    if (Application) Application->HandleException(e);
    return 0;
  }
}

LRESULT TWinControl::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
  return ::CallWindowProcA(oldProc_, hwnd_, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  bool own = oldProc_ == ::DefWindowProcA;
  switch (msg) {
    case WM_ERASEBKGND:
      if (own) return 1;
      break;
    case WM_PAINT:
      if (own) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        TScopeExit endPaint([&] { ::EndPaint(hwnd_, &ps); });
        RECT rc;
        ::GetClientRect(hwnd_, &rc);
        // Drawn off screen, then copied, so that gradients do not flicker.
        // Whatever a painter raises, the device contexts go back.
        HDC mem = ::CreateCompatibleDC(dc);
        TScopeExit deleteMem([&] { ::DeleteDC(mem); });
        TGdiObject bmp(::CreateCompatibleBitmap(dc, std::max(1L, rc.right), std::max(1L, rc.bottom)));
        HGDIOBJ old = ::SelectObject(mem, bmp.Get());
        TScopeExit deselect([&] { ::SelectObject(mem, old); });
        TCanvas canvas(mem);
        Paint(canvas);
        PaintChildren(canvas, ps.rcPaint);
        ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        return 0;
      }
      break;
    case WM_COMMAND:
      if (lp) {
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lp))) {
          child->CommandNotify(HIWORD(wp));
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (TWinControl* child = FromHandle(hdr->hwndFrom)) return child->Notify(hdr);
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lp))) {
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, ColorToRGB(child->font_->Color()));
        auto* label = dynamic_cast<TLabel*>(child);
        if (label && label->Transparent()) {
          // What this control paints beneath the label, then the text over it.
          RECT r = label->BoundsRect();
          int saved = ::SaveDC(dc);
          ::SetViewportOrgEx(dc, -r.left, -r.top, nullptr);
          TCanvas canvas(dc);
          Paint(canvas);
          PaintChildren(canvas, r);
          ::RestoreDC(dc, saved);
          ::SetBkMode(dc, TRANSPARENT);
          return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        }
        const TColor color = child->EffectiveColor();
        ::SetBkColor(dc, ColorToRGB(color));
        child->brush_.Reset(::CreateSolidBrush(ColorToRGB(color)));
        return reinterpret_cast<LRESULT>(child->brush_.Get());
      }
      break;
    case WM_SIZE:
      if (own) Realign();
      break;
    case WM_LBUTTONUP:
      if (own) {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
          TControl* c = *it;
          RECT r = c->BoundsRect();
          if (!c->IsWindowed() && c->visible_ && c->enabled_ && ::PtInRect(&r, pt)) {
            if (c->OnClick) c->OnClick(c);
            return 0;
          }
        }
        if (OnClick) OnClick(this);
      }
      break;
  }
  return DefaultProc(msg, wp, lp);
}

void TWinControl::Paint(TCanvas& canvas) {
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  canvas.FillRect(r, EffectiveColor());
}

TButton* TWinControl::FindDialogButton(bool defaultButton) {
  for (TControl* c : controls_) {
    if (!c->visible_ || !c->enabled_) continue;
    if (auto* b = dynamic_cast<TButton*>(c)) {
      if (defaultButton ? b->Default() : b->Cancel()) return b;
    } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
      if (TButton* found = w->FindDialogButton(defaultButton)) return found;
    }
  }
  return nullptr;
}

void TWinControl::PaintChildren(TCanvas& canvas, const RECT& clip) {
  for (TControl* c : controls_) {
    if (c->IsWindowed() || !c->visible_) continue;
    RECT r = c->BoundsRect(), inter;
    if (!::IntersectRect(&inter, &r, &clip)) continue;
    int saved = ::SaveDC(canvas.Handle());
    ::IntersectClipRect(canvas.Handle(), r.left, r.top, r.right, r.bottom);
    ::SetViewportOrgEx(canvas.Handle(), r.left, r.top, nullptr);
    c->Paint(canvas);
    ::RestoreDC(canvas.Handle(), saved);
  }
}

void TWinControl::UpdateWindowBounds() {
  if (hwnd_) ::MoveWindow(hwnd_, left_, top_, width_, height_, TRUE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left; top_ = top; width_ = std::max(0, width); height_ = std::max(0, height);
  UpdateWindowBounds();
  if (parent_ && align_ != alNone) parent_->Realign();
  Realign();
}

void TWinControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (v && parent_ && parent_->HandleAllocated()) Handle();
  if (hwnd_) ::ShowWindow(hwnd_, v ? SW_SHOW : SW_HIDE);
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TWinControl::SetEnabled(bool v) {
  enabled_ = v;
  if (hwnd_) ::EnableWindow(hwnd_, v);
}

void TWinControl::SetCaption(const std::string& v) {
  caption_ = v;
  if (hwnd_) ::SetWindowTextA(hwnd_, v.c_str());
  Invalidate();
}

std::string TWinControl::Text() {
  if (!hwnd_) return caption_;
  int n = ::GetWindowTextLengthA(hwnd_);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = ::GetWindowTextA(hwnd_, &s[0], n + 1);
  s.resize(static_cast<size_t>(std::max(0, n)));
  return s;
}

void TWinControl::Invalidate() {
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void TWinControl::FontChanged() {
  if (hwnd_) ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), TRUE);
  for (TControl* c : controls_)
    if (c->parentFont_) c->CopyParentFont();
  Invalidate();
}

void TWinControl::SetFocus() {
  HWND h = Handle();
  // A window that is not active yet gets the focus when it becomes active.
  HWND root = ::GetAncestor(h, GA_ROOT);
  if (auto* form = dynamic_cast<TForm*>(FromHandle(root)); form && form != this) form->focused_ = h;
  if (root && ::GetActiveWindow() == root && ::IsWindowVisible(h)) ::SetFocus(h);
}

void TWinControl::Realign() {
  if (aligning_ || IsLoading()) return;
  aligning_ = true;
  RECT rc{0, 0, ClientWidth(), ClientHeight()};
  if (auto* panel = dynamic_cast<TCustomPanel*>(this)) {
    int inset = panel->BorderWidth() + (panel->BevelOuter() != bvNone ? 1 : 0) +
                (panel->BevelInner() != bvNone ? 1 : 0);
    ::InflateRect(&rc, -inset, -inset);
  }
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : controls_) {
      if (c->align_ != a || !c->visible_) continue;
      int w = c->width_, h = c->height_;
      switch (a) {
        case alTop:
          c->SetBounds(rc.left, rc.top, rc.right - rc.left, h);
          rc.top += h;
          break;
        case alBottom:
          c->SetBounds(rc.left, rc.bottom - h, rc.right - rc.left, h);
          rc.bottom -= h;
          break;
        case alLeft:
          c->SetBounds(rc.left, rc.top, w, rc.bottom - rc.top);
          rc.left += w;
          break;
        case alRight:
          c->SetBounds(rc.right - w, rc.top, w, rc.bottom - rc.top);
          rc.right -= w;
          break;
        default:
          c->SetBounds(rc.left, rc.top, std::max(0L, rc.right - rc.left), std::max(0L, rc.bottom - rc.top));
      }
      if (rc.bottom < rc.top) rc.bottom = rc.top;
      if (rc.right < rc.left) rc.right = rc.left;
    }
  }
  aligning_ = false;
}

// --- panels, labels, images, bevels ---------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner) {
  width_ = 185; height_ = 41;
}

namespace {
void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  TGdiObject a(::CreateSolidBrush(topLeft)), b(::CreateSolidBrush(bottomRight));
  RECT t{r.left, r.top, r.right, r.top + 1}, l{r.left, r.top, r.left + 1, r.bottom};
  RECT bo{r.left, r.bottom - 1, r.right, r.bottom}, ri{r.right - 1, r.top, r.right, r.bottom};
  ::FillRect(dc, &t, static_cast<HBRUSH>(a.Get()));
  ::FillRect(dc, &l, static_cast<HBRUSH>(a.Get()));
  ::FillRect(dc, &bo, static_cast<HBRUSH>(b.Get()));
  ::FillRect(dc, &ri, static_cast<HBRUSH>(b.Get()));
  ::InflateRect(&r, -1, -1);
}
void Bevel(HDC dc, RECT& r, TBevelCut cut) {
  if (cut == bvNone) return;
  COLORREF hi = ::GetSysColor(COLOR_BTNHIGHLIGHT), sh = ::GetSysColor(COLOR_BTNSHADOW);
  if (cut == bvLowered) Frame3D(dc, r, sh, hi);
  else if (cut == bvRaised) Frame3D(dc, r, hi, sh);
  else ::InflateRect(&r, -1, -1);
}
}  // namespace

void TCustomPanel::Paint(TCanvas& canvas) {
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  canvas.FillRect(r, EffectiveColor());
  Bevel(canvas.Handle(), r, bevelOuter_);
  Bevel(canvas.Handle(), r, bevelInner_);
  if (!caption_.empty()) {
    HGDIOBJ old = ::SelectObject(canvas.Handle(), font_->Handle());
    ::SetBkMode(canvas.Handle(), TRANSPARENT);
    ::SetTextColor(canvas.Handle(), ColorToRGB(font_->Color()));
    UINT fmt = DT_SINGLELINE | DT_VCENTER |
               (alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT);
    ::DrawTextA(canvas.Handle(), caption_.c_str(), -1, &r, fmt);
    ::SelectObject(canvas.Handle(), old);
  }
}

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {
  width_ = 65; height_ = 13; parentColor_ = true;
}

void TLabel::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClass = "STATIC";
  p.Style &= ~(WS_CLIPCHILDREN | WS_TABSTOP);
  p.Style |= SS_NOTIFY | (showAccelChar_ ? 0 : SS_NOPREFIX);
  if (alignment_ == taCenter) p.Style |= SS_CENTER;
  else if (alignment_ == taRightJustify) p.Style |= SS_RIGHT;
  else p.Style |= wordWrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

void TLabel::Restyle() {
  if (!hwnd_) return;
  TCreateParams p;
  CreateParams(p);
  ::SetWindowLongPtrA(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(p.Style));
  Invalidate();
}

void TLabel::SetWordWrap(bool v) { wordWrap_ = v; Restyle(); AdjustSize(); }
void TLabel::SetAlignment(TAlignment v) { alignment_ = v; Restyle(); }
void TLabel::SetShowAccelChar(bool v) { showAccelChar_ = v; Restyle(); AdjustSize(); }

void TLabel::CommandNotify(WORD code) {
  if (code == STN_CLICKED && OnClick) OnClick(this);
}

void TLabel::SetCaption(const std::string& v) {
  TWinControl::SetCaption(v);
  AdjustSize();
}

void TLabel::Loaded() {
  TWinControl::Loaded();
  AdjustSize();
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::AdjustSize() {
  if (!autoSize_ || IsLoading()) return;
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font_->Handle());
  RECT r{0, 0, wordWrap_ ? width_ : 0, 0};
  ::DrawTextA(dc, caption_.empty() ? " " : caption_.c_str(), -1, &r,
              DT_CALCRECT | (showAccelChar_ ? 0 : DT_NOPREFIX) | (wordWrap_ ? DT_WORDBREAK : 0));
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  SetBounds(left_, top_, wordWrap_ ? width_ : r.right, r.bottom);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  width_ = 105; height_ = 105;
  picture_.OnChange = [this] { Invalidate(); };
}

void TImage::Paint(TCanvas& canvas) {
  TGraphic* g = picture_.Graphic();
  if (!g || g->Empty()) return;
  RECT r;
  if (stretch_) {
    r = RECT{0, 0, width_, height_};
  } else {
    int x = center_ ? (width_ - g->Width()) / 2 : 0;
    int y = center_ ? (height_ - g->Height()) / 2 : 0;
    r = RECT{x, y, x + g->Width(), y + g->Height()};
  }
  canvas.DrawPixels(g->Image(), r, (transparent_ || g->Transparent()) && g->Image().HasAlpha);
}

void TBevel::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  COLORREF hi = ::GetSysColor(COLOR_BTNHIGHLIGHT), sh = ::GetSysColor(COLOR_BTNSHADOW);
  COLORREF first = style_ == bsLowered ? sh : hi, second = style_ == bsLowered ? hi : sh;
  RECT r{0, 0, width_, height_};
  auto line = [&](RECT a, COLORREF c) {
    TGdiObject b(::CreateSolidBrush(c));
    ::FillRect(dc, &a, static_cast<HBRUSH>(b.Get()));
  };
  switch (shape_) {
    case bsBox: Frame3D(dc, r, first, second); break;
    case bsFrame: Frame3D(dc, r, first, second); Frame3D(dc, r, second, first); break;
    case bsTopLine: line({0, 0, width_, 1}, first); line({0, 1, width_, 2}, second); break;
    case bsBottomLine: line({0, height_ - 2, width_, height_ - 1}, first); line({0, height_ - 1, width_, height_}, second); break;
    case bsLeftLine: line({0, 0, 1, height_}, first); line({1, 0, 2, height_}, second); break;
    case bsRightLine: line({width_ - 2, 0, width_ - 1, height_}, first); line({width_ - 1, 0, width_, height_}, second); break;
    case bsSpacer: break;
  }
}

// --- buttons and edits --------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  width_ = 75; height_ = 25; tabStop_ = true;
}

void TButton::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClass = "BUTTON";
  p.Style = (p.Style & ~WS_CLIPCHILDREN) | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TButton::Click() {
  if (TForm* f = ParentForm(); f && modalResult_ != mrNone) f->SetModalResult(modalResult_);
  if (OnClick) OnClick(this);
}

void TButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

void TBitBtn::SetKind(TBitBtnKind k) {
  kind_ = k;
  static const TModalResult results[] = {mrNone, mrOk, mrCancel, mrNone, mrYes, mrNo,
                                         mrNone, mrAbort, mrRetry, mrIgnore, mrAll};
  static const char* const captions[] = {"", "OK", "Cancel", "&Help", "&Yes", "&No",
                                         "&Close", "Abort", "&Retry", "&Ignore", "&All"};
  if (k != bkCustom) {
    modalResult_ = results[k];
    if (caption_.empty()) SetCaption(captions[k]);
    if (k == bkOK || k == bkYes) default_ = true;
    if (k == bkCancel || k == bkNo) cancel_ = true;
  }
}

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  width_ = 121; height_ = 21; tabStop_ = true; color_ = clWindow;
}

void TEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WinClass = "EDIT";
  p.Style = (p.Style & ~WS_CLIPCHILDREN) | ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0);
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

std::string TEdit::Text() { return TWinControl::Text(); }

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (hwnd_) ::SendMessageA(hwnd_, EM_SETREADONLY, v, 0);
}

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE) {
    caption_ = TWinControl::Text();
    if (OnChange) OnChange(this);
  }
}

// --- TForm ---------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  SetClientWidth(320);
  SetClientHeight(240);
}

TForm::TMethod& TForm::MethodSlot(const std::string& name) {
  for (auto& m : methods_)
    if (SameText(m.Name, name)) return m;
  methods_.push_back(TMethod{name, {}, {}, {}});
  return methods_.back();
}

const TForm::TMethod* TForm::FindMethod(const std::string& name) const {
  for (const auto& m : methods_)
    if (SameText(m.Name, name)) return &m;
  return nullptr;
}

void TForm::DefineMethod(const std::string& name, TNotifyEvent method) { MethodSlot(name).Notify = std::move(method); }
void TForm::DefineMethod(const std::string& name, TCloseEvent method) { MethodSlot(name).Close = std::move(method); }
void TForm::DefineMethod(const std::string& name, TAllowEvent method) { MethodSlot(name).Allow = std::move(method); }

TNotifyEvent TForm::MethodAddress(const std::string& name) const {
  const TMethod* m = FindMethod(name);
  return m ? m->Notify : TNotifyEvent();
}
TCloseEvent TForm::CloseMethodAddress(const std::string& name) const {
  const TMethod* m = FindMethod(name);
  return m ? m->Close : TCloseEvent();
}
TAllowEvent TForm::AllowMethodAddress(const std::string& name) const {
  const TMethod* m = FindMethod(name);
  return m ? m->Allow : TAllowEvent();
}

TForm::~TForm() {
  DoDestroy();
  BeginDestroy();
  DestroyHandle();
}

void TForm::DoDestroy() {
  TNotifyEvent handler = std::move(OnDestroy);
  OnDestroy = nullptr;
  if (handler) handler(this);
}

void TForm::SetBorderStyle(TFormBorderStyle v) {
  borderStyle_ = v;
  SetClientWidth(clientWidth_);
  SetClientHeight(clientHeight_);
}

void TForm::SetBorderIcons(unsigned v) {
  borderIcons_ = v;
  if (hwnd_) {
    ::SetWindowLongPtrA(hwnd_, GWL_STYLE,
                        (::GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_VISIBLE) | FormStyle(borderStyle_, v));
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
}

void TForm::Loaded() {
  TWinControl::Loaded();
  Realign();
  if (OnCreate) OnCreate(this);
}

namespace {
SIZE FrameExtra(TFormBorderStyle b) {
  RECT r{0, 0, 100, 100};
  ::AdjustWindowRectEx(&r, FormStyle(b), FALSE, FormExStyle(b));
  return SIZE{(r.right - r.left) - 100, (r.bottom - r.top) - 100};
}
}  // namespace

void TForm::SetClientWidth(int v) {
  clientWidth_ = v;
  SIZE e = FrameExtra(borderStyle_);
  width_ = v + e.cx;
  UpdateWindowBounds();
  Realign();
}

void TForm::SetClientHeight(int v) {
  clientHeight_ = v;
  SIZE e = FrameExtra(borderStyle_);
  height_ = v + e.cy;
  UpdateWindowBounds();
  Realign();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  SIZE e = FrameExtra(borderStyle_);
  left_ = left; top_ = top; width_ = width; height_ = height;
  clientWidth_ = std::max(0, width - static_cast<int>(e.cx));
  clientHeight_ = std::max(0, height - static_cast<int>(e.cy));
  UpdateWindowBounds();
  Realign();
}

void TForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  // Client size decides; the frame follows the border style.
  SIZE e = FrameExtra(borderStyle_);
  width_ = clientWidth_ + e.cx;
  height_ = clientHeight_ + e.cy;
  ApplyPosition();
  p.Style = FormStyle(borderStyle_, borderIcons_);
  p.ExStyle = FormExStyle(borderStyle_);
  p.X = left_; p.Y = top_; p.W = width_; p.H = height_;
  p.Parent = nullptr;
}

void TForm::ApplyPosition() {
  if (position_ == poScreenCenter || position_ == poDesktopCenter || position_ == poMainFormCenter ||
      position_ == poOwnerFormCenter) {
    left_ = (::GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
    top_ = (::GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
  }
}

void TForm::HandleCreated() {
  RECT rc;
  ::GetClientRect(hwnd_, &rc);
  clientWidth_ = rc.right;
  clientHeight_ = rc.bottom;
}

void TForm::SetVisible(bool v) {
  if (v == visible_ && (!v || hwnd_)) return;
  visible_ = v;
  if (v) {
    Handle();
    if (OnShow) OnShow(this);
    ::ShowWindow(hwnd_, SW_SHOW);
    // Activated while still hidden, the focus could not go to its control yet.
    if (focused_ && ::GetActiveWindow() == hwnd_ && ::IsChild(hwnd_, focused_) && ::IsWindowVisible(focused_))
      ::SetFocus(focused_);
    ::UpdateWindow(hwnd_);
  } else if (hwnd_) {
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void TForm::Show() {
  SetVisible(true);
  ::SetForegroundWindow(hwnd_);
}

void TForm::Close() {
  if (closing_) return;
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = caHide;
  closing_ = true;
  if (OnClose) OnClose(this, action);
  closing_ = false;
  if (action == caNone) return;
  if (modal_) {
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
  } else {
    Hide();
    // Closing the main form ends the application.
    if (Application && Application->MainForm() == this) Application->Terminate();
  }
}

namespace {
BOOL CALLBACK DisableOtherWindow(HWND h, LPARAM lp) {
  auto* p = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(lp);
  if (h != p->first && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
    ::EnableWindow(h, FALSE);
    p->second->push_back(h);
  }
  return TRUE;
}
}  // namespace

TModalResult TForm::ShowModal() {
  if (modal_ || (visible_ && hwnd_ && ::IsWindowVisible(hwnd_)))
    throw Exception("Cannot make a visible window modal");
  // Disable the other top-level windows of this thread while the form runs.
  std::vector<HWND> disabled;
  Handle();
  std::pair<HWND, std::vector<HWND>*> enumState(hwnd_, &disabled);
  ::EnumThreadWindows(::GetCurrentThreadId(), DisableOtherWindow,
      reinterpret_cast<LPARAM>(&enumState));
  modal_ = true;
  modalResult_ = mrNone;
  bool quit = false;
  int quitCode = 0;
  try {
    Show();
    while (modalResult_ == mrNone) {
      MSG m;
      if (!::GetMessageA(&m, nullptr, 0, 0)) {
        quit = true;
        quitCode = static_cast<int>(m.wParam);
        modalResult_ = mrCancel;
        break;
      }
      if (!::IsDialogMessageA(hwnd_, &m)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
      }
      if (modalResult_ != mrNone) {
        // A close request can still be refused.
        bool canClose = true;
        if (OnCloseQuery) OnCloseQuery(this, canClose);
        if (!canClose) modalResult_ = mrNone;
      }
    }
  } catch (...) {
    for (HWND h : disabled) ::EnableWindow(h, TRUE);
    modal_ = false;
    Hide();
    throw;
  }
  for (HWND h : disabled) ::EnableWindow(h, TRUE);
  modal_ = false;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  Hide();
  if (quit) ::PostQuitMessage(quitCode);
  return modalResult_;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = ::GetFocus();
        if (f && ::IsChild(hwnd_, f)) focused_ = f;
      }
      if (LOWORD(wp) != WA_INACTIVE && OnActivate) OnActivate(this);
      if (LOWORD(wp) != WA_INACTIVE && focused_ && ::IsChild(hwnd_, focused_) && ::IsWindowVisible(focused_) &&
          ::IsWindowEnabled(focused_)) {
        // As a dialog: the control that had the focus gets it back.
        ::SetFocus(focused_);
        return 0;
      }
      break;
    case WM_SIZE:
      clientWidth_ = LOWORD(lp);
      clientHeight_ = HIWORD(lp);
      Realign();
      if (OnResize) OnResize(this);
      return 0;
    case WM_MOVE: {
      RECT r;
      ::GetWindowRect(hwnd_, &r);
      left_ = r.left; top_ = r.top;
      break;
    }
    case WM_COMMAND:
      if (!lp && (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK)) {
        // Enter and Escape from the dialog keys go to the default and cancel
        // buttons, also those of nested panels and pages.
        if (TButton* b = FindDialogButton(LOWORD(wp) == IDOK)) {
          b->Click();
          return 0;
        }
        if (LOWORD(wp) == IDCANCEL) Close();
        return 0;
      }
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}
