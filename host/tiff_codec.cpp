// TIFF through libtiff, on memory in both directions (TIFFClientOpenExt), so that files are read
// from bytes already checked and written through the same path as every other format.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/format_codecs.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

// A file image in memory: read from `data`, or written into `out` (which may also be read back).
struct TiffMemory {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t>* out = nullptr;
  uint64_t pos = 0;
  std::string error;
};

TiffMemory& Memory(thandle_t handle) { return *static_cast<TiffMemory*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t n) {
  TiffMemory& m = Memory(handle);
  const uint8_t* base = m.out ? m.out->data() : m.data;
  const uint64_t size = m.out ? m.out->size() : m.size;
  if (n < 0 || m.pos >= size) return 0;
  const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(n), size - m.pos);
  std::memcpy(buffer, base + m.pos, count);
  m.pos += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t n) {
  TiffMemory& m = Memory(handle);
  if (!m.out || n < 0) return -1;
  const uint64_t end = m.pos + static_cast<uint64_t>(n);
  if (end > m.out->size()) m.out->resize(end);
  std::memcpy(m.out->data() + m.pos, buffer, static_cast<size_t>(n));
  m.pos = end;
  return n;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  TiffMemory& m = Memory(handle);
  const uint64_t size = m.out ? m.out->size() : m.size;
  const uint64_t base = whence == SEEK_CUR ? m.pos : whence == SEEK_END ? size : 0;
  // A relative move backwards arrives as a wrapped unsigned offset; the sum undoes it, and
  // anything that lands before the start or absurdly far out is an error.
  const uint64_t target = base + offset;
  if (target > (uint64_t{1} << 40)) return static_cast<toff_t>(-1);
  m.pos = target;
  return m.pos;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) {
  TiffMemory& m = Memory(handle);
  return m.out ? m.out->size() : m.size;
}
int MapProc(thandle_t handle, void** base, toff_t* size) {
  TiffMemory& m = Memory(handle);
  if (m.out) return 0;
  *base = const_cast<uint8_t*>(m.data);
  *size = m.size;
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int KeepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto& m = *static_cast<TiffMemory*>(user);
  if (m.error.empty()) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    m.error = std::string(module ? module : "TIFF") + ": " + text;
  }
  return 1;
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr Open(TiffMemory& memory, const char* mode) {
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), &TIFFOpenOptionsFree);
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &KeepError, &memory);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &IgnoreWarning, &memory);
  // No single buffer of libtiff's may outgrow what the largest allowed picture needs.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t{1} << 31);
  return TiffPtr(TIFFClientOpenExt("memory", mode, &memory, &ReadProc, &WriteProc, &SeekProc, &CloseProc, &SizeProc,
                                   &MapProc, &UnmapProc, options.get()));
}

Picture Refuse(const TiffMemory& memory, const char* fallback) {
  return {nullptr, false, memory.error.empty() ? fallback : memory.error};
}

// What the scanline reader handles; everything else goes through libtiff's RGBA reader.
struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  bool alpha = false;
};

bool ReadsByScanline(TIFF* tif, Layout& l) {
  if (TIFFIsTiled(tif) || l.planar != PLANARCONFIG_CONTIG) return false;
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  if (l.photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG && l.samples == 3 && l.bits == 8) {
    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // libjpeg converts to RGB
    l.photometric = PHOTOMETRIC_RGB;
  }
  switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      return (l.samples == 1 && (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8)) ||
             (l.samples == 2 && l.bits == 8);
    case PHOTOMETRIC_PALETTE:
      return l.samples == 1 && (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8) &&
             TIFFGetField(tif, TIFFTAG_COLORMAP, &l.red, &l.green, &l.blue);
    case PHOTOMETRIC_RGB: return (l.samples == 3 || l.samples == 4) && l.bits == 8;
    default: return false;
  }
}

