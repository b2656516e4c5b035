#include "ImageCodecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

#include "ByteOrder.h"

namespace {

void CheckDimensions(long long w, long long h, const char* kind) {
  if (w <= 0 || h <= 0)
    throw EInvalidGraphic(std::string(kind) + " image has no pixels");
  if (w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels)
    throw EInvalidGraphic(Format("%s image too large (%d x %d)", {kind, (int)w, (int)h}));
}

void Allocate(TDecodedImage& img, int w, int h) {
  img.Width = w;
  img.Height = h;
  img.Pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0);
}

int MaskShift(std::uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) { mask >>= 1; ++s; }
  return s;
}
std::uint8_t MaskValue(std::uint32_t v, std::uint32_t mask) {
  if (!mask) return 0;
  int s = MaskShift(mask);
  std::uint32_t m = mask >> s;
  return static_cast<std::uint8_t>(((v & mask) >> s) * 255u / m);
}

}  // namespace

std::uint32_t TDecodedImage::PixelRGB(int x, int y) const {
  const std::uint8_t* p = &Pixels.at((static_cast<std::size_t>(y) * Width + x) * 4);
  return (p[2] << 16) | (p[1] << 8) | p[0];
}
std::uint8_t TDecodedImage::PixelAlpha(int x, int y) const {
  return Pixels.at((static_cast<std::size_t>(y) * Width + x) * 4 + 3);
}

