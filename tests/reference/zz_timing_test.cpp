#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <random>
#include "filters/emboss_edge.h"
#include "filters/enhance.h"
#include "tone/histogram.h"
#include "tone/luminance_kernels.h"
#include "tone/pixel_walk.h"
#include "support/test_image.h"
namespace ormi::test {
TEST(ZzTiming, Pieces) {
  const int n = 4096;
  TestImage image(BitmapSpec{.depth = 32, .width = n, .height = n});
  HGLOBAL bitmap = image.bitmap();
  auto* p = static_cast<uint8_t*>(GlobalLock(bitmap));
  DibBlock block{p, GlobalSize(bitmap)};
  std::mt19937 r(1);
  uint8_t* bits = p + 40;
  for (size_t i = 0; i < size_t{4} * n * n; ++i) bits[i] = static_cast<uint8_t>(r());
  auto time = [&](const char* name, auto f) {
    double best = 1e9;
    for (int k = 0; k < 5; ++k) {
      timespec a, b;
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
      f();
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
      best = std::min(best, static_cast<double>(b.tv_sec - a.tv_sec) * 1e3 + static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e6);
    }
    std::printf("%-20s %.2f ms\n", name, best);
  };
  std::vector<uint8_t> levels(512);
  time("levels", [&] { for (size_t i = 0; i < size_t{n} * n; i += 512) LuminanceLevels(bits + 4 * i, 512, levels.data(), ActiveSimdLevel()); });
  ComponentTable t; for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(255 - i);
  time("table", [&] { ApplyComponentTable32(bits, size_t{n} * n, std::nullopt, t); });
  time("normalise", [&] { ImgNormalisePixels(block, std::nullopt); });
  time("edgewindows", [&] { EdgeWindows(block, 50, std::nullopt); });
  time("embosswindows", [&] { EmbossWindows(block, std::nullopt); });
  time("enhance avx2", [&] { ImgEnhancePixels(block, std::nullopt); });
  ForceSimdLevelForTesting(SimdLevel::Sse2);
  time("enhance sse2", [&] { ImgEnhancePixels(block, std::nullopt); });
  ForceSimdLevelForTesting(std::nullopt);
  std::vector<uint8_t> copy(size_t{4} * n * n);
  time("memcpy", [&] { std::memcpy(copy.data(), bits, copy.size()); });
  GlobalUnlock(bitmap);
}
}
