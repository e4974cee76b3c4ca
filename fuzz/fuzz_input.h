// Turns fuzzer bytes into what a host hands the library: an image record with any field values,
// a valid or broken magic and a header copy that may disagree with its bitmap; a bitmap block of
// any size with any header; and the numeric arguments of an export. The same layout is written by
// the seed generator, so every field is read front to back, and a 0 selector is the sane choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ormi/effects.h>

#include "host/catalog.h"

namespace ormi::fuzz {

// Reads fields front to back; past the end every field reads as 0.
class FuzzReader {
 public:
  FuzzReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <class T>
  T read() {
    T value{};
    uint8_t bytes[sizeof(T)] = {};
    for (size_t i = 0; i < sizeof(T) && offset_ < size_; ++i) bytes[i] = data_[offset_++];
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }
  // Up to n bytes (fewer at the end of the input).
  std::vector<uint8_t> bytes(size_t n);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

// Writes the same fields, for the seeds.
class FuzzWriter {
 public:
  template <class T>
  void write(T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof value);
    out_.insert(out_.end(), bytes, bytes + sizeof(T));
  }
  void bytes(const std::vector<uint8_t>& b) { out_.insert(out_.end(), b.begin(), b.end()); }
  const std::vector<uint8_t>& data() const { return out_; }

 private:
  std::vector<uint8_t> out_;
};

// Largest bitmap block the fuzzer builds: room for a 128 x 128 32-bit picture, small enough that
// the fuzzer spends its time on many inputs rather than on large ones.
constexpr size_t kMaxFuzzBlock = size_t{1} << 16;

// Every block and object made for one input, freed together; the handles as the call sees them.
class FuzzedWorld {
 public:
  FuzzedWorld() = default;
  FuzzedWorld(const FuzzedWorld&) = delete;
  FuzzedWorld& operator=(const FuzzedWorld&) = delete;
  ~FuzzedWorld();

  // A packed bitmap: header fields, block size mode, then a byte pattern repeated over the rest.
  HGLOBAL readBitmap(FuzzReader& in);
  // An image handle (or a null, stale, fixed or short one) naming a bitmap read first.
  HGLOBAL readImage(FuzzReader& in);
  // A plain bitmap handle as an extra picture: a bitmap, or a null or stale handle.
  HGLOBAL readPlainBitmap(FuzzReader& in);
  // A rectangle; one of more than 2^22 pixels is cut to a 2048-pixel width and height, since a
  // gradient painter rightly works through every pixel it is asked for.
  static RECT readRect(FuzzReader& in);
  // A memory device context of up to 256 x 256 pixels, or none.
  HDC readDc(FuzzReader& in);

  // Lock counts of every moveable block made here, and the live block count, to compare after.
  std::vector<unsigned> lockCounts() const;

 private:
  HGLOBAL keep(HGLOBAL block) {
    if (block) blocks_.push_back(block);
    return block;
  }
  std::vector<HGLOBAL> blocks_;
  std::vector<void*> lockedHeaderCopies_;
  std::vector<HDC> dcs_;
};

// The export's argument values, laid out as EffectArgs::values: each the default, a value inside
// the catalog's range, or any value of its type (any int, any double bit pattern).
std::vector<double> ReadValues(FuzzReader& in, const host::EffectInfo& effect);

// Seeds: the fields of a sane bitmap of the given depth and size with a pattern, and of a sane image.
void WriteBitmap(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed);
void WriteImage(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed);
void WritePlainBitmap(FuzzWriter& out, int depth, int width, int height, uint32_t patternSeed);
void WriteRect(FuzzWriter& out, int width, int height);
void WriteDc(FuzzWriter& out, int width, int height);
void WriteDefaultValues(FuzzWriter& out, const host::EffectInfo& effect);

}  // namespace ormi::fuzz
