// JPEG through libjpeg-turbo. Its errors unwind through longjmp, so the functions that call
// setjmp keep everything they change in structures owned by their callers, and no object with a
// destructor lives in their frames.
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "host/bitmap_convert.h"
#include "host/exif_orientation.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

// Encoders write a handful of scans; thousands of them only make a small file cost minutes.
constexpr int kMaxScans = 100;
// libjpeg's memory besides the coefficients of a multi-scan picture: tables, row buffers.
constexpr uint64_t kWorkingMemory = uint64_t{64} << 20;

struct ErrorTrap {
  jpeg_error_mgr manager;
  jpeg_progress_mgr progress;
  std::jmp_buf jump;
  bool lenient = false;
  char message[JMSG_LENGTH_MAX];
  char warning[JMSG_LENGTH_MAX];  // the first sign of damaged data
};

[[noreturn]] void Unwind(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }

void OnError(j_common_ptr info) {
  (*info->err->format_message)(info, reinterpret_cast<ErrorTrap*>(info->err)->message);
  Unwind(info);
}

// Level -1 is libjpeg's warning of damaged data (a truncated file, a bad Huffman code): fatal
// unless the reader is lenient, which keeps decoding and remembers the first one.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
  if (info->err->num_warnings++ == 0) (*info->err->format_message)(info, trap->warning);
  if (!trap->lenient) {
    std::snprintf(trap->message, sizeof trap->message, "%s", trap->warning);
    Unwind(info);
  }
}

void OnProgress(j_common_ptr info) {
  const auto* decoder = reinterpret_cast<j_decompress_ptr>(info);
  if (decoder->input_scan_number > kMaxScans) {
    std::snprintf(reinterpret_cast<ErrorTrap*>(info->err)->message, JMSG_LENGTH_MAX, "more than %d scans", kMaxScans);
    Unwind(info);
  }
}

ErrorTrap* InstallTrap(ErrorTrap& trap) {
  jpeg_std_error(&trap.manager);
  trap.manager.error_exit = OnError;
  trap.manager.emit_message = OnMessage;
  trap.progress = {};
  trap.progress.progress_monitor = OnProgress;
  trap.message[0] = trap.warning[0] = 0;
  return &trap;
}

uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

// What libjpeg needs at most for this header: the coefficients of every component (kept whole
// for a progressive picture) and its working memory.
uint64_t MemoryFor(const jpeg_decompress_struct& info) {
  uint64_t bytes = kWorkingMemory;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    bytes += RoundUp(component.width_in_blocks, component.h_samp_factor) *
             RoundUp(component.height_in_blocks, component.v_samp_factor) * DCTSIZE2 * sizeof(JCOEF);
  }
  return bytes;
}

// CMYK as ImageMagick and most readers take it: a file with Adobe's marker stores the inks
// inverted (255 = none), others store them as they are.
void CmykToBgra(const uint8_t* cmyk, uint8_t* bgra, uint32_t width, bool inverted) {
  for (uint32_t x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
    uint32_t left[4];  // what remains of the light after each ink (the row may be converted in place)
    for (int c = 0; c < 4; ++c) left[c] = inverted ? cmyk[c] : 255u - cmyk[c];
    for (int c = 0; c < 3; ++c) bgra[2 - c] = static_cast<uint8_t>((left[c] * left[3] + 127) / 255);
    bgra[3] = 255;
  }
}

struct JpegRead {
  const ReadOptions* options = nullptr;
  NewBitmap bitmap;                // the displayed picture, filled as rows arrive
  std::vector<uint8_t> row;        // one decoded row when it cannot go straight into the bitmap
  uint32_t width = 0, height = 0;  // as stored
  int orientation = 1;
  bool cmyk = false, inverted = false, fullChroma = false;
  uint32_t rowsDone = 0;
  std::string refusal;
};

// Whether every component is sampled at the same rate (4:4:4 for colour pictures).
bool FullChroma(const jpeg_decompress_struct& info) {
  for (int c = 1; c < info.num_components; ++c) {
    if (info.comp_info[c].h_samp_factor != info.comp_info[0].h_samp_factor ||
        info.comp_info[c].v_samp_factor != info.comp_info[0].v_samp_factor)
      return false;
  }
  return info.num_components == 3;
}

bool PrepareBitmap(JpegRead& read) {
  const bool turned = read.orientation >= 5;
  read.bitmap = AllocateBitmap(static_cast<int>(turned ? read.height : read.width),
                               static_cast<int>(turned ? read.width : read.height), 32, 0);
  if (read.cmyk || read.orientation != 1) read.row.resize(size_t{4} * read.width);
  return read.bitmap.data != nullptr;
}

