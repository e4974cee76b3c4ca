// ormi.Picture: an image handle that Python owns, at any depth the library works on, and its
// conversions to and from NumPy arrays (RGBA top-down rows there, BGRA bottom-up rows here).
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <pybind11/numpy.h>

#include <ormi/win32.h>

#include "image/dib.h"

namespace ormi::python {

// A file that cannot be read or written (raised as OSError).
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A bitmap locked for reading, its layout checked (std::invalid_argument when malformed); unlocked
// at the end of scope.
class LockedView {
 public:
  explicit LockedView(HGLOBAL bitmap);
  LockedView(const LockedView&) = delete;
  LockedView& operator=(const LockedView&) = delete;
  ~LockedView();
  const DibView* operator->() const { return &*view_; }

 private:
  HGLOBAL bitmap_;
  std::optional<DibView> view_;
};

class Picture {
 public:
  explicit Picture(HGLOBAL image) : image_(image) {}
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  HGLOBAL image() const { return image_; }
  // Hands the image handle over, leaving the picture empty.
  HGLOBAL release() { return std::exchange(image_, nullptr); }
  HGLOBAL bitmap() const;

  int width() const;
  int height() const;
  int depth() const;
  // The colour table as N x 3 RGB rows (none above 8 bits).
  pybind11::array palette() const;

  bool alphaTransparency() const;
  void setAlphaTransparency(bool carried);
  std::optional<uint32_t> colorKey() const;
  void setColorKey(std::optional<uint32_t> colorref);

  // A copy with its own bitmap and the same transparency state.
  std::unique_ptr<Picture> copy() const;
  // A copy at 32, 24 or 8 bits; the alpha state survives only at 32 bits, as after ormi-fx --depth.
  std::unique_ptr<Picture> convert(int depth) const;
  // channels 4 (RGBA: the alpha bytes when the picture carries its transparency in them, else 255),
  // 3 (RGB) or 1 (grey, the luma that Pillow's "L" conversion gives).
  pybind11::array toArray(std::optional<int> channels) const;
  void write(const std::string& path, const std::optional<std::string>& format) const;

 private:
  HGLOBAL image_;
};

// A 32-bit picture from an H x W grey, H x W x 3 RGB or H x W x 4 RGBA uint8 array with any
// strides; RGBA marks the picture as carrying its transparency in the alpha bytes, as a PNG with
// alpha does in ormi-fx.
std::unique_ptr<Picture> PictureFromArray(const pybind11::array& array);
// A 1-bit picture from an H x W array: bit 1 (masked out, white) where the value is not 0.
std::unique_ptr<Picture> MaskFromArray(const pybind11::array& array);
// A picture file, read as ormi-fx reads its input.
std::unique_ptr<Picture> ReadPictureFile(const std::string& path);

}  // namespace ormi::python