// Samples of any bit width below 8, most significant first.
uint32_t SampleAt(const uint8_t* line, uint32_t index, uint16_t bits) {
  if (bits == 8) return line[index];
  const uint32_t bit = index * bits;
  return (line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

bool ReadScanlines(TIFF* tif, const Layout& l, uint8_t* bgra) {
  std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize64(tif)));
  const uint32_t maxSample = (1u << l.bits) - 1;
  for (uint32_t y = 0; y < l.height; ++y) {
    if (line.size() < static_cast<size_t>(l.width) * l.samples * l.bits / 8 ||
        TIFFReadScanline(tif, line.data(), y) < 0) {
      return false;
    }
    uint8_t* out = bgra + size_t{4} * l.width * y;
    for (uint32_t x = 0; x < l.width; ++x, out += 4) {
      const uint8_t* p = line.data() + size_t{l.samples} * x;
      uint32_t r, g, b, a = 255;
      if (l.photometric == PHOTOMETRIC_RGB) {
        r = p[0], g = p[1], b = p[2];
        if (l.samples == 4) a = p[3];
      } else if (l.photometric == PHOTOMETRIC_PALETTE) {
        const uint32_t i = SampleAt(line.data(), x, l.bits);
        r = (l.red[i] + 128u) / 257, g = (l.green[i] + 128u) / 257, b = (l.blue[i] + 128u) / 257;
      } else {
        uint32_t v = SampleAt(line.data(), x * l.samples, l.bits) * 255 / maxSample;
        if (l.photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
        r = g = b = v;
        if (l.samples == 2) a = p[1];
      }
      out[0] = static_cast<uint8_t>(b), out[1] = static_cast<uint8_t>(g), out[2] = static_cast<uint8_t>(r);
      out[3] = static_cast<uint8_t>(a);
    }
  }
  return true;
}

}  // namespace

Picture DecodeTiff(const uint8_t* data, size_t size, uint64_t maxPixels) {
  TiffMemory memory{data, size};
  TiffPtr tif = Open(memory, "r");
  if (!tif) return Refuse(memory, "not a TIFF file");
  Layout l;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &l.width) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &l.height) || l.width == 0 || l.height == 0 ||
      l.width > INT32_MAX || l.height > INT32_MAX) {
    return Refuse(memory, "bad picture size");
  }
  if (uint64_t{l.width} * l.height > maxPixels) {
    return {nullptr, false,
            "picture too large: " + std::to_string(l.width) + " x " + std::to_string(l.height) + " pixels"};
  }
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &l.samples);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &l.photometric);
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  l.alpha = TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0 &&
            (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA);
  std::vector<uint8_t> bgra;
  try {
    bgra.resize(size_t{4} * l.width * l.height);
  } catch (const std::bad_alloc&) {
    return {nullptr, false, "out of memory"};
  }
  if (ReadsByScanline(tif.get(), l)) {
    if (!ReadScanlines(tif.get(), l, bgra.data())) return Refuse(memory, "corrupt TIFF data");
  } else {
    // libtiff's reader: 0xAABBGGRR words, rows from the top.
    static_assert(sizeof(uint32_t) == 4);
    std::vector<uint32_t> raster(size_t{l.width} * l.height);
    if (!TIFFReadRGBAImageOriented(tif.get(), l.width, l.height, raster.data(), ORIENTATION_TOPLEFT, 1)) {
      return Refuse(memory, "unsupported or corrupt TIFF data");
    }
    for (size_t i = 0; i < raster.size(); ++i) {
      const uint32_t p = raster[i];
      bgra[4 * i] = static_cast<uint8_t>(p >> 16), bgra[4 * i + 1] = static_cast<uint8_t>(p >> 8);
      bgra[4 * i + 2] = static_cast<uint8_t>(p), bgra[4 * i + 3] = static_cast<uint8_t>(p >> 24);
    }
  }
  if (!memory.error.empty()) return Refuse(memory, "corrupt TIFF data");
  HGLOBAL bitmap = BitmapFromTopDownBgra(bgra.data(), static_cast<int>(l.width), static_cast<int>(l.height));
  if (!bitmap) return {nullptr, false, "out of memory"};
  return {bitmap, l.alpha, {}, PictureFormat::Tiff};
}

namespace {

// Whether an 8-bit palette is the grey ramp, entry i being (i, i, i).
bool GreyRamp(const DibView& view) {
  if (view.bitCount != 8 || view.colorCount != 256) return false;
  for (uint32_t i = 0; i < 256; ++i) {
    if ((LoadPixel<uint32_t>(view.colorTable() + 4 * i) & 0xFFFFFF) != i * 0x010101u) return false;
  }
  return true;
}

uint32_t IndexAt(const DibView& view, const uint8_t* row, uint32_t x) {
  switch (view.bitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    default: return row[x];
  }
}

}  // namespace

