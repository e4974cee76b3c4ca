// Every export of the catalog through the real DLL on the real Win32 API: the representative call
// at each accepted depth succeeds, leaves every lock count (GlobalFlags) as it was and does its
// work; a record with a broken magic is refused and left as it was by every export that checks it;
// and every export leaves the native library's bytes (digests in ORMI_NATIVE_DIGESTS). The suite
// builds natively too, so its expectations hold on both platforms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "reliability/catalog_calls.h"
#include "wine/result_digests.h"

namespace ormi::test {
namespace {

// The direct-frame exports take the caller's word that the handle is an image record.
bool ChecksMagic(std::string_view exportName) {
  constexpr std::string_view kUnchecked[] = {"ImgRotate", "ImgBlockRotate", "ImgBrightness", "ImgGamma"};
  return std::find(std::begin(kUnchecked), std::end(kUnchecked), exportName) == std::end(kUnchecked);
}

class WindowsExportsTest : public testing::TestWithParam<const char*> {};

TEST_P(WindowsExportsTest, RepresentativeCallsWorkAndRestoreLockCounts) {
  const host::EffectInfo& effect = EffectNamed(GetParam());
  std::vector<int> depths = effect.depths;
  if (depths.empty()) depths.push_back(RepresentativeDepth(effect));
  for (int depth : depths) {
    SCOPED_TRACE(depth);
    PreparedCall call(effect, 7, depth, host::DefaultValues(effect));
    const PreparedCall::Snapshot before = call.snapshot();
    const intptr_t result = call.invoke();
    const PreparedCall::Snapshot after = call.snapshot();
    EXPECT_EQ(after.locks, before.locks);
    EXPECT_EQ(after.extraLocks, before.extraLocks);
    if (depth == RepresentativeDepth(effect)) {
      EXPECT_NE(result, 0);
      if (effect.result == host::ResultKind::InPlace) {
        EXPECT_NE(after.bitmap, before.bitmap);
      }
      if (effect.result == host::ResultKind::Painted) {
        EXPECT_NE(after.dcPixels, before.dcPixels);
      }
    }
    FreeResult(effect, result);
  }
}

TEST_P(WindowsExportsTest, ABrokenMagicIsRefusedAndLeftAsItWas) {
  const host::EffectInfo& effect = EffectNamed(GetParam());
  if (effect.result != host::ResultKind::InPlace && effect.result != host::ResultKind::NewImage) {
    GTEST_SKIP() << "takes no image record";
  }
  if (!ChecksMagic(effect.exportName)) GTEST_SKIP() << "does not check the magic";
  PreparedCall call(effect, 7);
  call.image()->edit([](ImageRecord& r) { r.magic[3] = '1'; });
  const PreparedCall::Snapshot before = call.snapshot();
  EXPECT_EQ(call.invoke(), 0);
  EXPECT_EQ(call.snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Catalog, WindowsExportsTest, testing::ValuesIn(CatalogExportNames()),
                         [](const testing::TestParamInfo<const char*>& param) { return std::string(param.param); });

TEST(CrossPlatformTest, EveryExportLeavesTheSameBytesAsTheNativeLibrary) {
  const char* path = std::getenv("ORMI_NATIVE_DIGESTS");
  if (path == nullptr) GTEST_SKIP() << "ORMI_NATIVE_DIGESTS names no file of native digests";
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    expected.push_back(line);
  }
  const std::vector<std::string> actual = ResultDigests();
  ASSERT_EQ(actual.size(), expected.size());
  size_t differing = 0;
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i] && ++differing <= 20)
      ADD_FAILURE() << "here: " << actual[i] << "\nnative: " << expected[i];
  }
  EXPECT_EQ(differing, 0u) << "of " << actual.size() << " calls";
}

}  // namespace
}  // namespace ormi::test
