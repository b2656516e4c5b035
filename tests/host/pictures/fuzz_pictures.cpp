// Fuzz target of the picture decoders: any bytes, read as whatever their
// leading bytes announce (PNG, JPEG, bitmap file) and as a bare DIB, give a
// picture or EInvalidGraphic, never a fault or another exception. A picture
// has the pixels its size says, and saved as a bitmap it reads back the same.
#include <cstdlib>

#include "ImageCodecs.h"

namespace {

void Check(const TDecodedImage& img) {
  if (img.Width <= 0 || img.Height <= 0 || img.Width > kMaxImageSide || img.Height > kMaxImageSide ||
      img.Pixels.size() != static_cast<std::size_t>(img.Width) * img.Height * 4)
    std::abort();
  if (static_cast<long long>(img.Width) * img.Height > 1024 * 1024) return;
  const std::vector<std::uint8_t> saved = EncodeBmp32(img);
  const TDecodedImage back = DecodeBmp(saved.data(), saved.size());
  if (back.Width != img.Width || back.Height != img.Height) std::abort();
  for (std::size_t i = 0; i < img.Pixels.size(); i += 4)
    for (std::size_t c = 0; c < 3; ++c)
      if (back.Pixels[i + c] != img.Pixels[i + c]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    Check(DecodeAnyImage(data, size));
  } catch (const EInvalidGraphic&) {
  }
  try {
    Check(DecodeBmp(data, size));
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
