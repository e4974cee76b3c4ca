// Halos of thousands of passes (a catalog fuzzer finding): the diffusion ends at the first pass
// that changes nothing, so these take milliseconds where every pass over the canvas took minutes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "support/test_image.h"

namespace ormi {
namespace {

using test::TestImage;

class HaloStopTest : public test::MemoryCheckedTest {};

// Every pass that adds a ring has k above 255, so each ring is one below the ring inside it.
TEST_F(HaloStopTest, OnePixelGrowsRingsDownToZero) {
  constexpr int kPasses = 2000, kSide = 2 * kPasses + 3;
  TestImage source({.depth = 32, .width = 1, .height = 1}, {{0xFF123456}});
  TestImage result(ImgDiff(source.handle(), kPasses));
  ASSERT_NE(result.handle(), nullptr);
  const std::vector<uint8_t> bytes = result.bytes();
  ASSERT_EQ(bytes.size(), 40u + 4u * kSide * kSide);
  size_t wrong = 0;
  for (size_t i = 0; i < size_t{kSide} * kSide; ++i) {
    const int x = static_cast<int>(i % kSide), y = static_cast<int>(i / kSide);
    const int distance = std::max(std::abs(x - kPasses - 1), std::abs(y - kPasses - 1));
    uint32_t pixel;
    std::memcpy(&pixel, bytes.data() + 40 + 4 * i, 4);
    wrong += pixel != (static_cast<uint32_t>(std::max(0, 255 - distance)) << 24 | 0x123456u);
  }
  EXPECT_EQ(wrong, 0u);
}

// Holes and alphas of 0, 1 and 2 in the source: the halo of 2000 passes is the one of 600 (settled
// long before its k falls to 255) inside a border 1400 pixels wider.
TEST_F(HaloStopTest, AFarWiderBorderHoldsTheSameHalo) {
  TestImage source({.depth = 32, .width = 3, .height = 2}, {{0, 0xC8000000, 0x01000000}, {0x02000000, 0, 0x5A000000}});
  TestImage wide(ImgDiff(source.handle(), 2000)), narrow(ImgDiff(source.handle(), 600));
  ASSERT_TRUE(wide.handle() && narrow.handle());
  const size_t width = static_cast<size_t>(narrow.header().biWidth), wideWidth = width + 2800;
  const std::vector<uint8_t> wideBytes = wide.bytes(), narrowBytes = narrow.bytes();
  ASSERT_EQ(wideBytes.size(), 40 + 4 * wideWidth * wideWidth - 4 * wideWidth);  // 4005 by 4004
  for (size_t y = 0; y < static_cast<size_t>(narrow.header().biHeight); ++y) {
    const uint8_t* inWide = wideBytes.data() + 40 + 4 * ((y + 1400) * wideWidth + 1400);
    ASSERT_EQ(std::memcmp(inWide, narrowBytes.data() + 40 + 4 * y * width, 4 * width), 0) << "row " << y;
  }
}

}  // namespace
}  // namespace ormi
