#include "Graphics.h"

#include <cstring>
#include <iterator>

#include "ByteOrder.h"
#include "ClassReg.h"

// The colour identifiers a stream may name.
namespace {
struct TColorIdents {
  TColorIdents() {
    const struct { const char* Name; TColor Value; } idents[] = {
        {"clScrollBar", clScrollBar}, {"clBackground", clBackground}, {"clActiveCaption", clActiveCaption},
        {"clWindow", clWindow}, {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace},
        {"clBtnShadow", clBtnShadow}, {"clBtnText", clBtnText}, {"clBtnHighlight", clBtnHighlight},
        {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText}, {"clGrayText", clGrayText},
        {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
        {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
        {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
        {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
        {"clNone", clNone}};
    for (const auto& i : idents) RegisterColorIdent(i.Name, static_cast<std::uint32_t>(i.Value));
  }
} colorIdents;
}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return ::GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

// --- TFont ---------------------------------------------------------------

TFont::TFont() {}

void TFont::Assign(const TPersistent& source) {
  if (auto* f = dynamic_cast<const TFont*>(&source)) {
    name_ = f->name_; height_ = f->height_; style_ = f->style_;
    color_ = f->color_; charset_ = f->charset_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

int TFont::Size() const { return -::MulDiv(height_, 72, ppi_); }
void TFont::SetSize(int points) { SetHeight(-::MulDiv(points, ppi_, 72)); }

void TFont::Changed() {
  handle_.Reset();
  if (OnChange) OnChange();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = static_cast<BYTE>(charset_);
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynA(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
    handle_.Reset(::CreateFontIndirectA(&lf));
  }
  return static_cast<HFONT>(handle_.Get());
}

// --- TCanvas -------------------------------------------------------------

void TCanvas::FillRect(const RECT& r, TColor color) {
  TGdiObject brush(::CreateSolidBrush(ColorToRGB(color)));
  ::FillRect(dc_, &r, static_cast<HBRUSH>(brush.Get()));
}

void TCanvas::TextOut(int x, int y, const std::string& text, TFont& font, bool transparent) {
  HGDIOBJ old = ::SelectObject(dc_, font.Handle());
  ::SetTextColor(dc_, ColorToRGB(font.Color()));
  int oldMode = ::SetBkMode(dc_, transparent ? TRANSPARENT : OPAQUE);
  ::TextOutA(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
  ::SetBkMode(dc_, oldMode);
  ::SelectObject(dc_, old);
}

void TCanvas::DrawPixels(const TDecodedImage& image, const RECT& dest, bool useAlpha) {
  if (image.Pixels.empty()) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = image.Width;
  bi.bmiHeader.biHeight = -image.Height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (!useAlpha) {
    ::SetStretchBltMode(dc_, COLORONCOLOR);
    ::StretchDIBits(dc_, dest.left, dest.top, dw, dh, 0, 0, image.Width, image.Height,
                    image.Pixels.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  // AlphaBlend wants premultiplied colours in a DIB section.
  void* bits = nullptr;
  TGdiObject section(::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || !bits) return;
  auto* out = static_cast<std::uint8_t*>(bits);
  const std::uint8_t* in = image.Pixels.data();
  for (std::size_t i = 0; i < image.Pixels.size(); i += 4) {
    unsigned a = in[i + 3];
    out[i] = static_cast<std::uint8_t>(in[i] * a / 255);
    out[i + 1] = static_cast<std::uint8_t>(in[i + 1] * a / 255);
    out[i + 2] = static_cast<std::uint8_t>(in[i + 2] * a / 255);
    out[i + 3] = static_cast<std::uint8_t>(a);
  }
  HDC mem = ::CreateCompatibleDC(dc_);
  HGDIOBJ old = ::SelectObject(mem, section.Get());
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::AlphaBlend(dc_, dest.left, dest.top, dw, dh, mem, 0, 0, image.Width, image.Height, bf);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
}

// --- graphics ------------------------------------------------------------

void TGraphic::Draw(TCanvas& canvas, const RECT& dest) const {
  canvas.DrawPixels(image_, dest, transparent_ && image_.HasAlpha);
}

namespace {

// Bitmap and JPEG data in a stream carry a 32-bit length first; bare files
// are accepted too.
void SkipLengthPrefix(const std::uint8_t*& data, std::size_t& size, std::uint8_t sig0, std::uint8_t sig1) {
  if (size >= 2 && data[0] == sig0 && data[1] == sig1) return;
  if (size < 4) throw EInvalidGraphic("Picture data truncated");
  std::uint32_t n = GetLE32(data);
  if (n > size - 4) throw EInvalidGraphic("Picture data truncated");
  data += 4;
  size = n;
}

}  // namespace

void TBitmap::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  SkipLengthPrefix(data, size, 'B', 'M');
  image_ = DecodeBmp(data, size);
}

void TPngImage::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  image_ = DecodePng(data, size);
}

void TJPEGImage::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  SkipLengthPrefix(data, size, 0xFF, 0xD8);
  image_ = DecodeJpeg(data, size);
}

std::unique_ptr<TGraphic> CreateGraphic(const std::string& className, const std::uint8_t* data,
                                        std::size_t size) {
  std::unique_ptr<TGraphic> g;
  if (className == "TBitmap") g = std::make_unique<TBitmap>();
  else if (className == "TPngImage" || className == "TPNGObject") g = std::make_unique<TPngImage>();
  else if (className == "TJPEGImage") g = std::make_unique<TJPEGImage>();
  else throw EInvalidGraphic("Unknown picture class " + className);
  g->LoadFromBytes(data, size);
  return g;
}

// --- TPicture ------------------------------------------------------------

void TPicture::LoadFromStreamData(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size - 1 < data[0]) throw EInvalidGraphic("Picture data truncated");
  std::string cls(reinterpret_cast<const char*>(data + 1), data[0]);
  SetGraphic(CreateGraphic(cls, data + 1 + data[0], size - 1 - data[0]));
}

void TPicture::LoadFromFile(const std::string& path) {
  std::string text;
  if (!ReadFileBytes(path, text)) throw EInvalidGraphic("Cannot open picture " + path);
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  LoadFromBytes(bytes.data(), bytes.size());
}

void TPicture::LoadFromResource(HINSTANCE module, const char* name, const char* type) {
  HRSRC res = ::FindResourceA(module, name, type);
  HGLOBAL mem = res ? ::LoadResource(module, res) : nullptr;
  const void* p = mem ? ::LockResource(mem) : nullptr;
  if (!p) throw EInvalidGraphic(std::string("Picture resource not found: ") + name);
  LoadFromBytes(static_cast<const std::uint8_t*>(p), ::SizeofResource(module, res));
}

void TPicture::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<TGraphic> g;
  switch (PictureFormatOf(data, size)) {
    case TPictureFormat::pfJpeg: g = std::make_unique<TJPEGImage>(); break;
    case TPictureFormat::pfBitmap: g = std::make_unique<TBitmap>(); break;
    default: g = std::make_unique<TPngImage>(); break;  // PNG, or the PNG decoder's error
  }
  g->LoadFromBytes(data, size);
  SetGraphic(std::move(g));
}
