#include "fuzz/fuzz_input.h"

#include <algorithm>

#include <ormi/win32emu_testing.h>

#include "image/dib.h"

namespace ormi::fuzz {
namespace {

constexpr UINT kRecordFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;
// A header copy as large as any bitmap the harness makes.
constexpr size_t kMaxHeaderCopy = kMaxFuzzBlock;
constexpr size_t kMaxEdits = 16;

// One dummy GDI object for every input: the registry keeps every object ever made.
HGDIOBJ SharedGdiObject() {
  static HGDIOBJ object = Win32EmuCreateGdiObject();
  return object;
}

// Bytes the header claims, computed in 64 bits; 0 when it does not fit the fuzzer's limit.
size_t ExactSize(const BITMAPINFOHEADER& header) {
  const uint64_t rows = header.biHeight < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(header.biHeight))
                                            : static_cast<uint64_t>(header.biHeight);
  const int64_t stride = DibStride(header.biWidth, header.biBitCount);
  if (stride < 0) return 0;
  const uint64_t offset = DibBitsOffset(header);
  if (offset > kMaxFuzzBlock || rows > kMaxFuzzBlock || static_cast<uint64_t>(stride) > kMaxFuzzBlock) return 0;
  const uint64_t total = offset + static_cast<uint64_t>(stride) * rows;
  return total > kMaxFuzzBlock ? 0 : static_cast<size_t>(total);
}

HGLOBAL StaleHandle() {
  HGLOBAL block = GlobalAlloc(kRecordFlags, sizeof(ImageRecord));
  GlobalFree(block);
  return block;
}

uint8_t* LockedData(HGLOBAL block) { return static_cast<uint8_t*>(GlobalLock(block)); }

}  // namespace

std::vector<uint8_t> FuzzReader::bytes(size_t n) {
  const size_t take = std::min(n, size_ - offset_);
  std::vector<uint8_t> out(data_ + offset_, data_ + offset_ + take);
  offset_ += take;
  return out;
}

FuzzedWorld::~FuzzedWorld() {
  for (HDC dc : dcs_) Win32EmuDeleteMemoryDC(dc);
  for (void* header : lockedHeaderCopies_) GlobalUnlock(GlobalHandle(header));
  for (HGLOBAL block : blocks_) GlobalFree(block);
}

HGLOBAL FuzzedWorld::readBitmap(FuzzReader& in) {
  BITMAPINFOHEADER header{};
  header.biWidth = in.read<int32_t>();
  header.biHeight = in.read<int32_t>();
  header.biBitCount = in.read<uint16_t>();
  header.biCompression = in.read<uint32_t>();
  header.biClrUsed = in.read<uint32_t>();
  const uint32_t size = in.read<uint32_t>();
  header.biSize = size == 0 ? 40 : size;
  header.biPlanes = 1;
  const size_t exact = ExactSize(header);
  size_t blockSize = exact ? exact : 4096;
  switch (in.read<uint8_t>()) {
    case 1: {
      const int64_t changed = static_cast<int64_t>(blockSize) + in.read<int16_t>();
      blockSize = static_cast<size_t>(std::max<int64_t>(changed, 0));
      break;
    }
    case 2: blockSize = in.read<uint16_t>(); break;
    case 3: blockSize = in.read<uint32_t>() % (kMaxFuzzBlock + 1); break;
    default: break;
  }
  const std::vector<uint8_t> pattern = in.bytes(in.read<uint16_t>());

  HGLOBAL bitmap = keep(GlobalAlloc(GHND, blockSize));
  if (!bitmap) return nullptr;
  uint8_t* data = LockedData(bitmap);
  if (!data) return bitmap;
  const size_t headerBytes = std::min(blockSize, sizeof header);
  std::memcpy(data, &header, headerBytes);
  if (!pattern.empty()) {
    for (size_t i = headerBytes, k = 0; i < blockSize; ++i, k = k + 1 == pattern.size() ? 0 : k + 1)
      data[i] = pattern[k];
  }
  GlobalUnlock(bitmap);
  return bitmap;
}

