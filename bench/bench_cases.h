// The pictures and calls every timing program of bench/ makes: the Google Benchmark one on Linux
// and the portable one that also runs against the DLL under Windows, so that both time the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/catalog.h"

namespace ormi::bench {

// A noisy bottom-up 32-bit bitmap: every effect has real work on every pixel. Opaque unless
// `holes`, which gives a quarter of the pixels alpha 0 (the alpha pictures some effects take).
HGLOBAL MakeNoise(int width, int height, bool holes);

// The input of an export: a square noisy image record at the export's preferred depth.
HGLOBAL MakeBenchImage(const host::EffectInfo& effect, int size);

// The pictures an effect takes besides its input, freed with the object.
struct Extras {
  std::vector<HGLOBAL> handles;
  std::vector<host::ExtraKind> kinds;
  Extras(const host::EffectInfo& effect, int size);
  ~Extras();
  Extras(const Extras&) = delete;
  Extras& operator=(const Extras&) = delete;
};

// One timed configuration of an export: a name suffix ("" for the defaults) and the parameters
// that differ from their defaults. The settings the goals are stated for; every other export runs
// once with its defaults. Effects without an image and the painter have none.
struct Variant {
  const char* suffix;
  std::vector<std::pair<const char*, double>> values;
};
std::vector<Variant> VariantsOf(const host::EffectInfo& effect);

// An export ready to be called again and again on the same input.
class ExportCall {
 public:
  ExportCall(const host::EffectInfo& effect, const Variant& variant, int size);
  ~ExportCall();
  ExportCall(const ExportCall&) = delete;
  ExportCall& operator=(const ExportCall&) = delete;
  // One call from the record's first state (some effects change its transparency and refuse a
  // second call on it), its new image or bitmap freed. The export's result.
  intptr_t operator()();

 private:
  const host::EffectInfo& effect_;
  HGLOBAL image_;
  Extras extras_;
  std::vector<double> values_;
  host::EffectArgs args_;
  uint32_t transparency_, transparentColor_;
};

// A locked global block filled with one byte, the memory every image lives in, so that the floors
// and the exports pay the same for pages and address translation.
class GlobalBuffer {
 public:
  GlobalBuffer(size_t bytes, uint8_t fill);
  ~GlobalBuffer();
  GlobalBuffer(const GlobalBuffer&) = delete;
  GlobalBuffer& operator=(const GlobalBuffer&) = delete;
  uint8_t* data() const { return data_; }

 private:
  HGLOBAL block_;
  uint8_t* data_ = nullptr;
};

// The floors, each over a size x size 32-bit picture: a copy between two blocks; the copy into a
// fresh zero-filled block, then freed (the floor of every export that returns a new image: its
// pages are new on every call); one read-modify-write pass in place.
void FreshCopy(const uint8_t* from, size_t bytes);
void InPlacePass(uint8_t* data, size_t bytes);

}  // namespace ormi::bench
