// Colours, fonts, a canvas over a device context, and pictures drawn from
// 32-bit device-independent bitmaps.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "ImageCodecs.h"
#include "WinHandles.h"

// A colour as stored in streams: 0x00BBGGRR, or a system colour
// 0x80000000 | COLOR_xxx (negative as a signed integer).
using TColor = std::int32_t;

constexpr TColor kSysColorBase = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = kSysColorBase | COLOR_SCROLLBAR;
constexpr TColor clBackground = kSysColorBase | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = kSysColorBase | COLOR_ACTIVECAPTION;
constexpr TColor clWindow = kSysColorBase | COLOR_WINDOW;
constexpr TColor clWindowText = kSysColorBase | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = kSysColorBase | COLOR_BTNFACE;
constexpr TColor clBtnShadow = kSysColorBase | COLOR_BTNSHADOW;
constexpr TColor clBtnText = kSysColorBase | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = kSysColorBase | COLOR_BTNHIGHLIGHT;
constexpr TColor clHighlight = kSysColorBase | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = kSysColorBase | COLOR_HIGHLIGHTTEXT;
constexpr TColor clGrayText = kSysColorBase | COLOR_GRAYTEXT;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000,
                 clOlive = 0x008080, clNavy = 0x800000, clPurple = 0x800080,
                 clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0,
                 clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;

// Resolves system colours through GetSysColor; returns a COLORREF.
COLORREF ColorToRGB(TColor color);

enum TFontStyle : unsigned char { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, unsigned char>;

class TFont : public TPersistent {
public:
  TFont();
  const char* ClassName() const override { return "TFont"; }
  void Assign(const TPersistent& source) override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; Changed(); }
  // Size in points; Height in pixels (negative: character height).
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int v) { height_ = v; Changed(); }
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v) { style_ = v; Changed(); }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { color_ = v; Changed(); }
  int Charset() const { return charset_; }
  void SetCharset(int v) { charset_ = v; Changed(); }
  int PixelsPerInch() const { return ppi_; }

  // The font object, created on first use and kept until a change.
  HFONT Handle();
  std::function<void()> OnChange;

private:
  void Changed();
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  int ppi_ = 96;
  TFontStyles style_;
  TColor color_ = clWindowText;
  int charset_ = DEFAULT_CHARSET;
  TGdiObject handle_;
};

// Drawing on a device context the canvas does not own.
class TCanvas {
public:
  explicit TCanvas(HDC dc) : dc_(dc) {}
  HDC Handle() const { return dc_; }
  void FillRect(const RECT& r, TColor color);
  void TextOut(int x, int y, const std::string& text, TFont& font, bool transparent = true);
  // Draws 32-bit top-down pixels into dest, stretched to its size; with
  // alpha the pixels are blended onto what is there.
  void DrawPixels(const TDecodedImage& image, const RECT& dest, bool useAlpha);

private:
  HDC dc_;
};

class TGraphic : public TPersistent {
public:
  int Width() const { return image_.Width; }
  int Height() const { return image_.Height; }
  bool Empty() const { return image_.Pixels.empty(); }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; }
  const TDecodedImage& Image() const { return image_; }
  virtual void LoadFromBytes(const std::uint8_t* data, std::size_t size) = 0;
  // A copy of the same class holding the same image.
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  void Draw(TCanvas& canvas, const RECT& dest) const;

protected:
  TDecodedImage image_;
  bool transparent_ = false;
};

class TBitmap : public TGraphic {
public:
  const char* ClassName() const override { return "TBitmap"; }
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(*this); }
  // Streams store a bitmap as a 32-bit length followed by the file.
  void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
};

class TPngImage : public TGraphic {
public:
  TPngImage() { transparent_ = true; }
  const char* ClassName() const override { return "TPngImage"; }
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TPngImage>(*this); }
  void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
};

class TJPEGImage : public TGraphic {
public:
  const char* ClassName() const override { return "TJPEGImage"; }
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TJPEGImage>(*this); }
  void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
};

// Builds the graphic for a class name stored before Picture.Data:
// "TBitmap", "TPngImage" or "TPNGObject" (PNG), "TJPEGImage". Raises
// EInvalidGraphic for an unknown class or undecodable bytes.
std::unique_ptr<TGraphic> CreateGraphic(const std::string& className,
                                        const std::uint8_t* data, std::size_t size);

class TPicture : public TPersistent {
public:
  const char* ClassName() const override { return "TPicture"; }
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> g) { graphic_ = std::move(g); if (OnChange) OnChange(); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  // Picture.Data of a stream: class name as a short string, then the bytes.
  void LoadFromStreamData(const std::uint8_t* data, std::size_t size);
  void LoadFromFile(const std::string& path);
  void LoadFromResource(HINSTANCE module, const char* name, const char* type);
  std::function<void()> OnChange;

private:
  // Loads a graphic of the class the leading bytes announce (PNG when they
  // announce none).
  void LoadFromBytes(const std::uint8_t* data, std::size_t size);
  std::unique_ptr<TGraphic> graphic_;
};
