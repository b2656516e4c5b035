#include "cmp_TBackDrop.h"

#include "ControlReg.h"

namespace {
TBackdrop* gMainBackdrop = nullptr;

// The gradient in bands along one axis; mirrored, from both edges inward.
void GradientFill(HDC dc, int width, int height, COLORREF c1, COLORREF c2, bool alongHeight,
                  bool mirrored) {
  int r1 = GetRValue(c1), g1 = GetGValue(c1), b1 = GetBValue(c1);
  int dr = GetRValue(c2) - r1, dg = GetGValue(c2) - g1, db = GetBValue(c2) - b1;
  int d = mirrored ? 127 : 255;
  int extent = alongHeight ? height : width;
  auto band = [&](int from, int to, HBRUSH brush) {
    if (to <= from) return;
    RECT r = alongHeight ? RECT{0, from, width, to} : RECT{from, 0, to, height};
    ::FillRect(dc, &r, brush);
  };
  for (int n = 0; n <= d; ++n) {
    COLORREF c = RGB(r1 + ::MulDiv(dr, n, d), g1 + ::MulDiv(dg, n, d), b1 + ::MulDiv(db, n, d));
    TGdiObject brush(::CreateSolidBrush(c));
    auto* hb = static_cast<HBRUSH>(brush.Get());
    band(::MulDiv(n, extent, 256), ::MulDiv(n + 1, extent, 256), hb);
    if (mirrored) band(::MulDiv(255 - n, extent, 256), ::MulDiv(256 - n, extent, 256), hb);
  }
}
}  // namespace

TBackdrop::TBackdrop(TComponent* owner) : TCustomPanel(owner) {
  align_ = alClient;
  bevelOuter_ = bvNone;
  if (IsDesigning() && !gMainBackdrop) SetTag(-1);
}

TBackdrop::~TBackdrop() {
  BeginDestroy();
  if (gMainBackdrop == this) gMainBackdrop = nullptr;
}

TBackdrop* TBackdrop::MainBackdrop() { return gMainBackdrop; }

void TBackdrop::SetTag(long tag) {
  if (tag == Tag()) return;
  TComponent::SetTag(tag);
  if (tag == -1) {
    TBackdrop* previous = gMainBackdrop;
    gMainBackdrop = this;
    if (previous && previous != this) previous->SetTag(0);
  } else if (gMainBackdrop == this) {
    gMainBackdrop = nullptr;
  }
}

void TBackdrop::Repaint() {
  if (HandleAllocated()) {
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    ::UpdateWindow(hwnd_);
  }
}

void TBackdrop::SetDirection(TDirection v) {
  if (v == direction_) return;
  direction_ = v;
  Repaint();
}
void TBackdrop::SetStartColor(TColor v) {
  if (v == startColor_) return;
  startColor_ = v;
  Repaint();
}
void TBackdrop::SetEndColor(TColor v) {
  if (v == endColor_) return;
  endColor_ = v;
  Repaint();
}

void TBackdrop::Assign(const TPersistent& source) {
  if (auto* b = dynamic_cast<const TBackdrop*>(&source)) {
    direction_ = b->direction_;
    endColor_ = b->endColor_;
    startColor_ = b->startColor_;
    SetAlign(b->align_);
    Invalidate();
    return;
  }
  TCustomPanel::Assign(source);
}

void TBackdrop::PaintGradient(TCanvas& canvas, int width, int height) const {
  COLORREF s = ColorToRGB(startColor_), e = ColorToRGB(endColor_);
  bool reversed = direction_ == bdDown || direction_ == bdRight || direction_ == bdHorzOut ||
                  direction_ == bdVertOut;
  bool alongHeight = direction_ == bdUp || direction_ == bdDown || direction_ == bdHorzIn ||
                     direction_ == bdHorzOut;
  bool mirrored = direction_ >= bdHorzIn;
  GradientFill(canvas.Handle(), width, height, reversed ? e : s, reversed ? s : e, alongHeight, mirrored);
}

void TBackdrop::Paint(TCanvas& canvas) { PaintGradient(canvas, ClientWidth(), ClientHeight()); }

// ------------------------------------------------------------ streaming

void RegisterBackdropClass() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterControlClasses();
  TClassInfo& c = RegisterClassInfo("TBackdrop", "TCustomPanel",
                                    [](TComponent* owner) -> TComponent* { return new TBackdrop(owner); });
  c.Enum<TBackdrop>("Direction", {"bdUp", "bdDown", "bdLeft", "bdRight", "bdHorzIn", "bdHorzOut", "bdVertIn", "bdVertOut"},
                    [](TBackdrop& o, int v) { o.SetDirection(static_cast<TDirection>(v)); });
  c.Color<TBackdrop>("StartColor", [](TBackdrop& o, std::uint32_t v) { o.SetStartColor(static_cast<TColor>(v)); });
  c.Color<TBackdrop>("EndColor", [](TBackdrop& o, std::uint32_t v) { o.SetEndColor(static_cast<TColor>(v)); });
  c.Integer<TBackdrop>("Tag", [](TBackdrop& o, int v) { o.SetTag(v); });
}
