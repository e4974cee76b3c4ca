// The picture file readers of the host (BMP in every variant, PNG, JPEG, TIFF, WebP, GIF) on any
// bytes, strict and lenient, and
// the writers on whatever they read: a BMP written and read again must give the same pixels at
// the same depth, and a TIFF (lossless) or lossless WebP the same colours and alpha.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/format_codecs.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace {

using namespace ormi;
using namespace ormi::host;

// Small enough that every input is quick; the size checks themselves are the same at any limit.
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;
constexpr uint64_t kMaxRoundTripPixels = uint64_t{1} << 14;

[[noreturn]] void Finding(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "ormi-fuzz: %s %s\n", what, detail.c_str());
  std::abort();
}

// The pixels as 32-bit BGRA rows, bottom-up, with the width and height in front.
std::vector<uint8_t> Pixels(HGLOBAL bitmap) {
  HGLOBAL bitmap32 = ConvertBitmapDepth(bitmap, 32);
  if (!bitmap32) Finding("a decoded bitmap does not convert");
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap32));
  std::vector<uint8_t> pixels(data + 4, data + 12);
  pixels.insert(pixels.end(), data + kInfoHeaderBytes, data + GlobalSize(bitmap32));
  GlobalUnlock(bitmap32);
  GlobalFree(bitmap32);
  return pixels;
}

uint16_t Depth(HGLOBAL bitmap) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  const uint16_t depth = ReadInfoHeader(data).biBitCount;
  GlobalUnlock(bitmap);
  return depth;
}

void OpaqueAlpha(std::vector<uint8_t>& pixels) {
  for (size_t i = 8 + 3; i < pixels.size(); i += 4) pixels[i] = 255;
}

void CheckBmpRoundTrip(HGLOBAL bitmap, bool alpha) {
  std::vector<uint8_t> file;
  std::string error;
  if (!EncodeBmp(bitmap, file, error, alpha)) Finding("a decoded BMP does not encode:", error);
  BitmapResult again = DecodeBmp(file.data(), file.size(), kMaxPixels);
  if (!again.bitmap) Finding("a written BMP does not decode:", again.error);
  if (Depth(again.bitmap) != Depth(bitmap) || Pixels(again.bitmap) != Pixels(bitmap)) {
    Finding("a BMP written and read again has other pixels");
  }
  GlobalFree(again.bitmap);
}

// TIFF without JPEG and lossless WebP keep every colour, and the alpha when they are told to.
void CheckLosslessRoundTrip(HGLOBAL bitmap, bool alpha, uint8_t choice) {
  std::vector<uint8_t> expected = Pixels(bitmap);
  if (!alpha) OpaqueAlpha(expected);
  std::vector<uint8_t> file;
  std::string error;
  bool written;
  auto* header = static_cast<uint8_t*>(GlobalLock(bitmap));
  const BITMAPINFOHEADER info = ReadInfoHeader(header);
  GlobalUnlock(bitmap);
  const bool webp = choice % 4 == 3 && info.biWidth <= 16383 && info.biHeight <= 16383;
  if (webp) {
    HGLOBAL bitmap32 = ConvertBitmapDepth(bitmap, 32);
    written = EncodeWebp(bitmap32, alpha, true, choice % 101, file, error);
    GlobalFree(bitmap32);
  } else {
    written = EncodeTiff(bitmap, alpha, static_cast<TiffCompression>(choice % 3), file, error);
  }
  if (!written) Finding("a decoded picture does not encode:", error);
  Picture again =
      webp ? DecodeWebp(file.data(), file.size(), kMaxPixels) : DecodeTiff(file.data(), file.size(), kMaxPixels);
  if (!again.bitmap) Finding("a written picture does not decode:", again.error);
  if (Pixels(again.bitmap) != expected)
    Finding(webp ? "WebP round trip changed pixels" : "TIFF round trip changed pixels");
  GlobalFree(again.bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  // The last byte chooses lenient reading of damaged PNG and JPEG data, and the round trip.
  Picture picture = DecodePicture(data, size, {.maxPixels = kMaxPixels, .lenient = (data[size - 1] & 0x80) != 0});
  if (!picture.bitmap) {
    if (picture.error.empty()) Finding("a refusal without a reason");
    return 0;
  }
  auto* header = static_cast<uint8_t*>(GlobalLock(picture.bitmap));
  const BITMAPINFOHEADER info = ReadInfoHeader(header);
  GlobalUnlock(picture.bitmap);
  if (info.biWidth <= 0 || info.biHeight <= 0 || uint64_t(info.biWidth) * uint64_t(info.biHeight) > kMaxPixels) {
    Finding("a decoded picture outside the limits");
  }
  if (uint64_t(info.biWidth) * uint64_t(info.biHeight) <= kMaxRoundTripPixels) {
    if (data[0] == 'B') {
      CheckBmpRoundTrip(picture.bitmap, false);
      CheckBmpRoundTrip(picture.bitmap, true);
    }
    CheckLosslessRoundTrip(picture.bitmap, picture.hasAlpha, data[size - 1]);
  }
  GlobalFree(picture.bitmap);
  return 0;
}