TDecodedImage DecodeBmp(const std::uint8_t* data, std::size_t size) {
  std::size_t base = 0;           // start of the info header
  std::size_t bitsOffset = 0;     // 0: right after the colour table
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14 + 12) throw EInvalidGraphic("Bitmap file truncated");
    bitsOffset = GetLE32(data + 10);
    base = 14;
  }
  if (size - base < 12) throw EInvalidGraphic("Bitmap header truncated");
  std::uint32_t hsize = GetLE32(data + base);
  long long w, h;
  int bpp, planes;
  std::uint32_t compression = 0, used = 0;
  std::size_t entry = 4;
  if (hsize == 12) {
    w = GetLE16(data + base + 4);
    h = static_cast<std::int16_t>(GetLE16(data + base + 6));
    planes = GetLE16(data + base + 8);
    bpp = GetLE16(data + base + 10);
    entry = 3;
  } else if (hsize >= 40 && hsize <= 1024) {
    if (size - base < hsize) throw EInvalidGraphic("Bitmap header truncated");
    w = static_cast<std::int32_t>(GetLE32(data + base + 4));
    h = static_cast<std::int32_t>(GetLE32(data + base + 8));
    planes = GetLE16(data + base + 12);
    bpp = GetLE16(data + base + 14);
    compression = GetLE32(data + base + 16);
    used = GetLE32(data + base + 32);
  } else {
    throw EInvalidGraphic("Not a bitmap");
  }
  if (planes != 1) throw EInvalidGraphic("Bitmap has an invalid plane count");
  bool topDown = h < 0;
  if (topDown) h = -h;
  CheckDimensions(w, h, "Bitmap");
  std::uint32_t rmask = 0xFF0000, gmask = 0xFF00, bmask = 0xFF, amask = 0;
  std::size_t tableStart = base + hsize;
  if (compression == 3 /*BI_BITFIELDS*/) {
    if (bpp != 16 && bpp != 32) throw EInvalidGraphic("Bitmap bit fields need 16 or 32 bits");
    if (hsize < 52) {
      // A header too short to hold the masks is followed by them.
      if (size - tableStart < 12) throw EInvalidGraphic("Bitmap header truncated");
      rmask = GetLE32(data + tableStart); gmask = GetLE32(data + tableStart + 4);
      bmask = GetLE32(data + tableStart + 8);
      tableStart += 12;
    } else {
      rmask = GetLE32(data + base + 40); gmask = GetLE32(data + base + 44); bmask = GetLE32(data + base + 48);
      if (hsize >= 56) amask = GetLE32(data + base + 52);
    }
  } else if (compression != 0) {
    throw EInvalidGraphic("Compressed bitmaps are not supported");
  } else if (bpp == 16) {
    rmask = 0x7C00; gmask = 0x3E0; bmask = 0x1F;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    throw EInvalidGraphic(Format("Bitmap has an unsupported depth of %d bits", {bpp}));
  std::vector<std::uint8_t> palette;  // BGR triples
  if (bpp <= 8) {
    std::size_t n = used ? used : (1u << bpp);
    if (n > 256) throw EInvalidGraphic("Bitmap colour table too large");
    if (tableStart > size || (size - tableStart) / entry < n)
      throw EInvalidGraphic("Bitmap colour table truncated");
    for (std::size_t i = 0; i < n; ++i)
      palette.insert(palette.end(), data + tableStart + i * entry, data + tableStart + i * entry + 3);
    tableStart += n * entry;
  }
  if (bitsOffset == 0) bitsOffset = tableStart;
  std::size_t stride = ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4;
  if (bitsOffset > size || (size - bitsOffset) / stride < static_cast<std::size_t>(h))
    throw EInvalidGraphic("Bitmap pixel data truncated");
  TDecodedImage img;
  Allocate(img, static_cast<int>(w), static_cast<int>(h));
  bool anyAlpha = false;
  for (int y = 0; y < img.Height; ++y) {
    const std::uint8_t* row = data + bitsOffset + stride * (topDown ? y : img.Height - 1 - y);
    std::uint8_t* out = &img.Pixels[static_cast<std::size_t>(y) * img.Width * 4];
    for (int x = 0; x < img.Width; ++x, out += 4) {
      std::uint8_t b = 0, g = 0, r = 0, a = 255;
      if (bpp <= 8) {
        unsigned idx;
        if (bpp == 8) idx = row[x];
        else if (bpp == 4) idx = (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15;
        else idx = (row[x / 8] >> (7 - (x & 7))) & 1;
        if (idx * 3 + 2 < palette.size()) {
          b = palette[idx * 3]; g = palette[idx * 3 + 1]; r = palette[idx * 3 + 2];
        }
      } else if (bpp == 24) {
        b = row[x * 3]; g = row[x * 3 + 1]; r = row[x * 3 + 2];
      } else {
        std::uint32_t v = bpp == 16 ? GetLE16(row + x * 2) : GetLE32(row + x * 4);
        r = MaskValue(v, rmask); g = MaskValue(v, gmask); b = MaskValue(v, bmask);
        if (amask) { a = MaskValue(v, amask); anyAlpha = anyAlpha || a != 255; }
      }
      out[0] = b; out[1] = g; out[2] = r; out[3] = a;
    }
  }
  img.HasAlpha = anyAlpha;
  return img;
}

namespace {

struct TPngSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (n > src->size - src->pos) png_error(png, "PNG data truncated");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

struct TPngError {
  char message[200];
};

void PngFail(png_structp png, png_const_charp msg) {
  auto* err = static_cast<TPngError*>(png_get_error_ptr(png));
  std::snprintf(err->message, sizeof err->message, "%s", msg);
  png_longjmp(png, 1);
}
void PngWarn(png_structp, png_const_charp) {}

}  // namespace

TDecodedImage DecodePng(const std::uint8_t* data, std::size_t size) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) throw EInvalidGraphic("Not a PNG image");
  TPngError err{};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, PngFail, PngWarn);
  if (!png) throw EInvalidGraphic("PNG decoder unavailable");
  png_infop info = png_create_info_struct(png);
  TPngSource src{data, size, 0};
  // Everything touched after setjmp lives in heap storage owned outside it.
  auto* img = new TDecodedImage;
  std::vector<png_bytep>* rows = new std::vector<png_bytep>;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    delete rows;
    delete img;
    throw EInvalidGraphic(std::string("Invalid PNG image: ") + err.message);
  }
  png_set_read_fn(png, &src, PngRead);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
  png_set_chunk_cache_max(png, 1000);
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (static_cast<long long>(w) * h > kMaxImagePixels) {
    std::snprintf(err.message, sizeof err.message, "image too large (%u x %u)", (unsigned)w, (unsigned)h);
    png_longjmp(png, 1);
  }
  int colorType = png_get_color_type(png, info);
  int depth = png_get_bit_depth(png, info);
  bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4) {
    std::snprintf(err.message, sizeof err.message, "unexpected row layout");
    png_longjmp(png, 1);
  }
  Allocate(*img, static_cast<int>(w), static_cast<int>(h));
  rows->resize(h);
  for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = &img->Pixels[static_cast<std::size_t>(y) * w * 4];
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  img->HasAlpha = alpha;
  TDecodedImage result = std::move(*img);
  delete img;
  delete rows;
  return result;
}

