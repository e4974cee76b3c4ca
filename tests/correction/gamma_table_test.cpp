// The gamma table file: loading, reloading, short and long files, missing and unreadable files,
// the path limit, the module entry, and the table shipped with the build.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "correction/gamma_table.h"
#include "correction/gamma_table_dir.h"
#include "exports/module_entry.h"
#include "support/test_image.h"

namespace ormi {
namespace {

namespace fs = std::filesystem;
using test::GammaFile;
using test::GammaTableDir;

// A pattern in which every byte differs from its neighbours and from its position.
GammaFile Pattern(size_t size, int seed) {
  GammaFile bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256 + static_cast<size_t>(seed));
  return bytes;
}

GammaFile Zeros() { return GammaFile(kGammaTableBytes, 0); }

class GammaTableTest : public test::MemoryCheckedTest {
 protected:
  GammaTableDir tables;
};

TEST_F(GammaTableTest, LoadIsAnExactImageOfTheFile) {
  const GammaFile bytes = Pattern(kGammaTableBytes, 3);
  tables.write(bytes);
  EXPECT_EQ(ImgLoadGammaTable(), 1);
  EXPECT_EQ(IsGammaTableLoaded(), 1);
  EXPECT_EQ(test::LoadedGammaTable(), bytes);
  EXPECT_EQ(GetGammaTableByte(3583), bytes[3583]);
}

class GammaTableLengthTest : public GammaTableTest, public ::testing::WithParamInterface<size_t> {};

// A longer file gives its first 3584 bytes; a shorter one its bytes and zero behind them, even
// over a table that was loaded before.
TEST_P(GammaTableLengthTest, TakesTheFirstBytesAndZeroBehindAShortFile) {
  const size_t length = GetParam();
  tables.write(Pattern(kGammaTableBytes, 1));
  ASSERT_EQ(ImgLoadGammaTable(), 1);

  const GammaFile bytes = Pattern(length, 9);
  tables.write(bytes);
  EXPECT_EQ(ImgLoadGammaTable(), 1);
  EXPECT_EQ(IsGammaTableLoaded(), 1);
  GammaFile expected = Zeros();
  std::copy_n(bytes.begin(), std::min(length, kGammaTableBytes), expected.begin());
  EXPECT_EQ(test::LoadedGammaTable(), expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, GammaTableLengthTest, ::testing::Values(0, 1, 255, 3583, 3584, 3585, 8192));

TEST_F(GammaTableTest, MissingFileFailsAndForgetsTheOldTable) {
  tables.write(Pattern(kGammaTableBytes, 5));
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  tables.remove();
  EXPECT_EQ(ImgLoadGammaTable(), 0);
  EXPECT_EQ(IsGammaTableLoaded(), 0);
  EXPECT_EQ(test::LoadedGammaTable(), Zeros());
}

TEST_F(GammaTableTest, AFolderNamedLikeTheFileIsNotATable) {
  tables.write(Pattern(kGammaTableBytes, 5));
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  tables.remove();
  fs::create_directory(tables.file());
  EXPECT_EQ(ImgLoadGammaTable(), 0);
  EXPECT_EQ(IsGammaTableLoaded(), 0);
  EXPECT_EQ(test::LoadedGammaTable(), Zeros());
}

// Loads in a child process run as a user who may read but not write the file (root may write
// anything). The child reports 1 when writing was refused, the load succeeded and the table holds
// the file's bytes.
int LoadAsReader(const fs::path& file, const GammaFile& expected) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    if (std::FILE* writable = std::fopen(file.c_str(), "rb+")) {
      std::fclose(writable);
      _exit(11);
    }
    if (ImgLoadGammaTable() != 1) _exit(12);
    _exit(test::LoadedGammaTable() == expected ? 1 : 13);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(GammaTableTest, AFileTheUserMayNotWriteStillLoads) {
  const GammaFile bytes = Pattern(kGammaTableBytes, 7);
  tables.write(bytes);
  fs::permissions(tables.dir(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(tables.file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(LoadAsReader(tables.file(), bytes), 1);
}

// A folder below the test folder whose path is exactly `length` characters long.
fs::path FolderOfLength(const fs::path& base, size_t length) {
  fs::path dir = base;
  while (dir.string().size() < length) {
    const size_t remaining = length - dir.string().size() - 1;  // after the separator
    size_t component = std::min<size_t>(remaining, 100);
    if (remaining - component == 1) --component;  // a last step of one would need an empty name
    dir /= std::string(component, 'd');
  }
  fs::create_directories(dir);
  return dir;
}

void RemoveFolders(const fs::path& base) {
  for (const fs::directory_entry& entry : fs::directory_iterator(base)) {
    if (entry.is_directory()) fs::remove_all(entry.path());
  }
}

TEST_F(GammaTableTest, APathThatDoesNotFitInTheBufferFails) {
  // "<dir>/gammalut.tbl" and its terminator fit in 260 characters exactly when dir has 246.
  const GammaFile bytes = Pattern(kGammaTableBytes, 2);
  for (size_t length : {245, 246, 247, 259, 260, 300}) {
    const fs::path dir = FolderOfLength(tables.dir(), length);
    ASSERT_EQ(dir.string().size(), length);
    std::ofstream(dir / kGammaTableFileName, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    setenv("WINDIR", dir.c_str(), 1);
    const int expected = length <= 246 ? 1 : 0;
    EXPECT_EQ(ImgLoadGammaTable(), expected) << "length " << length;
    EXPECT_EQ(IsGammaTableLoaded(), expected);
    EXPECT_EQ(test::LoadedGammaTable(), expected ? bytes : Zeros());
    RemoveFolders(tables.dir());
  }
}

TEST_F(GammaTableTest, AccessorsAndClear) {
  SetGammaTableByte(0, 17);
  SetGammaTableByte(3583, 250);
  SetGammaTableLoaded(1);
  EXPECT_EQ(GetGammaTableByte(0), 17);
  EXPECT_EQ(GetGammaTableByte(3583), 250);
  EXPECT_EQ(IsGammaTableLoaded(), 1);
  ClearGammaTable();
  EXPECT_EQ(IsGammaTableLoaded(), 0);
  EXPECT_EQ(test::LoadedGammaTable(), Zeros());
}

TEST_F(GammaTableTest, AttachingToAProcessClearsTheFlagOnly) {
  tables.write(Pattern(kGammaTableBytes, 4));
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  AttachProcess();
  EXPECT_EQ(IsGammaTableLoaded(), 0);
  EXPECT_EQ(test::LoadedGammaTable(), Pattern(kGammaTableBytes, 4));
}

TEST_F(GammaTableTest, TableOffsets) {
  EXPECT_EQ(GammaProfileTableOffset(0, 0), 0u);
  EXPECT_EQ(GammaProfileTableOffset(0, 2), 512u);
  EXPECT_EQ(GammaProfileTableOffset(1, 1), 1024u);
  EXPECT_EQ(GammaProfileTableOffset(3, 2), 2816u);
  EXPECT_EQ(kGammaEncodeTableOffset, 3072u);
  EXPECT_EQ(kGammaDecodeTableOffset, 3328u);
}

// The file generated into the build tree, found there without $WINDIR and without installing.
class ShippedGammaTableTest : public test::MemoryCheckedTest {
 protected:
  void SetUp() override {
    MemoryCheckedTest::SetUp();
    if (const char* old = std::getenv("WINDIR")) saved_ = old;
    unsetenv("WINDIR");
  }
  void TearDown() override {
    if (saved_) setenv("WINDIR", saved_->c_str(), 1);
    ClearGammaTable();
    MemoryCheckedTest::TearDown();
  }
  std::optional<std::string> saved_;
};

TEST_F(ShippedGammaTableTest, LoadsFromTheBuildTreeWithTheDocumentedCurves) {
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  const GammaFile table = test::LoadedGammaTable();
  for (size_t n = 0; n < 14; ++n) {
    const uint8_t* curve = table.data() + 256 * n;
    EXPECT_EQ(curve[255], 255) << "table " << n;
    for (int x = 1; x < 256; ++x) ASSERT_LE(curve[x - 1], curve[x]) << "table " << n << " rises at " << x;
    if (n < 12) {
      EXPECT_EQ(curve[9], 0) << "profile curves start at the stretched black, 9";
      EXPECT_GT(curve[10], 0) << "table " << n;
    }
  }
  // Table 12: 255 * (128 / 255) ^ (1 / 2.2) = 186.42; table 13: 255 * (128 / 255) ^ 2.2 = 55.98.
  EXPECT_EQ(table[3072 + 0], 0);
  EXPECT_EQ(table[3072 + 128], 186);
  EXPECT_EQ(table[3328 + 128], 56);
  EXPECT_EQ(table[3328 + 186], 127);  // back near 128
  // Profile 1: red gamma 1.1 at the middle of 9..255: 255 * 0.5 ^ (1 / 1.1) = 135.8; blue linear: 127.5.
  EXPECT_EQ(table[132], 136);
  EXPECT_EQ(table[512 + 132], 128);
}

}  // namespace
}  // namespace ormi