HGLOBAL FuzzedWorld::readImage(FuzzReader& in) {
  HGLOBAL bitmap = readBitmap(in);

  const uint8_t handleMode = in.read<uint8_t>();
  HGLOBAL image = nullptr;
  size_t recordBytes = sizeof(ImageRecord);
  switch (handleMode) {
    case 1: image = keep(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, recordBytes)); break;
    case 2: break;
    case 3: image = StaleHandle(); break;
    case 4:
      recordBytes = in.read<uint8_t>() % sizeof(ImageRecord);
      image = keep(GlobalAlloc(kRecordFlags, recordBytes));
      break;
    default: image = keep(GlobalAlloc(kRecordFlags, recordBytes)); break;
  }

  ImageRecord record{};
  if (in.read<uint8_t>() == 0) {
    std::memcpy(record.magic, ORMI_RECORD_MAGIC, 4);
  } else {
    const uint32_t magic = in.read<uint32_t>();
    std::memcpy(record.magic, &magic, 4);
  }
  record.flags = in.read<uint32_t>() ^ 16u;

  switch (in.read<uint8_t>()) {
    case 1: record.bitmap = 0; break;
    case 2: record.bitmap = OrmiFieldFromHandle(StaleHandle()); break;
    case 3: record.bitmap = OrmiFieldFromHandle(image); break;
    case 4: record.bitmap = in.read<uint32_t>(); break;
    default: record.bitmap = OrmiFieldFromHandle(bitmap); break;
  }

  // The header copy: the bitmap's first DibBitsOffset bytes, none, or any size; then edits that
  // make it disagree with the bitmap.
  std::vector<uint8_t> bitmapBytes;
  if (bitmap) {
    if (const uint8_t* data = LockedData(bitmap)) {
      bitmapBytes.assign(data, data + GlobalSize(bitmap));
      GlobalUnlock(bitmap);
    }
  }
  BITMAPINFOHEADER header{};
  if (!bitmapBytes.empty()) std::memcpy(&header, bitmapBytes.data(), std::min(bitmapBytes.size(), sizeof header));
  const uint8_t headerMode = in.read<uint8_t>();
  size_t copyBytes = static_cast<size_t>(std::min<uint64_t>(DibBitsOffset(header), kMaxHeaderCopy));
  if (headerMode == 2) copyBytes = in.read<uint16_t>();
  const size_t edits = in.read<uint8_t>() % (kMaxEdits + 1);
  std::vector<uint8_t> copy(copyBytes, 0);
  std::copy_n(bitmapBytes.begin(), std::min(copyBytes, bitmapBytes.size()), copy.begin());
  for (size_t e = 0; e < edits; ++e) {
    const uint16_t at = in.read<uint16_t>();
    const uint8_t value = in.read<uint8_t>();
    if (!copy.empty()) copy[at % copy.size()] = value;
  }
  if (headerMode != 1) {
    if (HGLOBAL block = keep(GlobalAlloc(GHND, copyBytes))) {
      if (uint8_t* data = LockedData(block)) {
        std::copy(copy.begin(), copy.end(), data);
        lockedHeaderCopies_.push_back(data);
        record.header = OrmiFieldFromPointer(data);
      }
    }
  }

  if (in.read<uint8_t>() == 0) {
    record.width = record.baseWidth = header.biWidth;
    record.height = record.baseHeight =
        header.biHeight < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(header.biHeight)) : header.biHeight;
  } else {
    record.width = record.baseWidth = in.read<int32_t>();
    record.height = record.baseHeight = in.read<int32_t>();
  }
  record.transparency = in.read<uint32_t>() ^ ORMI_NO_TRANSPARENCY;
  record.transparentColor = in.read<uint32_t>();
  if (in.read<uint8_t>() != 0) record.gdiObject = OrmiFieldFromGdiObject(SharedGdiObject());
  record.host32 = 0xFFFFFFFF;
  record.rasterOp = SRCCOPY;
  record.host84 = record.host92 = 1;

  if (image && handleMode != 3) {
    if (uint8_t* data = LockedData(image)) {
      std::memcpy(data, &record, std::min(recordBytes, sizeof record));
      GlobalUnlock(image);
    }
  }
  return image;
}

HGLOBAL FuzzedWorld::readPlainBitmap(FuzzReader& in) {
  switch (in.read<uint8_t>()) {
    case 1: return nullptr;
    case 2: return StaleHandle();
    default: return readBitmap(in);
  }
}

