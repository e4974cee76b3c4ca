// Exports that share no module state, run at once from several threads on different images: each
// result must be what the same call gives alone. Built as ormi-tsan-tests, and meant to run under
// ThreadSanitizer (ORMI_SANITIZE=thread), which reports any data race the calls make.
#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <string>
#include <thread>

#include "host/image_handle.h"
#include "reliability/catalog_calls.h"

namespace ormi::test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 3;

// What a call left: its result as a flag, and the bytes of the picture it changed or made.
struct Outcome {
  bool succeeded = false;
  std::vector<uint8_t> bytes;
  bool operator==(const Outcome&) const = default;
};

Outcome RunOnce(const host::EffectInfo& effect, uint32_t seed) {
  PreparedCall call(effect, seed);
  const intptr_t result = call.invoke();
  Outcome outcome{result != 0, {}};
  if (effect.result == host::ResultKind::NewImage) {
    if (result != 0) outcome.bytes = BlockBytes(host::BitmapOfImage(reinterpret_cast<HGLOBAL>(result)));
  } else if (effect.result == host::ResultKind::NewBitmap) {
    if (result != 0) outcome.bytes = BlockBytes(reinterpret_cast<HGLOBAL>(result));
  } else if (effect.result == host::ResultKind::Painted) {
    for (uint32_t pixel : call.snapshot().dcPixels) {
      for (int shift = 0; shift < 32; shift += 8) outcome.bytes.push_back(static_cast<uint8_t>(pixel >> shift));
    }
  } else if (call.image()) {
    outcome.bytes = call.image()->bytes();
  }
  FreeResult(effect, result);
  return outcome;
}

// Exports that use module state are expected one at a time: the gamma table load writes the
// table that gamma correction reads, and colour correction keeps its matrices between calls.
bool MayRunAtOnce(const host::EffectInfo& effect, bool gammaTableLoaded) {
  static const std::set<std::string> shared = {"ImgLoadGammaTable", "ImgColorCorrection"};
  if (shared.count(effect.exportName)) return false;
  // Without a loaded table every gamma correction would try to load it.
  if (std::string(effect.exportName) == "ImgGammaCorrection" && !gammaTableLoaded) return false;
  return CallableKind(effect);
}

// Loads the gamma table once through the catalog, before any thread starts; false when the
// catalog has no loader yet or the table cannot be read.
bool LoadGammaTable() {
  const host::EffectInfo* load = host::FindEffect("ImgLoadGammaTable");
  return load && load->invoke(host::EffectArgs{}) == 1;
}

class ConcurrencyTest : public MemoryCheckedTest {};

// All threads run the same export at once, so that tables an export builds on first use and any
// scratch it keeps are shared by overlapping calls.
TEST_F(ConcurrencyTest, EachExportFromSeveralThreadsAtOnceGivesTheSingleThreadedResult) {
  const bool gammaTableLoaded = LoadGammaTable();
  int exercised = 0;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    if (!MayRunAtOnce(effect, gammaTableLoaded)) continue;
    ++exercised;
    std::vector<Outcome> expected;
    for (int t = 0; t < kThreads; ++t) expected.push_back(RunOnce(effect, static_cast<uint32_t>(t + 1)));

    std::vector<std::vector<Outcome>> seen(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        for (int round = 0; round < kRounds; ++round) seen[t].push_back(RunOnce(effect, static_cast<uint32_t>(t + 1)));
      });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
      for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(seen[t][round], expected[t]) << effect.exportName << ", thread " << t << ", round " << round;
      }
    }
  }
  EXPECT_GT(exercised, 0);
}

// Threads walk the catalog from different starting points, so that different exports overlap.
TEST_F(ConcurrencyTest, DifferentExportsAtOnceGiveTheirSingleThreadedResults) {
  const bool gammaTableLoaded = LoadGammaTable();
  std::vector<const host::EffectInfo*> effects;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    if (MayRunAtOnce(effect, gammaTableLoaded)) effects.push_back(&effect);
  }
  ASSERT_FALSE(effects.empty());
  std::vector<Outcome> expected;
  for (size_t i = 0; i < effects.size(); ++i) expected.push_back(RunOnce(*effects[i], static_cast<uint32_t>(i + 11)));

  std::vector<std::vector<Outcome>> seen(kThreads, std::vector<Outcome>(effects.size()));
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (size_t k = 0; k < effects.size(); ++k) {
        const size_t i = (k + static_cast<size_t>(t) * effects.size() / kThreads) % effects.size();
        seen[t][i] = RunOnce(*effects[i], static_cast<uint32_t>(i + 11));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    for (size_t i = 0; i < effects.size(); ++i) {
      EXPECT_EQ(seen[t][i], expected[i]) << effects[i]->exportName << ", thread " << t;
    }
  }
}

}  // namespace
}  // namespace ormi::test
