// Exports that share no module state, run at once from several threads on different images: each
// result must be what the same call gives alone. Built as ormi-tsan-tests, and meant to run under
// ThreadSanitizer (ORMI_SANITIZE=thread), which reports any data race the calls make.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <string_view>
#include <thread>

#include "host/image_handle.h"
#include "reliability/catalog_calls.h"

namespace ormi::test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 3;

// What a call left: its result as a flag, and the bytes of the picture it changed or made.
std::vector<uint8_t> RunOnce(const host::EffectInfo& effect, uint32_t seed) {
  PreparedCall call(effect, seed);
  const intptr_t result = call.invoke();
  std::vector<uint8_t> bytes{result != 0}, picture;
  if (result != 0 && effect.result == host::ResultKind::NewImage) {
    picture = BlockBytes(host::BitmapOfImage(reinterpret_cast<HGLOBAL>(result)));
  } else if (result != 0 && effect.result == host::ResultKind::NewBitmap) {
    picture = BlockBytes(reinterpret_cast<HGLOBAL>(result));
  } else if (effect.result == host::ResultKind::Painted) {
    for (uint32_t pixel : call.snapshot().dcPixels) {
      for (int shift = 0; shift < 32; shift += 8) picture.push_back(static_cast<uint8_t>(pixel >> shift));
    }
  } else if (call.image()) {
    picture = call.image()->bytes();
  }
  FreeResult(effect, result);
  bytes.insert(bytes.end(), picture.begin(), picture.end());
  return bytes;
}

// Exports that use module state are expected one at a time: the gamma table load writes the
// table that gamma correction reads (loaded once before the threads start), and colour
// correction keeps its matrices between calls.
std::vector<const host::EffectInfo*> MayRunAtOnce() {
  const host::EffectInfo& load = EffectNamed("ImgLoadGammaTable");
  const bool loaded = load.invoke(host::EffectArgs{}) == 1;
  std::vector<const host::EffectInfo*> effects;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    const std::string_view name = effect.exportName;
    if (name == "ImgLoadGammaTable" || name == "ImgColorCorrection" || (name == "ImgGammaCorrection" && !loaded))
      continue;
    effects.push_back(&effect);
  }
  return effects;
}

// Every thread walks the exports, each kRounds times on its own image; thread t starts `shift`
// times t exports further on, so that a shift of 0 overlaps calls of one export (tables built on
// first use, scratch kept by an export) and others overlap different exports.
void RunFromThreads(size_t shift) {
  const std::vector<const host::EffectInfo*> effects = MayRunAtOnce();
  ASSERT_FALSE(effects.empty());
  std::vector<std::vector<std::vector<uint8_t>>> expected(kThreads);
  for (int t = 0; t < kThreads; ++t)
    for (size_t i = 0; i < effects.size(); ++i)
      expected[t].push_back(RunOnce(*effects[i], static_cast<uint32_t>(t + 1)));
  std::vector<std::string> mismatches(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (size_t k = 0; k < effects.size(); ++k) {
        const size_t i = (k + shift * static_cast<size_t>(t)) % effects.size();
        for (int round = 0; round < kRounds; ++round) {
          if (RunOnce(*effects[i], static_cast<uint32_t>(t + 1)) != expected[t][i])
            mismatches[t] += effects[i]->exportName;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], "") << "thread " << t << " differed in these";
}

class ConcurrencyTest : public MemoryCheckedTest {};

TEST_F(ConcurrencyTest, OneExportFromSeveralThreadsAtOnceGivesTheSingleThreadedResult) { RunFromThreads(0); }

TEST_F(ConcurrencyTest, DifferentExportsAtOnceGiveTheirSingleThreadedResults) {
  RunFromThreads(host::EffectCatalog().size() / kThreads);
}

}  // namespace
}  // namespace ormi::test
