// The picture decoders against real, truncated and corrupted files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "ImageCodecs.h"

namespace {

std::vector<std::uint8_t> Load(const std::string& name) {
  const char* dir = std::getenv("TW_TEST_DATA");
  std::ifstream f(std::string(dir ? dir : "tests/data") + "/pictures/" + name, std::ios::binary);
  EXPECT_TRUE(f.good()) << name;
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void ExpectRedWithBlueCorner(const TDecodedImage& img) {
  ASSERT_EQ(img.Width, 4);
  ASSERT_EQ(img.Height, 3);
  EXPECT_EQ(img.PixelRGB(1, 1), 0xFF0000u);
  EXPECT_EQ(img.PixelRGB(3, 2), 0x0000FFu);
}

// Every prefix of a valid file either decodes or raises EInvalidGraphic.
void ExpectTruncationsRejected(const std::vector<std::uint8_t>& full) {
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::vector<std::uint8_t> part(full.begin(), full.begin() + n);
    try {
      DecodeAnyImage(part.data(), part.size());
    } catch (const EInvalidGraphic&) {
    }
  }
}

// Flipping each byte in turn never crashes and never raises anything else.
void ExpectCorruptionsHandled(const std::vector<std::uint8_t>& full) {
  for (std::size_t i = 0; i < full.size(); ++i) {
    for (std::uint8_t v : {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(full[i] ^ 0x55)}) {
      auto bad = full;
      bad[i] = v;
      try {
        DecodeAnyImage(bad.data(), bad.size());
      } catch (const EInvalidGraphic&) {
      }
    }
  }
}

}  // namespace

TEST(PictureDecoders, DecodeRealFilesOfEachFormat) {
  auto png = Load("red4x3.png");
  TDecodedImage p = DecodeAnyImage(png.data(), png.size());
  ExpectRedWithBlueCorner(p);
  EXPECT_TRUE(p.HasAlpha);
  EXPECT_EQ(p.PixelAlpha(0, 0), 0);
  EXPECT_EQ(p.PixelAlpha(1, 0), 255);

  auto bmp = Load("red4x3.bmp");
  TDecodedImage b = DecodeAnyImage(bmp.data(), bmp.size());
  ExpectRedWithBlueCorner(b);
  EXPECT_FALSE(b.HasAlpha);

  auto jpg = Load("green16x8.jpg");
  TDecodedImage j = DecodeAnyImage(jpg.data(), jpg.size());
  EXPECT_EQ(j.Width, 16);
  EXPECT_EQ(j.Height, 8);
  std::uint32_t c = j.PixelRGB(5, 5);
  EXPECT_LT((c >> 16) & 0xFF, 8u);
  EXPECT_GT((c >> 8) & 0xFF, 247u);
}

TEST(PictureDecoders, TruncatedAndCorruptFilesRaiseInvalidGraphic) {
  for (const char* name : {"red4x3.png", "red4x3.bmp", "green16x8.jpg"}) {
    auto full = Load(name);
    ExpectTruncationsRejected(full);
    ExpectCorruptionsHandled(full);
  }
  auto png = Load("red4x3.png");
  png.resize(png.size() - 20);
  EXPECT_THROW(DecodePng(png.data(), png.size()), EInvalidGraphic);
  auto bmp = Load("red4x3.bmp");
  bmp.resize(60);
  EXPECT_THROW(DecodeBmp(bmp.data(), bmp.size()), EInvalidGraphic);
  const std::uint8_t junk[] = {1, 2, 3, 4, 5};
  EXPECT_THROW(DecodeAnyImage(junk, sizeof junk), EInvalidGraphic);
}

TEST(PictureDecoders, HugeDimensionsAreRefusedBeforeAllocating) {
  auto bmp = Load("red4x3.bmp");
  bmp[18] = 0xFF; bmp[19] = 0xFF; bmp[20] = 0xFF; bmp[21] = 0x7F;  // width 2^31-1
  EXPECT_THROW(DecodeBmp(bmp.data(), bmp.size()), EInvalidGraphic);
  auto png = Load("red4x3.png");
  png[16] = 0x00; png[17] = 0x01; png[18] = 0x00; png[19] = 0x00;  // width 65536 (CRC now wrong too)
  EXPECT_THROW(DecodePng(png.data(), png.size()), EInvalidGraphic);
}

TEST(PictureDecoders, EncodedBitmapDecodesToTheSamePixels) {
  auto png = Load("red4x3.png");
  TDecodedImage p = DecodePng(png.data(), png.size());
  auto bmp = EncodeBmp32(p);
  TDecodedImage back = DecodeBmp(bmp.data(), bmp.size());
  ExpectRedWithBlueCorner(back);
  EXPECT_EQ(back.Pixels.size(), p.Pixels.size());
}

// Bit-field bitmaps with every info header size from 40 to 56 bytes, bare and
// in a file: the colour masks sit after a header too short to hold them and
// inside a longer one. Every shorter prefix is refused without reading past it.
TEST(PictureDecoders, BitFieldMasksAreReadWithinTheBufferForEveryHeaderSize) {
  auto put32 = [](std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
  };
  for (std::uint32_t hsize = 40; hsize <= 56; ++hsize) {
    for (bool file : {false, true}) {
      SCOPED_TRACE(testing::Message() << "header " << hsize << (file ? " in a file" : " bare"));
      const std::size_t base = file ? 14 : 0;
      const std::size_t masksAt = hsize < 52 ? base + hsize : base + 40;
      const std::size_t bitsAt = hsize < 52 ? masksAt + 12 : base + hsize;
      std::vector<std::uint8_t> bmp(bitsAt + 4, 0);
      if (file) {
        bmp[0] = 'B'; bmp[1] = 'M';
        put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
        put32(bmp, 10, static_cast<std::uint32_t>(bitsAt));
      }
      put32(bmp, base, hsize);
      put32(bmp, base + 4, 1);                 // 1 x 1
      put32(bmp, base + 8, 1);
      bmp[base + 12] = 1;                      // planes
      bmp[base + 14] = 32;                     // bits per pixel
      put32(bmp, base + 16, 3);                // BI_BITFIELDS
      put32(bmp, masksAt, 0x000000FF);         // red in the low byte
      put32(bmp, masksAt + 4, 0x0000FF00);
      put32(bmp, masksAt + 8, 0x00FF0000);
      put32(bmp, bitsAt, 0x00332211);
      TDecodedImage img = DecodeBmp(bmp.data(), bmp.size());
      EXPECT_EQ(img.PixelRGB(0, 0), 0x112233u);
      for (std::size_t n = 0; n < bmp.size(); ++n) {
        std::vector<std::uint8_t> part(bmp.begin(), bmp.begin() + n);
        EXPECT_THROW(DecodeBmp(part.data(), part.size()), EInvalidGraphic) << n << " bytes";
      }
    }
  }
}
