#include "extras.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <ormi/win32emu_testing.h>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/image_handle.h"
#include "host/picture_file.h"

namespace ormi::fx {
namespace {

using host::AllocateBitmap;
using host::NewBitmap;

struct PictureSize {
  int width = 0, height = 0;
};

PictureSize SizeOf(HGLOBAL bitmap) {
  const void* data = bitmap ? GlobalLock(bitmap) : nullptr;
  if (!data) return {};
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  GlobalUnlock(bitmap);
  return {header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight};
}

// The sample with alpha 0 inside a centred ellipse.
HGLOBAL MakeAlphaPicture(HGLOBAL sample) {
  HGLOBAL copy = host::CopyGlobalBlock(sample);
  const PictureSize size = SizeOf(copy);
  auto* data = static_cast<uint8_t*>(copy ? GlobalLock(copy) : nullptr);
  if (!data) return copy;
  for (int r = 0; r < size.height; ++r) {
    for (int x = 0; x < size.width; ++x) {
      const double dx = (x - size.width / 2.0) / (size.width / 3.0), dy = (r - size.height / 2.0) / (size.height / 3.0);
      data[40 + 4 * (static_cast<size_t>(r) * size.width + x) + 3] = dx * dx + dy * dy < 1.0 ? 0 : 255;
    }
  }
  GlobalUnlock(copy);
  return copy;
}

// "ORMI" in a 5 x 7 font, one byte a glyph row (bit 4 is the leftmost column).
constexpr std::array<std::array<uint8_t, 7>, 4> kLetters{{
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},
}};

// 1 everywhere but the letters, scaled to the picture's width.
HGLOBAL MakeTextMask(int width, int height) {
  NewBitmap b = AllocateBitmap(width, height, 1, 2);
  if (!b.data) return nullptr;
  const int scale = std::max(1, width / 28), left = (width - 26 * scale) / 2, top = (height - 7 * scale) / 2;
  for (int r = 0; r < height; ++r) {
    const int y = height - 1 - r - top;  // from the top of the picture
    for (int x = 0; x < width; ++x) {
      const int gx = (x - left) / scale, gy = y / scale, letter = gx / 7, column = gx % 7;
      const bool ink =
          x >= left && y >= 0 && gy < 7 && letter < 4 && column < 5 && (kLetters[letter][gy] >> (4 - column)) & 1;
      if (!ink) b.row(r)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  std::memcpy(b.data + 44, "\xFF\xFF\xFF\x00", 4);
  return b.Unlock();
}

HGLOBAL MakeTile() {
  NewBitmap b = AllocateBitmap(16, 16, 32, 0);
  if (!b.data) return nullptr;
  for (int r = 0; r < 16; ++r) {
    for (int x = 0; x < 16; ++x) {
      const uint32_t pixel = ((x / 4 + r / 4) % 2) ? 0xFFE0A020u : (x == r ? 0xFFFFFFFFu : 0xFF2040C0u);
      std::memcpy(b.row(r) + 4 * x, &pixel, 4);
    }
  }
  return b.Unlock();
}

}  // namespace

ExtraPictures::~ExtraPictures() {
  for (size_t i = 0; i < handles_.size(); ++i) {
    if (kinds_[i] == host::ExtraKind::AlphaImage) {
      host::FreeImageHandle(handles_[i]);
    } else {
      GlobalFree(handles_[i]);
    }
  }
}

bool ExtraPictures::add(host::ExtraKind kind, HGLOBAL bitmap, bool hasAlpha) {
  if (!bitmap) return false;
  HGLOBAL handle = kind == host::ExtraKind::AlphaImage ? host::WrapBitmap(bitmap) : bitmap;
  if (!handle) {
    GlobalFree(bitmap);
    return false;
  }
  if (kind == host::ExtraKind::AlphaImage && hasAlpha) host::SetAlphaTransparency(handle);
  kinds_.push_back(kind);
  handles_.push_back(handle);
  return true;
}

HGLOBAL MakeTextMaskFrom(HGLOBAL picture, MaskRule rule) {
  HGLOBAL wide = host::ConvertBitmapDepth(picture, 32);
  const PictureSize size = SizeOf(wide);
  const auto* from = static_cast<const uint8_t*>(wide ? GlobalLock(wide) : nullptr);
  if (!from) return wide ? GlobalFree(wide) : nullptr;
  NewBitmap b = AllocateBitmap(size.width, size.height, 1, 2);
  if (b.data) {
    std::memcpy(b.data + 44, "\xFF\xFF\xFF\x00", 4);
    for (int r = 0; r < size.height; ++r) {
      for (int x = 0; x < size.width; ++x) {
        const uint8_t* p = from + 40 + 4 * (static_cast<size_t>(r) * size.width + x);
        const int luminance = (299 * p[2] + 587 * p[1] + 114 * p[0]) / 1000;
        if ((luminance < rule.threshold) == rule.invert) b.row(r)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  GlobalUnlock(wide);
  GlobalFree(wide);
  return b.data ? b.Unlock() : nullptr;
}

bool LoadExtras(const host::EffectInfo& effect, const std::vector<std::string>& files, ExtraPictures& extras,
                std::string& error, MaskRule rule) {
  for (size_t i = 0; i < effect.extras.size(); ++i) {
    host::Picture loaded = host::ReadPicture(files[i]);
    if (!loaded.bitmap) {
      error = files[i] + ": " + loaded.error;
      return false;
    }
    const host::ExtraKind kind = effect.extras[i].kind;
    if (kind != host::ExtraKind::AlphaImage) {
      HGLOBAL made = kind == host::ExtraKind::TextMask ? MakeTextMaskFrom(loaded.bitmap, rule)
                                                       : host::ConvertBitmapDepth(loaded.bitmap, 32);
      GlobalFree(loaded.bitmap);
      loaded.bitmap = made;
      if (!made) {
        error = files[i] + ": not a picture that can be read as a " +
                (kind == host::ExtraKind::TextMask ? "mask" : "tile") + " (malformed or out of memory)";
        return false;
      }
    }
    if (!extras.add(effect.extras[i].kind, loaded.bitmap, loaded.hasAlpha)) {
      error = files[i] + ": out of memory";
      return false;
    }
  }
  return true;
}

HGLOBAL MakeDemoExtra(host::ExtraKind kind, HGLOBAL picture) {
  const PictureSize size = SizeOf(picture);
  switch (kind) {
    case host::ExtraKind::AlphaImage: return MakeAlphaPicture(picture);
    case host::ExtraKind::TextMask: return MakeTextMask(size.width, size.height);
    case host::ExtraKind::Tile: return MakeTile();
  }
  return nullptr;
}

HGLOBAL BitmapFromMemoryDC(HDC dc, int width, int height) {
  const uint32_t* pixels = Win32EmuMemoryDCPixels(dc);
  if (!pixels) return nullptr;
  NewBitmap b = AllocateBitmap(width, height, 32, 0);
  if (!b.data) return nullptr;
  for (int r = 0; r < height; ++r) {
    const uint32_t* line = pixels + static_cast<size_t>(height - 1 - r) * width;  // the DC's row 0 is the top
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = line[x] | 0xFF000000u;
      std::memcpy(b.row(r) + 4 * x, &pixel, 4);
    }
  }
  return b.Unlock();
}

}  // namespace ormi::fx
