#include "picture.h"

#include <climits>
#include <cstring>

#include "exit_status.h"
#include "host/bitmap_convert.h"
#include "host/image_handle.h"
#include "image/dib.h"
#include "picture_io.h"

namespace py = pybind11;

namespace ormi::python {
namespace {

ImageRecord RecordOf(HGLOBAL image) {
  ImageRecord record{};
  if (const void* data = GlobalLock(image)) {
    std::memcpy(&record, data, sizeof record);
    GlobalUnlock(image);
  }
  return record;
}

std::unique_ptr<Picture> Wrap(HGLOBAL bitmap) {
  if (!bitmap) throw std::bad_alloc();
  HGLOBAL image = host::WrapBitmap(bitmap);
  if (!image) {
    GlobalFree(bitmap);
    throw std::bad_alloc();
  }
  return std::make_unique<Picture>(image);
}

// The array's height and width, refused when the library's 32-bit rows could not hold them.
std::pair<int, int> PictureSize(const py::array& array) {
  if (array.shape(0) <= 0 || array.shape(1) <= 0) throw std::invalid_argument("the array is empty");
  if (array.shape(0) > INT_MAX / 4 || array.shape(1) > INT_MAX / 4)
    throw std::invalid_argument("the array is too large for a picture");
  return {static_cast<int>(array.shape(0)), static_cast<int>(array.shape(1))};
}

void RequireBytes(const py::array& array) {
  if (!array.dtype().is(py::dtype::of<uint8_t>()))
    throw py::type_error("pictures are uint8 arrays, not " + py::str(array.dtype()).cast<std::string>());
}

// A row of a C-contiguous array into BGRA: constant offsets, which the compiler turns into shuffles.
template <int kChannels>
void PackedRowToBgra(const uint8_t* from, uint8_t* to, int width) {
  constexpr int kNext = kChannels == 1 ? 0 : 1;  // grey repeats its one byte
  for (int x = 0; x < width; ++x, from += kChannels, to += 4) {
    to[0] = from[2 * kNext];
    to[1] = from[kNext];
    to[2] = from[0];
    to[3] = kChannels == 4 ? from[3] : 255;
  }
}

// A BGRA row into RGBA (alpha 255 unless `alpha`), RGB or grey, the luma that Pillow's "L" gives.
template <int kChannels>
void BgraRowToPixels(const uint8_t* from, uint8_t* to, size_t width, bool alpha) {
  for (size_t x = 0; x < width; ++x, from += 4, to += kChannels) {
    if constexpr (kChannels == 1) {
      *to = static_cast<uint8_t>((from[2] * 19595 + from[1] * 38470 + from[0] * 7471 + 0x8000) >> 16);
    } else {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      if constexpr (kChannels == 4) to[3] = alpha ? from[3] : 255;
    }
  }
}

}  // namespace

LockedView::LockedView(HGLOBAL bitmap) : bitmap_(bitmap) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (data) view_ = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  if (!view_) {
    if (data) GlobalUnlock(bitmap);
    throw std::invalid_argument("the picture's bitmap is malformed");
  }
}

LockedView::~LockedView() { GlobalUnlock(bitmap_); }

Picture::~Picture() {
  if (image_) host::FreeImageHandle(image_);
}

HGLOBAL Picture::bitmap() const { return host::BitmapOfImage(image_); }

int Picture::width() const { return LockedView(bitmap())->width; }
int Picture::height() const { return static_cast<int>(LockedView(bitmap())->rows); }
int Picture::depth() const { return LockedView(bitmap())->bitCount; }

py::array Picture::palette() const {
  const LockedView view(bitmap());
  const size_t count = view->bitCount <= 8 ? view->colorCount : 0;
  py::array_t<uint8_t> rgb({count, size_t{3}});
  uint8_t* out = rgb.mutable_data();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = view->colorTable() + 4 * i;  // blue, green, red, reserved
    out[3 * i] = entry[2];
    out[3 * i + 1] = entry[1];
    out[3 * i + 2] = entry[0];
  }
  return rgb;
}

bool Picture::alphaTransparency() const { return fx::CarriesAlpha(image_); }

void Picture::setAlphaTransparency(bool carried) {
  carried ? host::SetAlphaTransparency(image_) : host::SetNoTransparency(image_);
}

std::optional<uint32_t> Picture::colorKey() const {
  const ImageRecord record = RecordOf(image_);
  if (record.transparency == ORMI_NO_TRANSPARENCY || (record.transparentColor & ORMI_ALPHA_TRANSPARENCY) != 0)
    return std::nullopt;
  return record.transparentColor;
}

void Picture::setColorKey(std::optional<uint32_t> colorref) {
  colorref ? host::SetColorKey(image_, *colorref) : host::SetNoTransparency(image_);
}

std::unique_ptr<Picture> Picture::copy() const {
  std::unique_ptr<Picture> made = Wrap(host::CopyGlobalBlock(bitmap()));
  const ImageRecord record = RecordOf(image_);
  if (auto* copied = static_cast<ImageRecord*>(GlobalLock(made->image()))) {
    copied->transparency = record.transparency;
    copied->transparentColor = record.transparentColor;
    GlobalUnlock(made->image());
  }
  return made;
}

