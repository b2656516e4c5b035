// The gradient backdrop: bands read back from a rendered bitmap, and the
// main-backdrop rules of Tag.
#include <gtest/gtest.h>

#include "cmp_TBackDrop.h"

namespace {

// Renders the backdrop's gradient into a 32-bit DIB and reads pixels back.
class TRendered {
public:
  TRendered(const TBackdrop& b, int w, int h) : w_(w) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc_ = ::CreateCompatibleDC(nullptr);
    bmp_ = ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    ::SelectObject(dc_, bmp_);
    for (int i = 0; i < w * h; ++i) bits_[i] = 0x123456;  // marks unpainted pixels
    TCanvas canvas(dc_);
    b.PaintGradient(canvas, w, h);
    ::GdiFlush();
  }
  ~TRendered() { ::DeleteDC(dc_); ::DeleteObject(bmp_); }
  // 0x00BBGGRR like a TColor.
  TColor At(int x, int y) const {
    std::uint32_t p = bits_[y * w_ + x];
    return static_cast<TColor>(((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF));
  }

private:
  int w_;
  HDC dc_;
  HBITMAP bmp_;
  std::uint32_t* bits_ = nullptr;
};

}  // namespace

TEST(Backdrop, DefaultsAreClientAlignedBlueToBlackUpward) {
  TBackdrop b(nullptr);
  EXPECT_EQ(b.Align(), alClient);
  EXPECT_EQ(b.Direction(), bdUp);
  EXPECT_EQ(b.StartColor(), 16711680);
  EXPECT_EQ(b.EndColor(), 0);
}

TEST(Backdrop, BandsRunFromFirstToSecondColourAlongTheAxis) {
  TBackdrop b(nullptr);
  b.SetStartColor(RGB(0, 0, 0));
  b.SetEndColor(RGB(255, 255, 255));
  b.SetDirection(bdUp);
  {
    TRendered r(b, 3, 512);  // two rows a band
    EXPECT_EQ(r.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(r.At(2, 1), RGB(0, 0, 0));
    EXPECT_EQ(r.At(1, 2), RGB(1, 1, 1));
    EXPECT_EQ(r.At(1, 256), RGB(128, 128, 128));
    EXPECT_EQ(r.At(1, 511), RGB(255, 255, 255));
  }
  b.SetDirection(bdDown);
  {
    TRendered r(b, 3, 256);
    EXPECT_EQ(r.At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(r.At(0, 255), RGB(0, 0, 0));
    EXPECT_EQ(r.At(0, 100), RGB(155, 155, 155));
  }
  b.SetDirection(bdRight);
  {
    TRendered r(b, 256, 2);
    EXPECT_EQ(r.At(0, 1), RGB(255, 255, 255));
    EXPECT_EQ(r.At(255, 1), RGB(0, 0, 0));
  }
  b.SetDirection(bdLeft);
  {
    TRendered r(b, 256, 2);
    EXPECT_EQ(r.At(10, 0), RGB(10, 10, 10));
  }
}

TEST(Backdrop, MirroredGradientsMeetInTheMiddle) {
  TBackdrop b(nullptr);
  b.SetStartColor(RGB(0, 0, 254));
  b.SetEndColor(RGB(254, 0, 0));
  b.SetDirection(bdHorzIn);
  {
    TRendered r(b, 2, 256);
    EXPECT_EQ(r.At(0, 0), RGB(0, 0, 254));
    EXPECT_EQ(r.At(0, 255), RGB(0, 0, 254));
    EXPECT_EQ(r.At(0, 127), RGB(254, 0, 0));
    EXPECT_EQ(r.At(0, 128), RGB(254, 0, 0));
    EXPECT_EQ(r.At(0, 1), r.At(0, 254));
  }
  b.SetDirection(bdVertOut);
  {
    TRendered r(b, 256, 2);
    EXPECT_EQ(r.At(0, 0), RGB(254, 0, 0));
    EXPECT_EQ(r.At(255, 0), RGB(254, 0, 0));
    EXPECT_EQ(r.At(128, 0), RGB(0, 0, 254));
  }
}

TEST(Backdrop, SmallAndFlatAreasAreFilledCompletely) {
  TBackdrop b(nullptr);
  b.SetStartColor(13816530);
  b.SetEndColor(13816530);
  b.SetDirection(bdDown);
  TRendered flat(b, 5, 98);
  for (int y = 0; y < 98; ++y) EXPECT_EQ(flat.At(4, y), 13816530) << y;

  b.SetEndColor(14540253);
  for (TDirection d : {bdUp, bdVertIn, bdHorzOut}) {
    b.SetDirection(d);
    TRendered small(b, 7, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_NE(small.At(x, y), 0x563412) << d << ' ' << x << ',' << y;
  }
}

TEST(Backdrop, SystemColoursAreResolved) {
  TBackdrop b(nullptr);
  b.SetStartColor(clBtnFace);
  b.SetEndColor(clBtnFace);
  TRendered r(b, 2, 2);
  EXPECT_EQ(static_cast<COLORREF>(r.At(1, 1)), ::GetSysColor(COLOR_BTNFACE));
}

TEST(Backdrop, OnlyOneBackdropIsTheMainOne) {
  TBackdrop first(nullptr), second(nullptr);
  EXPECT_EQ(TBackdrop::MainBackdrop(), nullptr);
  first.SetTag(-1);
  EXPECT_EQ(TBackdrop::MainBackdrop(), &first);
  second.SetTag(-1);
  EXPECT_EQ(TBackdrop::MainBackdrop(), &second);
  EXPECT_EQ(first.Tag(), 0);
  second.SetTag(5);
  EXPECT_EQ(TBackdrop::MainBackdrop(), nullptr);
  {
    TBackdrop third(nullptr);
    third.SetTag(-1);
    EXPECT_EQ(TBackdrop::MainBackdrop(), &third);
  }
  EXPECT_EQ(TBackdrop::MainBackdrop(), nullptr);
}

TEST(Backdrop, AssignCopiesGradientAndAlignment) {
  TBackdrop a(nullptr), b(nullptr);
  a.SetDirection(bdVertOut);
  a.SetStartColor(1);
  a.SetEndColor(2);
  a.SetAlign(alTop);
  a.SetTag(7);
  b.Assign(a);
  EXPECT_EQ(b.Direction(), bdVertOut);
  EXPECT_EQ(b.StartColor(), 1);
  EXPECT_EQ(b.EndColor(), 2);
  EXPECT_EQ(b.Align(), alTop);
  EXPECT_EQ(b.Tag(), 0);
}