// Puts stored row `y` (BGRA) where the orientation shows it; the bitmap is bottom-up.
void PlaceRow(JpegRead& read, const uint8_t* bgra, uint32_t y) {
  const bool turned = read.orientation >= 5;
  const uint32_t shownHeight = turned ? read.width : read.height;
  for (uint32_t x = 0; x < read.width; ++x) {
    uint32_t column = x, line = y;
    switch (read.orientation) {
      case 2: column = read.width - 1 - x; break;
      case 3: column = read.width - 1 - x, line = read.height - 1 - y; break;
      case 4: line = read.height - 1 - y; break;
      case 5: column = y, line = x; break;
      case 6: column = read.height - 1 - y, line = x; break;
      case 7: column = read.height - 1 - y, line = read.width - 1 - x; break;
      case 8: column = y, line = read.width - 1 - x; break;
    }
    std::memcpy(read.bitmap.row(shownHeight - 1 - line) + size_t{4} * column, bgra + size_t{4} * x, 4);
  }
}

bool DecodeJpegRows(const uint8_t* data, size_t size, JpegRead& read, ErrorTrap& trap) {
  jpeg_decompress_struct info{};
  info.err = &InstallTrap(trap)->manager;
  trap.lenient = read.options->lenient;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.progress = &trap.progress;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  read.width = info.image_width;
  read.height = info.image_height;
  if (info.image_height != 0 && info.image_width > read.options->maxPixels / info.image_height) {
    read.refusal = TooManyPixels(info.image_width, info.image_height, read.options->maxPixels);
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Not every libjpeg enforces this cap (Debian 12's libjpeg-turbo 2.1 does not); either way the
  // coefficients are bounded by the pixel check above: at most 8 bytes a pixel for 4 components.
  info.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(MemoryFor(info), LONG_MAX));
  read.cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  read.inverted = info.saw_Adobe_marker;
  read.fullChroma = FullChroma(info);
  info.out_color_space = read.cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  if (read.options->autoOrient) {
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
      if (const int found = ExifOrientation(marker->data, marker->data_length); found != 0) read.orientation = found;
    }
  }
  jpeg_start_decompress(&info);
  if (!PrepareBitmap(read)) {
    read.refusal = "out of memory";
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    const uint32_t y = info.output_scanline;
    JSAMPROW row = read.row.empty() ? read.bitmap.row(read.height - 1 - y) : read.row.data();
    jpeg_read_scanlines(&info, &row, 1);
    if (read.cmyk) CmykToBgra(row, row, read.width, read.inverted);
    if (!read.row.empty()) PlaceRow(read, row, y);
    read.rowsDone = y + 1;
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

struct JpegOutput {
  unsigned char* buffer = nullptr;
  unsigned long bytes = 0;
  ~JpegOutput() { std::free(buffer); }
};

bool EncodeJpegRows(const DibView& view, int quality, bool fullChroma, JpegOutput& output, ErrorTrap& trap) {
  jpeg_compress_struct info{};
  info.err = &InstallTrap(trap)->manager;
  if (setjmp(trap.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &output.buffer, &output.bytes);
  info.image_width = static_cast<JDIMENSION>(view.width);
  info.image_height = view.rows;
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (fullChroma) info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = view.row(view.rows - 1 - info.next_scanline);  // the top row is stored last
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

Picture DecodeJpeg(const uint8_t* data, size_t size, const ReadOptions& options) {
  JpegRead read;
  read.options = &options;
  ErrorTrap trap;
  Picture picture;
  picture.format = PictureFormat::Jpeg;
  const bool decoded = DecodeJpegRows(data, size, read, trap);
  // A lenient read keeps the rows that arrived before the damage (the rest stay black).
  const bool kept = !decoded && read.bitmap.data && options.lenient && read.refusal.empty();
  if (decoded || kept) {
    picture.bitmap = read.bitmap.Unlock();
    picture.fullChroma = read.fullChroma;
    if (trap.manager.num_warnings > 0 || kept) {
      picture.warning = std::string("damaged JPEG data (") + (kept ? trap.message : trap.warning) + "), kept " +
                        std::to_string(read.rowsDone) + " of " + std::to_string(read.height) + " rows";
    }
    return picture;
  }
  if (read.bitmap.data) GlobalFree(read.bitmap.Unlock());
  picture.error = read.refusal.empty() ? std::string("bad JPEG file: ") + trap.message : read.refusal;
  return picture;
}

bool EncodeJpeg(HGLOBAL bitmap32, int quality, std::vector<uint8_t>& file, std::string& error, bool fullChroma) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap32));
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap32)});
  bool encoded = false;
  JpegOutput output;
  ErrorTrap trap;
  if (!view || view->bitCount != 32 || view->width == 0 || view->rows == 0 || view->width > 65500 ||
      view->rows > 65500) {
    error = "JPEG needs a picture of 1 to 65500 pixels a side";
  } else if (!EncodeJpegRows(*view, quality, fullChroma, output, trap)) {
    error = trap.message;
  } else {
    file.assign(output.buffer, output.buffer + output.bytes);
    encoded = true;
  }
  if (data) GlobalUnlock(bitmap32);
  return encoded;
}

}  // namespace ormi::host
