// Rotation engine. A quarter turn copies the source's header and tables into a new zero-filled
// block and moves every pixel by its depth's mover: whole pixels with pointer steps at 8 to 32
// bits, nibbles ORed into place at 4 bits, 8 x 8 bit blocks transposed through BitSpreadTable at
// 1 bit, and a half turn reverses each row through the row reversals of the bit tables.
#include "geometry/rotation_engine.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "geometry/bit_tables.h"
#include "image/frames.h"
#include "image/record.h"
#include "simd/simd_level.h"

namespace ormi {
namespace {

constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kScanBound = 4e9f;

// Steps through destination rows in either direction; offsets wrap harmlessly past the last row
// because they are never used there.
inline size_t Step(size_t offset, size_t stride, bool up) { return up ? offset + stride : offset - stride; }

// 8, 16, 24 and 32 bits: one memcpy of a constant size per pixel. Quarter turns go tile by tile
// (64 bytes of source row by as many rows), each destination row of a tile written in one run, so
// that the column-wise side of the turn stays in the cache instead of touching a new line per pixel.
template <size_t Bytes>
void TurnWholePixels(const TurnFrame& f) {
  const uint32_t w = f.width, h = f.height;
  if (f.degrees == 180) {
    for (uint32_t r = 0; r < h; ++r) {
      const uint8_t* src = f.source + r * f.sourceStride;
      uint8_t* dst = f.destination + (h - 1 - r) * f.destinationStride + size_t{w} * Bytes;
      for (uint32_t x = 0; x < w; ++x, src += Bytes) {
        dst -= Bytes;
        std::memcpy(dst, src, Bytes);
      }
    }
    return;
  }
  constexpr uint32_t kTile = 64 / Bytes;
  // 90: source (x, r) lands in row x, column H-1-r; 270: in row W-1-x, column r.
  const bool up = f.degrees == 90;
  for (uint32_t r0 = 0; r0 < h; r0 += kTile) {
    const uint32_t r1 = h - r0 < kTile ? h : r0 + kTile;
    for (uint32_t x0 = 0; x0 < w; x0 += kTile) {
      const uint32_t x1 = w - x0 < kTile ? w : x0 + kTile;
      for (uint32_t x = x0; x < x1; ++x) {
        const uint8_t* src = f.source + r0 * f.sourceStride + size_t{x} * Bytes;
        if (up) {
          // Columns H-1-r0 down to H-r1, written from the right.
          uint8_t* dst = f.destination + size_t{x} * f.destinationStride + (h - 1 - size_t{r0}) * Bytes;
          for (uint32_t r = r0; r < r1; ++r, src += f.sourceStride, dst -= Bytes) std::memcpy(dst, src, Bytes);
        } else {
          uint8_t* dst = f.destination + (w - 1 - size_t{x}) * f.destinationStride + size_t{r0} * Bytes;
          for (uint32_t r = r0; r < r1; ++r, src += f.sourceStride, dst += Bytes) std::memcpy(dst, src, Bytes);
        }
      }
    }
  }
}

// Copies a packed row to its mirrored destination row, where it is then reversed in place.
void TurnPackedHalf(const TurnFrame& f, size_t rowBytes, void (*reverse)(uint8_t*, uint32_t)) {
  for (uint32_t r = 0; r < f.height; ++r) {
    uint8_t* dst = f.destination + (f.height - 1 - r) * f.destinationStride;
    std::memcpy(dst, f.source + r * f.sourceStride, rowBytes);
    reverse(dst, f.width);
  }
}

struct HandOver {
  const ImageRecord* source;
  TurnKind kind;
};

void CarryOverFields(ImageRecord& created, const void* context) {
  const auto& handOver = *static_cast<const HandOver*>(context);
  const ImageRecord& source = *handOver.source;
  created.host84 = source.host84;
  created.host88 = source.host88;
  created.host92 = source.host92;
  created.host96 = source.host96;
  created.host100 = source.host100;
  created.host101 = source.host101;
  created.host112 = source.host112;
  created.baseWidth = source.baseWidth;
  created.baseHeight = source.baseHeight;
  if (handOver.kind == TurnKind::QuarterTurn) {
    created.transparency = source.transparency;
    created.transparentColor = source.transparentColor;
  } else {
    created.transparency = 1;
    created.transparentColor = source.transparentColor | ORMI_ALPHA_TRANSPARENCY;
  }
}

}  // namespace

void RotatePoint(PointF& point, int degrees) {
  const double a = degrees * static_cast<double>(kRadiansPerDegree);
  const double c = std::cos(a), s = std::sin(a);
  const double x = point.x, y = point.y;
  point.x = static_cast<float>(c * x - s * y);
  point.y = static_cast<float>(s * x + c * y);
}

float MinOf4(float a, float b, float c, float d) {
  float least = kScanBound;
  for (float value : {a, b, c, d}) {
    if (value < least) least = value;
  }
  return least;
}

float MaxOf4(float a, float b, float c, float d) {
  float most = -kScanBound;
  for (float value : {a, b, c, d}) {
    if (value > most) most = value;
  }
  return most;
}

void TransposeBitBlock(int inputRows, const uint8_t* source, ptrdiff_t sourceStep, int outputRows, uint8_t* destination,
                       ptrdiff_t destinationStep) {
  uint32_t low = 0, high = 0;
  for (int i = 0; i < inputRows; ++i) {
    const uint8_t b = source[i * sourceStep];
    low |= BitSpreadTable[static_cast<size_t>(7 - i)][b & 15u];
    high |= BitSpreadTable[static_cast<size_t>(7 - i)][b >> 4];
  }
  const uint64_t bytes = low | uint64_t{high} << 32;
  for (int j = 8 - outputRows, k = 0; j < 8; ++j, ++k) {
    destination[k * destinationStep] = static_cast<uint8_t>(bytes >> (8 * j));
  }
}

void QuarterTurn32Bit(const TurnFrame& frame) {
  if (frame.degrees != 180 && ActiveSimdLevel() != SimdLevel::Scalar) {
    QuarterTurn32Sse2(frame);
    return;
  }
  TurnWholePixels<4>(frame);
}
void QuarterTurn24Bit(const TurnFrame& frame) { TurnWholePixels<3>(frame); }
void QuarterTurn16Bit(const TurnFrame& frame) { TurnWholePixels<2>(frame); }
void QuarterTurn8Bit(const TurnFrame& frame) { TurnWholePixels<1>(frame); }

void QuarterTurn4Bit(const TurnFrame& f) {
  if (f.degrees == 180) {
    TurnPackedHalf(f, (size_t{f.width} + 1) / 2, ReverseNibbleRow);
    return;
  }
  const uint32_t w = f.width, h = f.height;
  const bool up = f.degrees == 90;
  for (uint32_t r = 0; r < h; ++r) {
    const uint8_t* src = f.source + r * f.sourceStride;
    const uint32_t column = up ? h - 1 - r : r;
    const unsigned shift = column % 2 ? 0 : 4;
    size_t offset = column / 2 + (up ? 0 : (w - size_t{1}) * f.destinationStride);
    auto put = [&](unsigned pixel) {
      f.destination[offset] = static_cast<uint8_t>(f.destination[offset] | pixel << shift);
      offset = Step(offset, f.destinationStride, up);
    };
    for (uint32_t x = 0; x + 1 < w; x += 2) {
      const uint8_t b = src[x / 2];
      put(b >> 4u);
      put(b & 15u);
    }
    if (w % 2) put(src[w / 2] >> 4u);
  }
}

void QuarterTurn1Bit(const TurnFrame& f) {
  if (f.degrees == 180) {
    TurnPackedHalf(f, (size_t{f.width} + 7) / 8, ReverseBitRow);
    return;
  }
  const uint32_t w = f.width, h = f.height;
  const auto sourceStride = static_cast<ptrdiff_t>(f.sourceStride);
  const auto destinationStride = static_cast<ptrdiff_t>(f.destinationStride);
  const bool up = f.degrees == 90;
  for (uint32_t bx = 0; 8 * size_t{bx} < w; ++bx) {
    const uint32_t firstColumn = 8 * bx;
    const int outputRows = static_cast<int>(w - firstColumn < 8 ? w - firstColumn : 8);
    for (uint32_t m = 0; 8 * size_t{m} < h; ++m) {
      const uint32_t firstRow = 8 * m;
      const int inputRows = static_cast<int>(h - firstRow < 8 ? h - firstRow : 8);
      if (up) {
        // Destination columns 8m.. are source rows H-1-8m downwards; source column x is row x.
        TransposeBitBlock(
            inputRows, f.source + (h - 1 - firstRow) * f.sourceStride + bx, -sourceStride, outputRows,
            f.destination + (firstColumn + static_cast<uint32_t>(outputRows) - 1) * f.destinationStride + m,
            -destinationStride);
      } else {
        // Destination columns 8m.. are source rows 8m upwards; source column x is row W-1-x.
        TransposeBitBlock(
            inputRows, f.source + firstRow * f.sourceStride + bx, sourceStride, outputRows,
            f.destination + (w - firstColumn - static_cast<uint32_t>(outputRows)) * f.destinationStride + m,
            destinationStride);
      }
    }
  }
}

std::optional<DibView> TurnSourceView(const GlobalLockGuard& source, const BITMAPINFOHEADER& headerCopy) {
  if (!source) return std::nullopt;
  const std::optional<DibView> view = ViewDib(source.block(), DibExtent::Rows);
  if (!view || view->topDown()) return std::nullopt;
  const bool agrees = view->width == headerCopy.biWidth && view->height == headerCopy.biHeight &&
                      view->bitCount == headerCopy.biBitCount && view->bitsOffset == DibBitsOffset(headerCopy);
  if (!agrees) return std::nullopt;
  return view;
}

std::optional<size_t> TurnedBitmapBytes(uint64_t tableBytes, uint64_t stride, uint64_t rows) {
  constexpr uint64_t kLimit = std::numeric_limits<size_t>::max();
  constexpr uint64_t kSpare = 32;
  if (tableBytes > kLimit - kSpare) return std::nullopt;
  const uint64_t room = kLimit - kSpare - tableBytes;
  if (rows != 0 && stride > room / rows) return std::nullopt;
  return static_cast<size_t>(tableBytes + stride * rows + kSpare);
}

HGLOBAL RotateQuarterTurn(const ImageRecord& record, int degrees) {
  const std::optional<BITMAPINFOHEADER> headerCopy = HeaderCopyOf(record);
  if (!headerCopy || !kEveryDepth.contains(headerCopy->biBitCount)) return nullptr;
  GlobalLockGuard source(BitmapOf(record));
  const std::optional<DibView> view = TurnSourceView(source, *headerCopy);
  if (!view) return nullptr;

  const auto width = static_cast<uint32_t>(view->width);
  const uint32_t height = view->rows;
  const bool swaps = degrees == 90 || degrees == 270;
  const uint32_t newWidth = swaps ? height : width;
  const uint32_t newHeight = swaps ? width : height;
  const auto newStride = static_cast<uint64_t>(DibStride(newWidth, view->bitCount));
  const std::optional<size_t> bytes = TurnedBitmapBytes(view->bitsOffset, newStride, newHeight);
  if (!bytes) return nullptr;
  GlobalBlock block(GHND, *bytes);
  if (!block) return nullptr;
  GlobalLockGuard target(block.handle());
  if (!target) return nullptr;

  std::memcpy(target.data(), view->base, view->bitsOffset);
  uint8_t* rows = target.data() + view->bitsOffset;
  if (degrees == 0) {
    std::memcpy(rows, view->bits(), view->stride * height);
  } else {
    const TurnFrame frame{view->bits(), view->stride, rows, static_cast<size_t>(newStride), width, height, degrees};
    switch (view->bitCount) {
      case 32: QuarterTurn32Bit(frame); break;
      case 24: QuarterTurn24Bit(frame); break;
      case 16: QuarterTurn16Bit(frame); break;
      case 8: QuarterTurn8Bit(frame); break;
      case 4: QuarterTurn4Bit(frame); break;
      default: QuarterTurn1Bit(frame); break;
    }
  }
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(target.data());
  header->biWidth = static_cast<LONG>(newWidth);
  header->biHeight = static_cast<LONG>(newHeight);

  source.unlock();
  target.unlock();
  return HandOverRotatedBitmap(block.release(), record, TurnKind::QuarterTurn);
}

HGLOBAL HandOverRotatedBitmap(HGLOBAL bitmap, const ImageRecord& source, TurnKind kind) {
  const HandOver handOver{&source, kind};
  HGLOBAL image = CreateImageRecord(bitmap, CarryOverFields, &handOver);
  if (!image) GlobalFree(bitmap);
  return image;
}

}  // namespace ormi
