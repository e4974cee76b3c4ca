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

// Whether the tests know how to build the arguments of this export's kind. Kinds added to the
// catalog later are skipped until their inputs are built here.
bool CallableKind(const host::EffectInfo& effect);

// The catalog entry of an export name (asserted to exist).
const host::EffectInfo& EffectNamed(const char* exportName);

// One prepared call: a fresh image of the export's representative depth (or the one given), with
// pixels and colour table drawn from a seed, and the default parameter values (or those given).
class PreparedCall {
 public:
  PreparedCall(const host::EffectInfo& effect, uint32_t seed);
  PreparedCall(const host::EffectInfo& effect, uint32_t seed, int depth, std::vector<double> values);

  const host::EffectInfo& effect() const { return *effect_; }
  TestImage* image() const { return image_.get(); }
  intptr_t invoke() const;

  // Everything the call may touch, to compare before and after.
  struct Snapshot {
    std::vector<uint8_t> record, bitmap, headerCopy;
    LockState locks{};
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot snapshot() const;

 private:
  const host::EffectInfo* effect_;
  std::unique_ptr<TestImage> image_;
  std::vector<double> values_;
};

// The depth a representative image of this export has: 32 bits where accepted, else the deepest.
int RepresentativeDepth(const host::EffectInfo& effect);

// Frees what a call returned (a new image handle), so that block accounting balances.
void FreeResult(const host::EffectInfo& effect, intptr_t result);

// The export names of the catalog, for parameterised tests.
std::vector<const char*> CatalogExportNames();

}  // namespace ormi::test
