// Seeds of the picture harness: small valid files of every format and variant the readers take.
#include "fuzz/picture_seeds.h"

#include <gif_lib.h>

#include <cstring>
#include <fstream>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/format_codecs.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::fuzz {
namespace {

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A 5 x 3 bitmap with varied pixels; 16 bits get a two-entry table and 5-6-5 masks behind it.
HGLOBAL Sample(int depth, bool grey = false) {
  const size_t colors = depth <= 8 ? size_t{1} << depth : depth == 16 ? 2 : 0;
  // The three masks take the room of three more table entries.
  host::NewBitmap out = host::AllocateBitmap(5, 3, depth, depth == 16 ? colors + 3 : colors);
  for (size_t i = 0; i < colors; ++i) {
    const uint32_t c = grey ? static_cast<uint32_t>(i) * 0x010101u : static_cast<uint32_t>(i * 0x3F1D07u) & 0xFFFFFF;
    StorePixel<uint32_t>(out.data + kInfoHeaderBytes + 4 * i, c);
  }
  if (depth == 16) {
    BITMAPINFOHEADER info = ReadInfoHeader(out.data);
    info.biCompression = BI_BITFIELDS;
    info.biClrUsed = static_cast<DWORD>(colors);
    std::memcpy(out.data, &info, sizeof info);
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(out.data + kInfoHeaderBytes + 4 * colors, masks, 12);
  }
  for (size_t b = 0; b < out.stride * 3; ++b) out.row(0)[b] = static_cast<uint8_t>(b * 37 + depth);
  return out.Unlock();
}

std::vector<uint8_t> Gif(bool transparent, bool interlaced) {
  std::vector<uint8_t> file;
  auto write = [](GifFileType* gif, const GifByteType* bytes, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
  };
  int error = 0;
  GifFileType* gif = EGifOpen(&file, write, &error);
  if (!gif) return {};
  GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {10, 20, 250}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 6, 4, 2, 0, map);
  if (transparent) {
    GraphicsControlBlock control{0, false, 0, 2};
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
  }
  EGifPutImageDesc(gif, 0, 0, 6, 4, interlaced, nullptr);
  for (int y = 0; y < 4; ++y) {
    GifPixelType line[6];
    for (int x = 0; x < 6; ++x) line[x] = static_cast<GifPixelType>((x + 3 * y) % 4);
    EGifPutLine(gif, line, 6);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return file;
}

// A hand-made BMP: 40-byte header of `compression` with a table of 4 entries, or an OS/2 header.
std::vector<uint8_t> HandMade(uint32_t infoSize, int depth, uint32_t compression, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file(14 + infoSize, 0);
  file[0] = 'B', file[1] = 'M', file[14] = static_cast<uint8_t>(infoSize);
  const size_t entry = infoSize == 12 ? 3 : 4;
  if (infoSize == 12) {
    file[18] = 5, file[20] = 3, file[22] = 1, file[24] = static_cast<uint8_t>(depth);
  } else {
    file[18] = 5, file[22] = 3, file[26] = 1, file[28] = static_cast<uint8_t>(depth),
    file[30] = static_cast<uint8_t>(compression);
    file[46] = 4;
  }
  for (int i = 0; i < 4; ++i) file.insert(file.end(), entry, static_cast<uint8_t>(i * 60));
  file[10] = static_cast<uint8_t>(file.size());
  file.insert(file.end(), rows.begin(), rows.end());
  return file;
}

}  // namespace

void WritePictureSeeds(const std::string& dir) {
  std::vector<uint8_t> file;
  std::string error;
  for (const int depth : {1, 4, 8, 16, 24, 32}) {
    HGLOBAL bitmap = Sample(depth);
    for (const bool alpha : {false, true}) {
      if (host::EncodeBmp(bitmap, file, error, alpha))
        Save(dir + "/bmp-" + std::to_string(depth) + (alpha ? "-alpha" : ""), file);
    }
    GlobalFree(bitmap);
  }
  Save(dir + "/bmp-rle8", HandMade(40, 8, 1, {3, 2, 2, 1, 0, 0, 0, 3, 3, 0, 1, 0, 0, 2, 1, 1, 1, 3, 0, 1}));
  Save(dir + "/bmp-rle4", HandMade(40, 4, 2, {5, 0x12, 0, 0, 0, 5, 0x31, 0x23, 0x10, 0, 0, 2, 0, 1, 2, 0x33, 0, 1}));
  Save(dir + "/bmp-os2", HandMade(12, 4, 0, {0x12, 0x30, 0, 0, 0x21, 0x20, 0, 0, 0x33, 0x11, 0, 0}));
  const struct {
    const char* name;
    int depth;
    bool grey, alpha;
  } kinds[] = {{"grey", 8, true, false},
               {"palette", 8, false, false},
               {"palette4", 4, false, false},
               {"rgb", 24, false, false},
               {"rgba", 32, false, true}};
  const char* compressions[] = {"none", "lzw", "deflate", "jpeg"};
  for (const auto& kind : kinds) {
    HGLOBAL bitmap = Sample(kind.depth, kind.grey);
    for (int c = 0; c < 4; ++c) {
      if (host::EncodeTiff(bitmap, kind.alpha, static_cast<host::TiffCompression>(c), file, error)) {
        Save(dir + "/tiff-" + kind.name + "-" + compressions[c], file);
      }
    }
    if (kind.depth == 32) {
      for (const bool alpha : {false, true}) {
        if (host::EncodePng(bitmap, alpha, file, error)) Save(dir + "/png" + (alpha ? "-alpha" : ""), file);
      }
      for (const bool fullChroma : {false, true}) {
        if (host::EncodeJpeg(bitmap, 75, file, error, fullChroma))
          Save(dir + "/jpeg" + (fullChroma ? "-444" : ""), file);
      }
      for (const bool lossless : {false, true}) {
        for (const bool alpha : {false, true}) {
          if (host::EncodeWebp(bitmap, alpha, lossless, 50, file, error)) {
            Save(dir + "/webp-" + (lossless ? "lossless" : "lossy") + (alpha ? "-alpha" : ""), file);
          }
        }
      }
    }
    GlobalFree(bitmap);
  }
  Save(dir + "/gif", Gif(false, false));
  Save(dir + "/gif-transparent-interlaced", Gif(true, true));
}

}  // namespace ormi::fuzz
