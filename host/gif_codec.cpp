// GIF reading through giflib: the first frame, placed on the logical screen.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/format_codecs.h"

namespace ormi::host {
namespace {

struct GifMemory {
  const uint8_t* data;
  size_t size, pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int n) {
  auto& m = *static_cast<GifMemory*>(gif->UserData);
  const size_t count = std::min(static_cast<size_t>(std::max(n, 0)), m.size - m.pos);
  std::memcpy(buffer, m.data + m.pos, count);
  m.pos += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int ignored;
    DGifCloseFile(gif, &ignored);
  }
};

Picture GifError(int code) {
  const char* text = GifErrorString(code);
  return {nullptr, false, std::string("GIF: ") + (text ? text : "corrupt data")};
}

// Skips or reads extension blocks until the first image; its graphic control block names the
// transparent index.
bool ReachFirstImage(GifFileType* gif, int& transparent) {
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
    if (type == TERMINATE_RECORD_TYPE) {
      gif->Error = D_GIF_ERR_NO_IMAG_DSCR;
      return false;
    }
    if (type != EXTENSION_RECORD_TYPE) continue;
    int code;
    GifByteType* block;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
      GraphicsControlBlock control;
      DGifExtensionToGCB(block[0], block + 1, &control);
      transparent = control.TransparentColor;
    }
    while (block) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
  }
}

}  // namespace

Picture DecodeGif(const uint8_t* data, size_t size, uint64_t maxPixels) {
  GifMemory memory{data, size};
  int code = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&memory, &ReadMemory, &code));
  if (!gif) return GifError(code);
  int transparent = NO_TRANSPARENT_COLOR;
  if (!ReachFirstImage(gif.get(), transparent)) return GifError(gif->Error);
  const GifImageDesc& frame = gif->Image;
  // A screen of no size, or one the frame does not fit, takes the frame's extent.
  const int width = std::max(gif->SWidth, frame.Left + frame.Width);
  const int height = std::max(gif->SHeight, frame.Top + frame.Height);
  if (frame.Width <= 0 || frame.Height <= 0) return {nullptr, false, "bad picture size"};
  if (uint64_t(width) * uint64_t(height) > maxPixels) {
    return {nullptr, false, "picture too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels"};
  }
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!map) return {nullptr, false, "GIF without a colour map"};

  std::vector<uint8_t> bgra(size_t{4} * width * height, 0);  // outside the frame: alpha 0
  std::vector<GifPixelType> line(frame.Width);
  // Interlaced frames store every 8th row from 0, then from 4, every 4th from 2, every 2nd from 1.
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  const int passes = frame.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
    for (int y = start; y < frame.Height; y += step) {
      if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) return GifError(gif->Error);
      uint8_t* out = bgra.data() + 4 * (size_t{1} * width * (frame.Top + y) + frame.Left);
      for (int x = 0; x < frame.Width; ++x, out += 4) {
        const int index = line[x];
        if (index < map->ColorCount) {
          const GifColorType& c = map->Colors[index];
          out[0] = c.Blue, out[1] = c.Green, out[2] = c.Red;
        }
        out[3] = index == transparent ? 0 : 255;
      }
    }
  }
  HGLOBAL bitmap = BitmapFromTopDownBgra(bgra.data(), width, height);
  if (!bitmap) return {nullptr, false, "out of memory"};
  const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width == width && frame.Height == height;
  return {bitmap, transparent != NO_TRANSPARENT_COLOR || !covers, {}, PictureFormat::Gif};
}

}  // namespace ormi::host
