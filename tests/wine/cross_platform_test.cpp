// The library here against the native one: every export on the same inputs leaves the same bytes.
// tests/wine/run passes the native build's digests in ORMI_NATIVE_DIGESTS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "wine/result_digests.h"

namespace ormi::test {
namespace {

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
