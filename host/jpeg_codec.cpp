// JPEG through libjpeg-turbo, which converts to and from BGRA itself. Its errors unwind through
// longjmp, so the code between setjmp and the end of each call holds no object with a destructor
// that must run (the buffers are owned outside).
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "host/bitmap_convert.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
  auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
  (*info->err->format_message)(info, trap->message);
  std::longjmp(trap->jump, 1);
}

void Silence(j_common_ptr, int) {}

ErrorTrap* InstallTrap(ErrorTrap& trap) {
  jpeg_std_error(&trap.manager);
  trap.manager.error_exit = OnError;
  trap.manager.emit_message = Silence;
  trap.message[0] = 0;
  return &trap;
}

// Decodes into buffers owned by the caller, so that nothing this frame changes after setjmp is
// needed once longjmp has come back.
bool DecodeJpegRows(const uint8_t* data, size_t size, std::vector<uint8_t>& pixels, int& width, int& height,
                    ErrorTrap& trap) {
  jpeg_decompress_struct info{};
  info.err = &InstallTrap(trap)->manager;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  if (uint64_t{info.output_width} * info.output_height > kMaxPixels) {
    jpeg_destroy_decompress(&info);
    std::snprintf(trap.message, sizeof trap.message, "picture too large");
    return false;
  }
  const size_t rowBytes = size_t{4} * info.output_width;
  pixels.resize(rowBytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  jpeg_destroy_decompress(&info);
  return true;
}

struct JpegOutput {
  unsigned char* buffer = nullptr;
  unsigned long bytes = 0;
  ~JpegOutput() { std::free(buffer); }
};

bool EncodeJpegRows(const DibView& view, int quality, JpegOutput& output, ErrorTrap& trap) {
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

Picture DecodeJpeg(const uint8_t* data, size_t size) {
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  ErrorTrap trap;
  if (!DecodeJpegRows(data, size, pixels, width, height, trap)) return {nullptr, false, trap.message};
  HGLOBAL bitmap = BitmapFromTopDownBgra(pixels.data(), width, height);
  if (!bitmap) return {nullptr, false, "out of memory"};
  return {bitmap, false, {}};
}

bool EncodeJpeg(HGLOBAL bitmap32, int quality, std::vector<uint8_t>& file, std::string& error) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap32));
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap32)});
  bool encoded = false;
  JpegOutput output;
  ErrorTrap trap;
  if (!view || view->bitCount != 32 || view->width == 0 || view->rows == 0 || view->width > 65500 ||
      view->rows > 65500) {
    error = "JPEG needs a picture of 1 to 65500 pixels a side";
  } else if (!EncodeJpegRows(*view, quality, output, trap)) {
    error = trap.message;
  } else {
    file.assign(output.buffer, output.buffer + output.bytes);
    encoded = true;
  }
  GlobalUnlock(bitmap32);
  return encoded;
}

}  // namespace ormi::host
