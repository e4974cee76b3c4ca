// Every export, on an input it does real work on, with each of its locks and allocations failing
// in turn: the result is the one its design gives for that failure, every lock count is back
// where it was, no block is left live, and a failure that promises no change changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "reliability/catalog_calls.h"
#include "reliability/export_frames.h"

namespace ormi::test {
namespace {

constexpr uint32_t kSeed = 7;

// Global or local memory locks and allocations, and the process-heap buffers of the library.
struct Fault {
  const char* name;
  long (*calls)();
  void (*arm)(long n);
};
const Fault kFaults[] = {{"lock", Win32EmuLockCalls, Win32EmuFailNextLock},
                         {"allocation", Win32EmuAllocCalls, Win32EmuFailNextAlloc},
                         {"heap allocation", Win32EmuHeapAllocCalls, Win32EmuFailNextHeapAlloc}};

// One input to fail on: a depth the export accepts and a set of argument values.
struct CallCase {
  BitmapSpec image;
  std::vector<double> values;
};

// The default arguments and each set whose path differs, at every accepted depth. At the
// representative depth each must succeed; elsewhere, sets refused there (an angle that only
// 32-bit images turn by) are left out.
std::vector<CallCase> CasesOf(const host::EffectInfo& effect) {
  std::vector<std::vector<double>> argumentSets = {host::DefaultValues(effect)};
  for (const auto& values : ExportFrameOf(effect.exportName).moreArgs) argumentSets.push_back(values);
  std::vector<int> depths = effect.depths;
  if (depths.empty()) depths.push_back(RepresentativeDepth(effect));
  std::vector<CallCase> cases;
  for (const std::vector<double>& values : argumentSets) {
    for (int depth : depths) {
      const BitmapSpec image{.depth = depth, .width = 9, .height = 7};
      PreparedCall call(effect, kSeed, image, values);
      const intptr_t result = call.invoke();
      FreeResult(effect, result);
      if (depth == RepresentativeDepth(effect) || result != 0) cases.push_back({image, values});
    }
  }
  for (const BitmapSpec& image : ExportFrameOf(effect.exportName).moreImages) cases.push_back({image, argumentSets[0]});
  return cases;
}

std::string Describe(const CallCase& c) {
  return testing::PrintToString(std::vector{c.image.width, c.image.height, c.image.depth}) +
         " (width, height, depth), " + testing::PrintToString(c.values);
}

class FailurePathTest : public MemoryCheckedTest, public testing::WithParamInterface<const char*> {};

TEST_P(FailurePathTest, EachLockAndAllocationFailureIsReportedAndLeavesNothingBehind) {
  const host::EffectInfo& effect = EffectNamed(GetParam());
  const ExportFrame& frame = ExportFrameOf(effect.exportName);
  for (const CallCase& c : CasesOf(effect)) {
    // The reference call succeeds and, in place, really changes the image: otherwise "nothing
    // changed" below would prove nothing.
    long total[3];
    {
      SCOPED_TRACE(Describe(c));
      PreparedCall call(effect, kSeed, c.image, c.values);
      const PreparedCall::Snapshot before = call.snapshot();
      long start[3];
      for (int f = 0; f < 3; ++f) start[f] = kFaults[f].calls();
      const intptr_t result = call.invoke();
      for (int f = 0; f < 3; ++f) total[f] = kFaults[f].calls() - start[f];
      const bool inPlace = effect.result == host::ResultKind::InPlace || effect.result == host::ResultKind::Painted;
      ExpectOutcome(result, before, call.snapshot(), inPlace ? kChanged : kMade);
      FreeResult(effect, result);
    }
    for (int f = 0; f < 3; ++f) {
      for (long n = 1; n <= total[f]; ++n) {
        SCOPED_TRACE(testing::Message() << Describe(c) << ": " << kFaults[f].name << " #" << n << " fails");
        PreparedCall call(effect, kSeed, c.image, c.values);
        const PreparedCall::Snapshot before = call.snapshot();
        const size_t liveBefore = Win32EmuLiveBlocks(), heapBefore = Win32EmuLiveHeapBlocks();
        const long callsBefore = kFaults[f].calls();
        kFaults[f].arm(n);
        const intptr_t result = call.invoke();
        kFaults[f].arm(0);
        EXPECT_GE(kFaults[f].calls() - callsBefore, n) << "the call never reached the failing " << kFaults[f].name;
        const bool recordLock = f == 0 && n <= frame.records;
        ExpectOutcome(result, before, call.snapshot(), recordLock ? kZero : frame.unreached);
        FreeResult(effect, result);
        EXPECT_EQ(Win32EmuLiveBlocks(), liveBefore) << "a block was left live";
        EXPECT_EQ(Win32EmuLiveHeapBlocks(), heapBefore) << "a heap block was left live";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Catalog, FailurePathTest, testing::ValuesIn(CatalogExportNames()),
                         [](const testing::TestParamInfo<const char*>& param) { return std::string(param.param); });

}  // namespace
}  // namespace ormi::test
