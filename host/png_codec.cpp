// PNG through libpng's row interface: every colour type reads as BGRA with the samples as stored
// (16 bits rounded to 8, no gamma applied, as other viewers show them), straight into the bitmap.
// libpng's errors unwind through longjmp, so the functions that call setjmp keep what they change
// in structures owned by their callers.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

struct PngTrap {
  char message[256] = {};
};

void OnError(png_structp png, png_const_charp message) {
  auto* trap = static_cast<PngTrap*>(png_get_error_ptr(png));
  std::snprintf(trap->message, sizeof trap->message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

struct MemorySource {
  const uint8_t* data;
  size_t size, at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > source->size - source->at) png_error(png, "truncated file");
  std::memcpy(out, source->data + source->at, length);
  source->at += length;
}

void WriteToVector(png_structp png, png_bytep data, size_t length) {
  auto* file = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    file->insert(file->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    grown = false;  // no exception may cross libpng's C frames
  }
  if (!grown) png_error(png, "out of memory");
}

void Flush(png_structp) {}

// The bytes of image data (IDAT chunks) in the whole file.
uint64_t ImageDataBytes(const MemorySource& source) {
  uint64_t total = 0;
  for (size_t at = 8; source.size - at >= 12;) {
    const uint8_t* chunk = source.data + at;
    const uint64_t length = uint64_t{chunk[0]} << 24 | chunk[1] << 16 | chunk[2] << 8 | chunk[3];
    if (std::memcmp(chunk + 4, "IDAT", 4) == 0) total += length;
    if (length > source.size - at - 12) break;
    at += static_cast<size_t>(length) + 12;
  }
  return total;
}

// Deflate never expands more than 1032 times (two one-bit codes for a run of 258 bytes).
constexpr uint64_t kMaxInflation = 1032;

struct PngRead {
  const ReadOptions* options = nullptr;
  MemorySource source{};
  PngTrap trap;
  NewBitmap bitmap;
  uint32_t width = 0, height = 0, rowsDone = 0;
  int passes = 1;  // seven for an interlaced file
  bool hasAlpha = false;
  std::string refusal;
};

// Sets up the transforms to 8-bit BGRA after the header; false when the picture is refused.
bool Prepare(png_structp png, png_infop info, PngRead& read) {
  png_read_info(png, info);
  read.width = png_get_image_width(png, info);
  read.height = png_get_image_height(png, info);
  if (read.width > read.options->maxPixels / read.height) {
    read.refusal = TooManyPixels(read.width, read.height, read.options->maxPixels);
    return false;
  }
  // A strict read refuses a header whose pixels the data cannot hold before allocating them.
  const uint64_t packed = uint64_t{read.height} * png_get_rowbytes(png, info);
  if (!read.options->lenient && ImageDataBytes(read.source) < packed / kMaxInflation) {
    char message[96];
    std::snprintf(message, sizeof message, "too little image data for %u x %u pixels", read.width, read.height);
    png_error(png, message);
  }
  const int colorType = png_get_color_type(png, info);
  read.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_expand(png);    // palette and low-depth grey to 8 bits, tRNS to alpha
  png_set_scale_16(png);  // 16 to 8 bits with rounding
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!read.hasAlpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  read.passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  read.bitmap = AllocateBitmap(static_cast<int>(read.width), static_cast<int>(read.height), 32, 0);
  if (!read.bitmap.data) read.refusal = "out of memory";
  return read.bitmap.data != nullptr;
}

bool DecodePngRows(png_structp png, png_infop info, PngRead& read) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &read.source, ReadFromMemory);
  // Damage to a chunk that carries no pixels is still damage, unless the reader is lenient.
  if (!read.options->lenient) png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_ERROR_QUIT);
  if (!Prepare(png, info, read)) return false;
  for (int pass = 0; pass < read.passes; ++pass) {
    for (uint32_t y = 0; y < read.height; ++y) {
      png_read_row(png, read.bitmap.row(read.height - 1 - y), nullptr);  // bottom-up
      if (pass + 1 == read.passes) read.rowsDone = y + 1;
    }
  }
  png_read_end(png, nullptr);
  return true;
}

struct PngWrite {
  const DibView* view = nullptr;
  bool withAlpha = false;
  int compression = kDefaultPngCompression;
  PngTrap trap;
  std::vector<uint8_t>* file = nullptr;
};

bool EncodePngRows(png_structp png, png_infop info, PngWrite& write) {
  if (setjmp(png_jmpbuf(png))) return false;
  const DibView& view = *write.view;
  png_set_write_fn(png, write.file, WriteToVector, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(view.width), view.rows, 8,
               write.withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, write.compression);
  // libpng's adaptive choice of filter per row, except where nothing is to be compressed.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, write.compression == 0 ? PNG_FILTER_NONE : PNG_ALL_FILTERS);
  png_write_info(png, info);
  png_set_bgr(png);
  if (!write.withAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the fourth byte
  for (uint32_t r = 0; r < view.rows; ++r) {
    png_write_row(png, view.row(view.rows - 1 - r));  // the top row is stored last
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

Picture DecodePng(const uint8_t* data, size_t size, const ReadOptions& options) {
  PngRead read;
  read.options = &options;
  read.source = {data, size, 0};
  Picture picture;
  picture.format = PictureFormat::Png;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read.trap, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    picture.error = "out of memory";
    return picture;
  }
  const bool decoded = DecodePngRows(png, info, read);
  png_destroy_read_struct(&png, &info, nullptr);
  // A lenient read keeps the rows that arrived before the damage (the rest stay black).
  const bool kept = !decoded && read.bitmap.data && options.lenient && read.refusal.empty();
  if (decoded || kept) {
    picture.bitmap = read.bitmap.Unlock();
    picture.hasAlpha = read.hasAlpha;
    if (kept) {
      picture.warning = std::string("damaged PNG data (") + read.trap.message + "), kept " +
                        std::to_string(read.rowsDone) + " of " + std::to_string(read.height) + " rows";
    }
    return picture;
  }
  if (read.bitmap.data) GlobalFree(read.bitmap.Unlock());
  picture.error = read.refusal.empty() ? std::string("bad PNG file: ") + read.trap.message : read.refusal;
  return picture;
}

bool EncodePng(HGLOBAL bitmap32, bool withAlpha, std::vector<uint8_t>& file, std::string& error, int compression) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap32));
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap32)});
  if (!view || view->bitCount != 32 || view->width == 0 || view->rows == 0) {
    if (data) GlobalUnlock(bitmap32);
    error = "PNG needs a picture of at least one pixel";
    return false;
  }
  PngWrite write;
  write.view = &*view;
  write.withAlpha = withAlpha;
  write.compression = compression;
  write.file = &file;
  file.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &write.trap, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool encoded = info && EncodePngRows(png, info, write);
  png_destroy_write_struct(&png, &info);
  GlobalUnlock(bitmap32);
  if (!encoded) error = info ? write.trap.message : "out of memory";
  return encoded;
}

}  // namespace ormi::host