namespace {

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}
void JpegQuiet(j_common_ptr, int) {}

}  // namespace

TDecodedImage DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) throw EInvalidGraphic("Not a JPEG image");
  auto* cinfo = new jpeg_decompress_struct;
  auto* err = new TJpegError;
  auto* img = new TDecodedImage;
  auto* row = new std::vector<std::uint8_t>;
  cinfo->err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = JpegFail;
  err->mgr.emit_message = JpegQuiet;
  err->message[0] = 0;
  auto cleanup = [&] {
    jpeg_destroy_decompress(cinfo);
    delete cinfo; delete err; delete img; delete row;
  };
  if (setjmp(err->jump)) {
    std::string msg = err->message;
    cleanup();
    throw EInvalidGraphic("Invalid JPEG image: " + msg);
  }
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = 256L * 1024 * 1024;
  jpeg_mem_src(cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->image_width > kMaxImageSide || cinfo->image_height > kMaxImageSide ||
      static_cast<long long>(cinfo->image_width) * cinfo->image_height > kMaxImagePixels) {
    std::snprintf(err->message, sizeof err->message, "image too large (%u x %u)",
                  cinfo->image_width, cinfo->image_height);
    std::longjmp(err->jump, 1);
  }
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 3) {
    std::snprintf(err->message, sizeof err->message, "unsupported colour layout");
    std::longjmp(err->jump, 1);
  }
  Allocate(*img, static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height));
  row->resize(static_cast<std::size_t>(cinfo->output_width) * 3);
  while (cinfo->output_scanline < cinfo->output_height) {
    std::uint8_t* rp = row->data();
    std::size_t y = cinfo->output_scanline;
    jpeg_read_scanlines(cinfo, &rp, 1);
    std::uint8_t* out = &img->Pixels[y * img->Width * 4];
    for (int x = 0; x < img->Width; ++x) {
      out[x * 4] = rp[x * 3 + 2]; out[x * 4 + 1] = rp[x * 3 + 1];
      out[x * 4 + 2] = rp[x * 3]; out[x * 4 + 3] = 255;
    }
  }
  jpeg_finish_decompress(cinfo);
  TDecodedImage result = std::move(*img);
  cleanup();
  return result;
}

TPictureFormat PictureFormatOf(const std::uint8_t* data, std::size_t size) {
  if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) return TPictureFormat::pfPng;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return TPictureFormat::pfJpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return TPictureFormat::pfBitmap;
  return TPictureFormat::pfUnknown;
}

TDecodedImage DecodeAnyImage(const std::uint8_t* data, std::size_t size) {
  switch (PictureFormatOf(data, size)) {
    case TPictureFormat::pfPng: return DecodePng(data, size);
    case TPictureFormat::pfJpeg: return DecodeJpeg(data, size);
    case TPictureFormat::pfBitmap: return DecodeBmp(data, size);
    case TPictureFormat::pfUnknown: break;
  }
  throw EInvalidGraphic("Unknown picture format");
}

std::vector<std::uint8_t> EncodeBmp32(const TDecodedImage& image) {
  std::size_t bits = image.Pixels.size();
  std::vector<std::uint8_t> out(54 + bits, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  out[0] = 'B'; out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(image.Width));
  put32(22, static_cast<std::uint32_t>(image.Height));
  out[26] = 1; out[28] = 32;
  put32(34, static_cast<std::uint32_t>(bits));
  std::size_t stride = static_cast<std::size_t>(image.Width) * 4;
  for (int y = 0; y < image.Height; ++y)
    std::memcpy(&out[54 + stride * (image.Height - 1 - y)], &image.Pixels[stride * y], stride);
  return out;
}