RECT FuzzedWorld::readRect(FuzzReader& in) {
  RECT rect;
  rect.left = in.read<int32_t>();
  rect.top = in.read<int32_t>();
  rect.right = in.read<int32_t>();
  rect.bottom = in.read<int32_t>();
  const int64_t width = int64_t{rect.right} - rect.left + 1;
  const int64_t height = int64_t{rect.bottom} - rect.top + 1;
  if (width > 0 && height > 0 && width > (int64_t{1} << 22) / height) {
    rect.right = static_cast<int32_t>(rect.left + std::min<int64_t>(width, 2048) - 1);
    rect.bottom = static_cast<int32_t>(rect.top + std::min<int64_t>(height, 2048) - 1);
  }
  return rect;
}

HDC FuzzedWorld::readDc(FuzzReader& in) {
  const uint8_t width = in.read<uint8_t>();
  const uint8_t height = in.read<uint8_t>();
  if (width == 0 || height == 0) return nullptr;
  HDC dc = Win32EmuCreateMemoryDC(width, height);
  if (dc) dcs_.push_back(dc);
  return dc;
}

std::vector<unsigned> FuzzedWorld::lockCounts() const {
  std::vector<unsigned> counts;
  for (HGLOBAL block : blocks_) counts.push_back(GlobalFlags(block) & GMEM_LOCKCOUNT);
  return counts;
}

std::vector<double> ReadValues(FuzzReader& in, const host::EffectInfo& effect) {
  std::vector<double> values;
  for (const host::EffectParam& param : effect.params) {
    for (size_t i = 0; i < host::ValueCount(param); ++i) {
      const double fallback = param.listDefaults.empty() ? param.defaultValue : param.listDefaults[i];
      double value = fallback;
      switch (in.read<uint8_t>()) {
        case 1: {
          const uint32_t r = in.read<uint32_t>();
          if (param.kind == host::ParamKind::Int) {
            const auto span =
                static_cast<uint64_t>(static_cast<int64_t>(param.max) - static_cast<int64_t>(param.min)) + 1;
            value = static_cast<double>(static_cast<int64_t>(param.min) + static_cast<int64_t>(r % span));
          } else {
            value = param.min + (param.max - param.min) * (r / 4294967296.0);
          }
          break;
        }
        case 2:
          if (param.kind == host::ParamKind::Int) {
            value = in.read<int32_t>();
          } else {
            const uint64_t bits = in.read<uint64_t>();
            std::memcpy(&value, &bits, sizeof value);
          }
          break;
        default: break;
      }
      values.push_back(value);
    }
  }
  return values;
}

void WriteBitmap(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed) {
  out.write<int32_t>(width);
  out.write<int32_t>(height);
  out.write<uint16_t>(static_cast<uint16_t>(depth));
  out.write<uint32_t>(0);  // BI_RGB
  out.write<uint32_t>(0);  // biClrUsed
  out.write<uint32_t>(0);  // biSize 40
  out.write<uint8_t>(0);   // exact block size
  std::vector<uint8_t> pattern(251);
  uint32_t state = patternSeed * 2654435761u + 1;
  for (uint8_t& b : pattern) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  out.write<uint16_t>(static_cast<uint16_t>(pattern.size()));
  out.bytes(pattern);
}

void WriteImage(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed) {
  WriteBitmap(out, depth, width, height, patternSeed);
  out.write<uint8_t>(0);   // moveable record
  out.write<uint8_t>(0);   // valid magic
  out.write<uint32_t>(0);  // flags 16
  out.write<uint8_t>(0);   // the bitmap
  out.write<uint8_t>(0);   // exact header copy
  out.write<uint8_t>(0);   // no edits
  out.write<uint8_t>(0);   // width and height from the header
  out.write<uint32_t>(0);  // no transparency
  out.write<uint32_t>(0);  // transparent colour
  out.write<uint8_t>(0);   // no GDI object
}

void WritePlainBitmap(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed) {
  out.write<uint8_t>(0);  // a bitmap
  WriteBitmap(out, depth, width, height, patternSeed);
}

void WriteRect(FuzzWriter& out, int width, int height) {
  out.write<int32_t>(0);
  out.write<int32_t>(0);
  out.write<int32_t>(width - 1);
  out.write<int32_t>(height - 1);
}

void WriteDc(FuzzWriter& out, int width, int height) {
  out.write<uint8_t>(static_cast<uint8_t>(width));
  out.write<uint8_t>(static_cast<uint8_t>(height));
}

void WriteDefaultValues(FuzzWriter& out, const host::EffectInfo& effect) {
  for (const host::EffectParam& param : effect.params) {
    for (size_t i = 0; i < host::ValueCount(param); ++i) out.write<uint8_t>(0);
  }
}

}  // namespace ormi::fuzz
