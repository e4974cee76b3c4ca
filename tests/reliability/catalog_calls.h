// Calls of catalog exports on representative inputs, shared by the failure-path and concurrency
// tests: an image each export does real work on, its default arguments, and a way to compare
// what the call left behind.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/catalog.h"
#include "support/test_image.h"

namespace ormi::test {

// The catalog entry of an export name (asserted to exist).
const host::EffectInfo& EffectNamed(const char* exportName);

// One prepared call: a fresh image of the export's representative depth (or the depth given), with
// pixels and colour table drawn from a seed, the default parameter values (or those given), the
// extra pictures the export takes (a second 32-bit image of the same size, a 1-bit text mask of the
// image's size, a 32-bit tile), the image's whole rectangle and, for painters, a memory DC of its size.
class PreparedCall {
 public:
  PreparedCall(const host::EffectInfo& effect, uint32_t seed, int depth = 0, std::vector<double> values = {});
  // The same on an image laid out as `image` says (header, tables and block size as given, the
  // bytes behind the header drawn from the seed); `extras` lays out the extra pictures the same
  // way (an empty list, or a depth of 0 in an entry: the usual picture of that kind).
  PreparedCall(const host::EffectInfo& effect, uint32_t seed, const BitmapSpec& image, std::vector<double> values,
               const std::vector<BitmapSpec>& extras = {});
  PreparedCall(const PreparedCall&) = delete;
  PreparedCall& operator=(const PreparedCall&) = delete;
  ~PreparedCall();

  const host::EffectInfo& effect() const { return *effect_; }
  TestImage* image() const { return image_.get(); }
  intptr_t invoke() const;
  // The arguments invoke() passes, for callers that change one before calling effect().invoke.
  host::EffectArgs args() const;

  // Everything the call may touch, to compare before and after.
  struct Snapshot {
    std::vector<uint8_t> record, bitmap, headerCopy;
    LockState locks{};
    std::vector<std::vector<uint8_t>> extras;  // every block of the extra pictures
    std::vector<int> extraLocks;
    std::vector<uint32_t> dcPixels;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot snapshot() const;

 private:
  const host::EffectInfo* effect_;
  std::unique_ptr<TestImage> image_;
  std::vector<double> values_;
  std::vector<std::unique_ptr<TestImage>> extraImages_;  // image-handle extras
  std::vector<HGLOBAL> extraBitmaps_;                    // plain-bitmap extras, freed here
  std::vector<HGLOBAL> extras_;                          // in catalog order
  RECT rect_{};
  HDC dc_ = nullptr;
};

// The depth a representative image of this export has: 32 bits where accepted, else the deepest.
int RepresentativeDepth(const host::EffectInfo& effect);

// Frees what a call returned (a new image or bitmap handle), so that block accounting balances.
void FreeResult(const host::EffectInfo& effect, intptr_t result);

// The export names of the catalog, for parameterised tests.
std::vector<const char*> CatalogExportNames();

}  // namespace ormi::test