std::unique_ptr<Picture> Picture::convert(int depth) const {
  if (depth != 32 && depth != 24 && depth != 8) throw std::invalid_argument("depth must be 32, 24 or 8");
  HGLOBAL converted = host::ConvertBitmapDepth(bitmap(), depth);
  if (!converted) throw std::invalid_argument("cannot convert the picture to " + std::to_string(depth) + " bits");
  std::unique_ptr<Picture> made = Wrap(converted);
  if (depth == 32 && alphaTransparency()) host::SetAlphaTransparency(made->image());
  return made;
}

py::array Picture::toArray(std::optional<int> channels) const {
  const bool alpha = alphaTransparency();
  const int count = channels.value_or(alpha ? 4 : 3);
  if (count != 1 && count != 3 && count != 4) throw std::invalid_argument("channels must be 1, 3 or 4");
  // Other depths and layouts go through the 32-bit conversion that the PNG writer uses.
  HGLOBAL converted = nullptr;
  if (LockedView view(bitmap()); view->bitCount != 32 || view->compression != BI_RGB) {
    converted = host::ConvertBitmapDepth(bitmap(), 32);
    if (!converted) throw std::invalid_argument("cannot convert the picture to 32 bits");
  }
  py::array result;
  {
    const LockedView view(converted ? converted : bitmap());
    const size_t rows = view->rows, width = static_cast<size_t>(view->width);
    py::array_t<uint8_t> out(count == 1 ? std::vector<size_t>{rows, width}
                                        : std::vector<size_t>{rows, width, size_t(count)});
    uint8_t* to = out.mutable_data();
    py::gil_scoped_release release;
    for (size_t y = 0; y < rows; ++y, to += width * size_t(count)) {
      const uint8_t* from = view->row(view->topDown() ? y : rows - 1 - y);
      if (count == 4) BgraRowToPixels<4>(from, to, width, alpha);
      if (count == 3) BgraRowToPixels<3>(from, to, width, alpha);
      if (count == 1) BgraRowToPixels<1>(from, to, width, alpha);
    }
    result = std::move(out);
  }
  if (converted) GlobalFree(converted);
  return result;
}

void Picture::write(const std::string& path, const std::optional<std::string>& format) const {
  const std::optional<host::PictureFormat> chosen = format ? host::FormatFromName(*format) : host::FormatFromPath(path);
  if (!chosen) throw std::invalid_argument("unknown format for " + path + " (bmp, png or jpg)");
  std::string error;
  if (fx::SaveImage(image_, path, *chosen, error) != fx::kDone) throw FileError(error);
}

std::unique_ptr<Picture> PictureFromArray(const py::array& array) {
  RequireBytes(array);
  const py::ssize_t channels = array.ndim() == 2 ? 1 : array.ndim() == 3 ? array.shape(2) : 0;
  if (channels != 1 && channels != 3 && channels != 4)
    throw std::invalid_argument("expected an H x W grey, H x W x 3 RGB or H x W x 4 RGBA array");
  const auto [height, width] = PictureSize(array);
  const auto* pixels = static_cast<const uint8_t*>(array.data());
  const py::ssize_t rowStep = array.strides(0), step = array.strides(1),
                    channelStep = channels > 1 ? array.strides(2) : 0;
  const bool packed = step == channels && (channels == 1 || channelStep == 1);
  host::NewBitmap made;
  {
    py::gil_scoped_release release;
    made = host::AllocateBitmap(width, height, 32, 0);
    for (int r = 0; made.data && r < height; ++r) {
      const uint8_t* from = pixels + (height - 1 - r) * rowStep;  // the bitmap's first row is the bottom one
      uint8_t* to = made.row(static_cast<size_t>(r));
      if (packed) {
        channels == 4   ? PackedRowToBgra<4>(from, to, width)
        : channels == 3 ? PackedRowToBgra<3>(from, to, width)
                        : PackedRowToBgra<1>(from, to, width);
        continue;
      }
      for (int x = 0; x < width; ++x, from += step, to += 4) {
        to[0] = from[2 * channelStep];
        to[1] = from[channelStep];
        to[2] = from[0];
        to[3] = channels == 4 ? from[3 * channelStep] : 255;
      }
    }
  }
  std::unique_ptr<Picture> picture = Wrap(made.data ? made.Unlock() : nullptr);
  if (channels == 4) host::SetAlphaTransparency(picture->image());
  return picture;
}

std::unique_ptr<Picture> MaskFromArray(const py::array& array) {
  if (array.ndim() != 2) throw std::invalid_argument("a mask is an H x W array");
  const auto [height, width] = PictureSize(array);
  const py::array_t<uint8_t, py::array::forcecast> bytes(array);
  const auto values = bytes.unchecked<2>();
  host::NewBitmap made = host::AllocateBitmap(width, height, 1, 2);
  if (!made.data) throw std::bad_alloc();
  std::memcpy(made.data + kInfoHeaderBytes + 4, "\xFF\xFF\xFF\x00", 4);  // entry 0 black, entry 1 white
  for (int r = 0; r < height; ++r) {
    uint8_t* row = made.row(static_cast<size_t>(r));
    for (int x = 0; x < width; ++x) {
      if (values(height - 1 - r, x) != 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return Wrap(made.Unlock());
}

std::unique_ptr<Picture> ReadPictureFile(const std::string& path) {
  fx::LoadedImage loaded;
  std::string error;
  if (fx::LoadImage(path, fx::PictureOptions{}, loaded, error) != fx::kDone) throw FileError(error);
  return std::make_unique<Picture>(loaded.image);
}

}  // namespace ormi::python