bool EncodeTiff(HGLOBAL bitmap, bool withAlpha, TiffCompression compression, std::vector<uint8_t>& file,
                std::string& error) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  const std::optional<DibView> view = data ? ViewDib(DibBlock{data, GlobalSize(bitmap)}) : std::nullopt;
  if (!view || view->width <= 0 || view->rows == 0) {
    if (data) GlobalUnlock(bitmap);
    error = "TIFF needs a picture of at least one pixel";
    return false;
  }
  const bool indexed = view->bitCount <= 8 && view->colorCount > 0 && view->colorCount <= 256;
  const bool grey = indexed && GreyRamp(*view);
  const bool palette = indexed && !grey && compression != TiffCompression::Jpeg;
  HGLOBAL converted = grey || palette ? nullptr : ConvertBitmapDepth(bitmap, 32);
  const std::optional<DibView> rgb =
      converted ? ViewDib(DibBlock{static_cast<uint8_t*>(GlobalLock(converted)), GlobalSize(converted)}) : std::nullopt;
  const bool alpha = withAlpha && view->bitCount == 32;
  const uint16_t samples = grey || palette ? 1 : alpha ? 4 : 3;
  const uint32_t width = static_cast<uint32_t>(view->width);

  file.clear();
  TiffMemory memory{nullptr, 0, &file};
  bool ok = grey || palette || rgb;
  if (ok) {
    TiffPtr tif = Open(memory, "w");
    ok = tif != nullptr;
    if (ok) {
      TIFF* t = tif.get();
      static const uint16_t kCompression[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                                              COMPRESSION_JPEG};
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, view->rows);
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
      TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
      TIFFSetField(t, TIFFTAG_COMPRESSION, kCompression[static_cast<int>(compression)]);
      if (compression == TiffCompression::Jpeg) TIFFSetField(t, TIFFTAG_JPEGQUALITY, 92);
      // JPEG stores colour as YCbCr, as other writers do, at full resolution (colour edges stay
      // sharp); libjpeg converts the RGB rows.
      const bool ycbcr = compression == TiffCompression::Jpeg && samples == 3;
      TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                   grey      ? PHOTOMETRIC_MINISBLACK
                   : palette ? PHOTOMETRIC_PALETTE
                   : ycbcr   ? PHOTOMETRIC_YCBCR
                             : PHOTOMETRIC_RGB);
      if (ycbcr) {
        TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      }
      if (alpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
      }
      if (palette) {
        std::vector<uint16_t> map(3 * 256, 0);
        for (size_t i = 0; i < view->colorCount; ++i) {
          const uint32_t c = LoadPixel<uint32_t>(view->colorTable() + 4 * i);
          map[i] = static_cast<uint16_t>((c >> 16 & 255) * 257);
          map[256 + i] = static_cast<uint16_t>((c >> 8 & 255) * 257);
          map[512 + i] = static_cast<uint16_t>((c & 255) * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
      }
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
      std::vector<uint8_t> line(size_t{samples} * width);
      for (uint32_t y = 0; ok && y < view->rows; ++y) {
        if (grey || palette) {
          const uint8_t* row = view->row(view->topDown() ? y : view->rows - 1 - y);
          for (uint32_t x = 0; x < width; ++x) line[x] = static_cast<uint8_t>(IndexAt(*view, row, x));
        } else {
          const uint8_t* row = rgb->row(rgb->rows - 1 - y);  // conversions are bottom-up
          for (uint32_t x = 0; x < width; ++x) {
            uint8_t* out = line.data() + size_t{samples} * x;
            out[0] = row[4 * x + 2], out[1] = row[4 * x + 1], out[2] = row[4 * x];
            if (alpha) out[3] = row[4 * x + 3];
          }
        }
        ok = TIFFWriteScanline(t, line.data(), y, 0) == 1;
      }
      ok = ok && TIFFWriteDirectory(t) == 1;
    }
  }
  if (converted) {
    GlobalUnlock(converted);
    GlobalFree(converted);
  }
  GlobalUnlock(bitmap);
  ok = ok && memory.error.empty();
  if (!ok) error = memory.error.empty() ? "cannot encode TIFF" : memory.error;
  return ok;
}

}  // namespace ormi::host
