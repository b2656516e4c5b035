// Decoders of the picture formats (BMP/DIB, PNG, JPEG) into 32-bit
// top-down BGRA pixels. No windows.h: the native tests reach them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SysUtils.h"

TW_EXCEPTION(EInvalidGraphic, Exception);

// Largest width or height accepted, and largest pixel count.
constexpr int kMaxImageSide = 16384;
constexpr long long kMaxImagePixels = 32LL * 1024 * 1024;

struct TDecodedImage {
  int Width = 0;
  int Height = 0;
  bool HasAlpha = false;           // pixels carry a meaningful alpha channel
  std::vector<std::uint8_t> Pixels;  // B, G, R, A per pixel, rows top-down

  std::uint32_t PixelRGB(int x, int y) const;  // 0xRRGGBB
  std::uint8_t PixelAlpha(int x, int y) const;
};

// A bitmap file ("BM" header) or a bare DIB (BITMAPINFOHEADER first).
TDecodedImage DecodeBmp(const std::uint8_t* data, std::size_t size);
TDecodedImage DecodePng(const std::uint8_t* data, std::size_t size);
TDecodedImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
// The format the leading bytes of picture data announce: the PNG signature,
// a JPEG start-of-image marker or a bitmap file's "BM".
enum class TPictureFormat { pfUnknown, pfBitmap, pfPng, pfJpeg };
TPictureFormat PictureFormatOf(const std::uint8_t* data, std::size_t size);
// Chooses the decoder by the leading bytes; raises EInvalidGraphic when
// none recognises them.
TDecodedImage DecodeAnyImage(const std::uint8_t* data, std::size_t size);

// Encodes 32-bit pixels as a bottom-up 32-bpp bitmap file (for saving).
std::vector<std::uint8_t> EncodeBmp32(const TDecodedImage& image);
