#include "info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "command_line.h"
#include "exit_status.h"
#include "host/catalog.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::fx {
namespace {

const char* FormatName(host::PictureFormat format) {
  switch (format) {
    case host::PictureFormat::Bmp: return "BMP";
    case host::PictureFormat::Png: return "PNG";
    case host::PictureFormat::Jpeg: return "JPEG";
    case host::PictureFormat::Tiff: return "TIFF";
    case host::PictureFormat::Webp: return "WebP";
    case host::PictureFormat::Gif: return "GIF";
  }
  return "?";
}

const char* CompressionName(uint32_t compression) {
  switch (compression) {
    case BI_RGB: return "BI_RGB";
    case kBitfields: return "BI_BITFIELDS";
    default: return "not one the library reads";
  }
}

void PrintHeader(const BITMAPINFOHEADER& h) {
  std::printf("header:       biSize %u, biWidth %d, biHeight %d (%s), biPlanes %u, biBitCount %u\n",
              static_cast<unsigned>(h.biSize), static_cast<int>(h.biWidth), static_cast<int>(h.biHeight),
              h.biHeight < 0 ? "top-down" : "bottom-up", static_cast<unsigned>(h.biPlanes),
              static_cast<unsigned>(h.biBitCount));
  std::printf("              biCompression %u (%s), biSizeImage %u, biClrUsed %u, biClrImportant %u\n",
              static_cast<unsigned>(h.biCompression), CompressionName(h.biCompression),
              static_cast<unsigned>(h.biSizeImage), static_cast<unsigned>(h.biClrUsed),
              static_cast<unsigned>(h.biClrImportant));
}

// One line per family: how many of its effects take the picture, and what the others need.
void PrintFamilies(int depth, bool wellFormed) {
  const auto& catalog = host::EffectCatalog();
  std::vector<std::string> families;
  for (const host::EffectInfo& effect : catalog) {
    if (effect.result == host::ResultKind::NoImage) continue;
    if (std::find(families.begin(), families.end(), effect.family) == families.end())
      families.emplace_back(effect.family);
  }
  std::printf("accepted by:\n");
  for (const std::string& family : families) {
    size_t total = 0;
    std::vector<std::string> refusing;
    for (const host::EffectInfo& effect : catalog) {
      if (family != effect.family || effect.result == host::ResultKind::NoImage) continue;
      ++total;
      const bool takes = std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end();
      if (!takes || !wellFormed) refusing.emplace_back(effect.name + (" (" + DescribeDepths(effect.depths) + ")"));
    }
    std::string verdict = refusing.empty() ? "yes, every effect"
                          : refusing.size() == total
                              ? "no"
                              : std::to_string(total - refusing.size()) + " of " + std::to_string(total) + " effects";
    std::printf("  %-11s %s", family.c_str(), verdict.c_str());
    if (!refusing.empty() && wellFormed) {
      std::printf(refusing.size() == total ? ": " : "; not ");
      for (size_t i = 0; i < refusing.size(); ++i) std::printf("%s%s", i ? ", " : "", refusing[i].c_str());
    }
    std::printf("\n");
  }
}

}  // namespace

int RunInfo(const std::string& path) {
  host::Picture picture = host::ReadPicture(path);
  if (!picture.bitmap) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", path.c_str(), picture.error.c_str());
    return kFileError;
  }
  auto* data = static_cast<uint8_t*>(GlobalLock(picture.bitmap));
  const size_t size = GlobalSize(picture.bitmap);
  const BITMAPINFOHEADER header = ReadInfoHeader(data);
  const std::optional<DibView> view = ViewDib(DibBlock{data, size});
  std::printf("file:         %s (%s%s)\n", path.c_str(), FormatName(picture.format),
              picture.format == host::PictureFormat::Bmp ? "" : ", read as a 32-bit picture");
  std::printf(
      "picture:      %d x %d, %u bits, %s\n", static_cast<int>(header.biWidth),
      static_cast<int>(header.biHeight < 0 ? -header.biHeight : header.biHeight),
      static_cast<unsigned>(header.biBitCount),
      picture.hasAlpha ? "alpha channel (the record carries its transparency in the alpha bytes)" : "no alpha channel");
  PrintHeader(header);
  const uint64_t colors = DibColorCount(header);
  std::printf("colour table: %llu entries (%llu bytes)", static_cast<unsigned long long>(colors),
              static_cast<unsigned long long>(4 * colors));
  if (DibMaskBytes(header) != 0 && size >= kInfoHeaderBytes + 4 * colors + 12) {
    uint32_t masks[3];
    std::memcpy(masks, data + kInfoHeaderBytes + 4 * colors, sizeof masks);
    std::printf(", masks red %08X green %08X blue %08X", masks[0], masks[1], masks[2]);
  }
  std::printf("\n");
  if (!view) std::printf("malformed:    the header claims more than the bitmap holds; no effect takes it\n");
  PrintFamilies(header.biBitCount, view.has_value());
  GlobalUnlock(picture.bitmap);
  GlobalFree(picture.bitmap);
  return kDone;
}

}  // namespace ormi::fx
