// One table of everything an export must refuse or take in its stride: broken handles, records and header
// copies, refused depths, short blocks, top-down rows and each export's own refusals. Every row checks the
// result, that every lock count is back where it was, that no block is left live and that a refusal changed nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>

#include "image/dib.h"
#include "reliability/catalog_calls.h"
#include "reliability/export_frames.h"

namespace ormi::test {
namespace {

constexpr int kWidth = 9, kHeight = 7;  // the inputs' usual size (catalog_calls)

// One call in the making: the prepared inputs, the arguments actually passed, and how to put
// back what the row broke, which happens after the call and before its inputs are compared.
struct Spoiled {
  PreparedCall& call;
  const ExportFrame& frame;
  host::EffectArgs args;
  std::vector<HGLOBAL> extras;
  std::vector<uint8_t> pixelsBefore;
  HGDIOBJ gdi = nullptr;
  std::vector<HGLOBAL> blocks;  // made by the row, freed at its end
  std::vector<std::function<void()>> undo;

  BITMAPINFOHEADER* headerCopy() const {
    return static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(call.image()->record().header));
  }
  // Changes a record for the call; afterwards all but its transparency fields (which exports may
  // write) are put back.
  void spoilRecord(HGLOBAL image, const std::function<void(ImageRecord&)>& change) {
    auto* record = static_cast<ImageRecord*>(GlobalLock(image));
    const ImageRecord saved = *record;
    change(*record);
    GlobalUnlock(image);
    undo.push_back([image, saved] {
      auto* r = static_cast<ImageRecord*>(GlobalLock(image));
      const uint32_t transparency = r->transparency, color = r->transparentColor;
      *r = saved;
      r->transparency = transparency, r->transparentColor = color;
      GlobalUnlock(image);
    });
  }
  void spoilRecord(const std::function<void(ImageRecord&)>& change) { spoilRecord(args.image, change); }
  void spoilHeaderCopy(const std::function<void(BITMAPINFOHEADER&)>& change) {
    BITMAPINFOHEADER* copy = headerCopy();
    const BITMAPINFOHEADER saved = *copy;
    change(*copy);
    undo.push_back([copy, saved] { *copy = saved; });
  }
  HGLOBAL copyOf(HGLOBAL block, size_t size) {
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(copy), BlockBytes(block).data(), std::min<size_t>(size, GlobalSize(block)));
    GlobalUnlock(copy);
    blocks.push_back(copy);
    return copy;
  }
  HGLOBAL staleCopyOf(HGLOBAL block) {
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, GlobalSize(block));
    GlobalFree(copy);
    return copy;
  }
};

using Spoil = void (*)(Spoiled&);

bool TakesImage(const host::EffectInfo& e) {
  return e.result == host::ResultKind::InPlace || e.result == host::ResultKind::NewImage;
}
Outcome Works(const host::EffectInfo& e) { return e.result == host::ResultKind::InPlace ? kChanged : kMade; }
Outcome Refused(const ExportFrame& f) { return {Result::Zero, f.unreached.changes}; }

// A call that differs from the usual one of its export: the input, the argument values besides the
// defaults, the extra pictures, what is spoiled for the call and the state the input is in before it.
struct Own {
  std::string what;
  BitmapSpec image;
  Outcome expected;
  std::map<size_t, double> values = {};
  std::vector<BitmapSpec> extras = {};
  Spoil spoil = nullptr, prepare = nullptr;  // prepare is not put back
};
// A row of the table, as run.
struct Row {
  const host::EffectInfo* effect;
  Own call;
  Spoil check = nullptr;  // after the call, before the inputs are compared
  std::string name() const { return std::string(effect->exportName) + "_" + call.what; }
};

BitmapSpec Layout(int depth, int width, int height, long size = -1, uint32_t clrUsed = 0) {
  return {.depth = depth, .width = width, .height = height, .clrUsed = clrUsed, .sizeOverride = size};
}

// Spoils of one row each that set (or add to) one field of the record or of its header copy.
template <auto Field, int Value, bool Add = false>
void Set(Spoiled& s) {
  const auto set = [](auto& t) {
    auto& field = t.*Field;
    field = static_cast<std::remove_reference_t<decltype(field)>>((Add ? static_cast<int64_t>(field) : 0) + Value);
  };
  if constexpr (requires(BITMAPINFOHEADER h) { h.*Field; })
    s.spoilHeaderCopy(set);
  else
    s.spoilRecord(set);
}

// --- the cases every export meets: broken handles, records and header copies, broken extras, inverted
// rectangles, each refused depth, short blocks, top-down rows, byte-less rows

void SetGdiObject(Spoiled& s, uint32_t flags) {
  s.gdi = Win32EmuCreateGdiObject();
  s.spoilRecord([&](ImageRecord& r) { r.gdiObject = OrmiFieldFromGdiObject(s.gdi), r.flags |= flags; });
}
void ExpectGdiObject(Spoiled& s, bool deleted) {
  EXPECT_EQ(Win32EmuGdiObjectDeleted(s.gdi) != 0, deleted) << "GDI object deleted";
  EXPECT_EQ(s.call.image()->record().gdiObject, deleted ? 0u : OrmiFieldFromGdiObject(s.gdi));
  if (!deleted) DeleteObject(s.gdi);
}
void StaleHeaderCopy(Spoiled& s) {
  HGLOBAL stale = GlobalAlloc(GMEM_FIXED, 64);
  GlobalFree(stale);
  s.spoilRecord([&](ImageRecord& r) { r.header = OrmiFieldFromPointer(stale); });
}
// A copy of a size that is no multiple of 4 may start at any address: it is read bytewise.
void HeaderCopyAtAnOddAddress(Spoiled& s) {
  HGLOBAL block = GlobalHandle(s.headerCopy());
  auto* moved = static_cast<uint8_t*>(GlobalLock(s.copyOf(block, GlobalSize(block) + 1)));
  ASSERT_NE(reinterpret_cast<uintptr_t>(moved) % 4, 0u) << "every block ends at its guard page";
  s.spoilRecord([&](ImageRecord& r) { r.header = OrmiFieldFromPointer(moved); });
}

// One byte less than the rows claim.
BitmapSpec ShortRows(BitmapSpec layout) {
  layout.sizeOverride = static_cast<long>(BitsOffsetOf(layout) + StrideOf(layout.width, layout.depth) * kHeight - 1);
  return layout;
}
// Rows without bytes fit any block whatever their count; walks over billions of them took seconds.
void PixelsKept(Spoiled& s) {
  if (s.frame.walksWholeBlock) return;  // the inversion walks the block to its end by design
  const std::vector<uint8_t> after = s.call.image()->bytes();
  const size_t tables = std::min<size_t>(DibBitsOffset(ReadInfoHeader(after.data())), after.size());
  EXPECT_TRUE(std::equal(after.begin() + tables, after.end(), s.pixelsBefore.begin() + tables));
}
// The bitmap's own depth decides once its header copy let it through.
void CopyOfTheExportsDepth(Spoiled& s) {
  const auto depth = static_cast<WORD>(RepresentativeDepth(s.call.effect()));
  s.spoilHeaderCopy([&](BITMAPINFOHEADER& h) { h.biBitCount = depth; });
}

void AddCommonRows(const host::EffectInfo& e, const ExportFrame& f, std::vector<Row>& rows) {
  const auto add = [&](const std::string& what, const BitmapSpec& image, Outcome expected, Spoil spoil = nullptr,
                       Spoil check = nullptr, const std::vector<BitmapSpec>& extras = {}) {
    rows.push_back({&e, {what, image, expected, {}, extras, spoil}, check});
  };
  const int depth = RepresentativeDepth(e);
  const BitmapSpec usual = Layout(depth, kWidth, kHeight);
  if (e.result == host::ResultKind::Painted || e.result == host::ResultKind::NewBitmap)
    add("InvertedRectangle", usual, kZero, [](Spoiled& s) { s.args.rect = RECT{kWidth - 1, kHeight - 1, 0, 0}; });
  if (!e.extras.empty()) {
    add("NullExtra", usual, kZero, [](Spoiled& s) { s.extras[0] = nullptr; });
    add("StaleExtra", usual, kZero, [](Spoiled& s) { s.extras[0] = s.staleCopyOf(s.extras[0]); });
  }
  if (e.extras.size() > 1) add("NullSecondExtra", usual, kZero, [](Spoiled& s) { s.extras[1] = nullptr; });
  if (!e.extras.empty() && e.extras[0].kind == host::ExtraKind::AlphaImage) {
    add("ExtraWithBrokenMagic", usual, kZero,
        [](Spoiled& s) { s.spoilRecord(s.extras[0], [](ImageRecord& r) { r.magic[0] = 'X'; }); });
    add("ExtraWithoutBitmap", usual, Refused(f),
        [](Spoiled& s) { s.spoilRecord(s.extras[0], [](ImageRecord& r) { r.bitmap = 0; }); });
  }
  if (!TakesImage(e)) return;
  const auto accepts = [&](int bits) { return std::find(e.depths.begin(), e.depths.end(), bits) != e.depths.end(); };
  add("NullHandle", usual, kZero, [](Spoiled& s) { s.args.image = nullptr; });
  add("StaleHandle", usual, kZero, [](Spoiled& s) { s.args.image = s.staleCopyOf(s.args.image); });
  add("RecordBlockTooSmall", usual, kZero, [](Spoiled& s) { s.args.image = s.copyOf(s.args.image, 119); });
  add("BrokenMagic", usual, f.checksMagic ? kZero : Works(e),
      [](Spoiled& s) { s.spoilRecord([](ImageRecord& r) { r.magic[3] = '1'; }); });
  add("NoBitmap", usual, kZero, Set<&ImageRecord::bitmap, 0>);
  add(
      "LockedImageFlag", usual, f.refusesLockedFlag ? kZero : Works(e),
      [](Spoiled& s) { SetGdiObject(s, ORMI_FLAG_LOCKED_IMAGE); },
      [](Spoiled& s) { ExpectGdiObject(s, !s.frame.refusesLockedFlag && s.frame.deletesGdiObject); });
  add(
      "GdiObject", usual, Works(e), [](Spoiled& s) { SetGdiObject(s, 0); },
      [](Spoiled& s) { ExpectGdiObject(s, s.frame.deletesGdiObject); });
  add("NoHeaderCopy", usual, f.noHeaderCopy, Set<&ImageRecord::header, 0>);
  add("StaleHeaderCopy", usual, f.noHeaderCopy, StaleHeaderCopy);
  add("HeaderCopyOfAnotherDepth", usual, f.copyDiffers,
      [](Spoiled& s) { s.spoilHeaderCopy([](BITMAPINFOHEADER& h) { h.biBitCount = h.biBitCount == 32 ? 24 : 32; }); });
  add("HeaderCopyAtAnOddAddress", usual, Works(e), HeaderCopyAtAnOddAddress);
  add("ShortRows", ShortRows(usual), f.walksWholeBlock ? Outcome{Result::One, Changes::Any} : f.unreached);
  add("TopDown", Layout(depth, kWidth, -kHeight), f.topDown);
  for (int refused : {1, 4, 8, 16, 24, 32})
    if (!accepts(refused)) add("Refuses" + std::to_string(refused), Layout(refused, kWidth, kHeight), Refused(f));
  if (accepts(8)) add("ShortTable", Layout(8, kWidth, kHeight, 40 + 1023), f.unreached);  // one byte short
  if (!accepts(24))
    add("TwentyFourBitsUnderACopyOfItsDepth", Layout(24, kWidth, kHeight), f.unreached, CopyOfTheExportsDepth);
  const auto bytes = static_cast<long>(BitsOffsetOf(usual) + StrideOf(kWidth, depth) * kHeight);
  const Outcome any{Result::Any, Changes::Any};
  add("ByteLessRowsOfNoWidth", Layout(depth, 0, 0x7FFFFFFF, bytes), any, nullptr, PixelsKept);
  add("ByteLessRowsOfNoDepth", Layout(0, 720907, 0x7FFFFFFF, bytes), any, nullptr, PixelsKept);
  if (!e.extras.empty()) {
    const bool mask = e.extras[0].kind == host::ExtraKind::TextMask;
    const BitmapSpec extra =
        e.extras[0].kind == host::ExtraKind::Tile ? Layout(32, 3, 2) : Layout(mask ? 1 : 32, kWidth, kHeight);
    add("ExtraOfAnotherDepth", usual, Refused(f), nullptr, nullptr, {Layout(mask ? 8 : 24, extra.width, extra.height)});
    add("ShortExtra", usual, Refused(f), nullptr, nullptr, {ShortRows(extra)});
  }
}

// --- each export's own refusals: arguments out of their domain, pictures that do not match

const BitmapSpec k32 = Layout(32, kWidth, kHeight);
const BitmapSpec kMask = Layout(1, kWidth, kHeight), kWider = Layout(32, kWidth + 1, kHeight);
// Both text fills refuse a mask smaller than the picture either way.
const Own kMaskNarrower{"MaskNarrower", k32, kZero, {}, {Layout(1, kWidth - 1, kHeight)}};
const Own kMaskLower{"MaskLower", k32, kZero, {}, {Layout(1, kWidth, kHeight - 1)}};
void LockedWithoutBitmap(Spoiled& s) {
  s.spoilRecord([](ImageRecord& r) { r.bitmap = 0, r.flags |= ORMI_FLAG_LOCKED_IMAGE; });
}
void AlphaCarriesTransparency(Spoiled& s) { s.call.image()->setAlphaTransparency(); }
void WidthBeyond32Bits(Spoiled& s) { s.args.rect = RECT{INT32_MIN, 0, INT32_MAX, 0}; }
void HeightBeyond32Bits(Spoiled& s) { s.args.rect = RECT{0, INT32_MIN, 3, INT32_MAX}; }

// clang-format off
const std::pair<const char*, std::vector<Own>> kOwnRows[] = {
    {"ImgInvert", {{"BlockOfTablesOnly", Layout(32, 4, 4, 40), kKept}}},
    {"ImgEqualise", {{"Narrow", Layout(32, 4, 100), kKept}, {"Low", Layout(32, 100, 4), kKept},
      {"Empty", Layout(32, 0, 5), kKept}}},
    {"ImgGammaCorrection", {{"UnknownCode", k32, kZero, {{0, 14}, {1, 30}}},
      {"NegativeCode", k32, kZero, {{0, -11}, {1, 30}}}, {"NegativeWidth", Layout(32, -2, 1, 48), kZero},
      {"ShortTopDown", Layout(32, 2, -100, 48), kZero}, {"TableBeyondBlock", Layout(32, 1, 1, 100, 1000), kZero}}},
    {"ImgColorCorrection", {{"UnknownCode", k32, kZero, {{0, 14}}}, {"CodeOfNoProfile", k32, kZero, {{0, 111}}},
      {"NegativeWidth", Layout(32, -2, 1, 48), kZero},
      {"CoincidentPrimaries", k32, kZero, {{2, .3}, {3, .3}, {4, .3}, {5, .3}}},
      {"CollinearPrimaries", k32, kZero, {{2, .2}, {3, .2}, {4, .3}, {5, .3}, {6, .4}, {7, .4}}},
      {"PrimaryNotANumber", k32, kZero, {{6, std::nan("")}}}, {"PrimaryOverflows", k32, kZero, {{7, 1e300}}}}},
    {"ImgBlur", {{"TooNarrow", Layout(32, 2, 9), kKept}, {"TooLow", Layout(32, 9, 2), kKept}}},
    {"ImgEnhance", {{"TooNarrow", Layout(32, 4, 9), kKept}, {"TooLow", Layout(32, 9, 4), kKept}}},
    {"ImgDespeckle", {{"NoColumns", Layout(32, 0, 3), kKept}, {"NoRows", Layout(32, 3, 0), kKept}}},
    // A width whose row size wraps to 4 bytes in 32 bits, and a height far beyond the block.
    {"ImgSharpen", {{"WrappingWidth", Layout(32, 0x40000001, 9, 40 + 9 * 4 * 8), kKept}}},
    {"ImgEdge", {{"HugeHeight", Layout(32, 9, 0x7FFFFFFF, 40 + 9 * 4 * 8), kKept}}},
    {"ImgRotate", {{"EmptyPicture", Layout(32, 0, 3), kZero}, {"CanvasBeyondMemory", Layout(32, 65536, 1), kZero},
      {"QuarterTurnOfTwoBits", Layout(2, 8, 2), kZero, {{0, 90}}},
      {"QuarterTurnWithACopyOfAnotherSize", Layout(8, 2, 2), kZero, {{0, 90}}, {}, Set<&BITMAPINFOHEADER::biHeight, 1>},
      {"QuarterTurnOfTopDownRows", Layout(8, 2, -2), kZero, {{0, 90}}},
      {"QuarterTurnOfShortRows", Layout(8, 4, 2, 1064 + 7), kZero, {{0, 90}}},
      {"QuarterTurnWithoutHeaderCopy", Layout(8, 2, 2), kZero, {{0, 90}}, {}, Set<&ImageRecord::header, 0>},
      {"QuarterTurnWithACopyOfAnotherDepth", Layout(32, 2, 2), kZero, {{0, 90}}, {}, Set<&BITMAPINFOHEADER::biBitCount, 24>}}},
    {"ImgBlockRotate", {{"LevelZero", k32, kZero, {{0, 45}, {1, 0}}}, {"LevelFour", k32, kZero, {{0, 45}, {1, 4}}},
      {"AngleAtTwentyFourBits", Layout(24, 4, 4), kZero, {{0, 45}, {1, 1}}}}},
    {"ImgMirror", {{"CopyOfAnotherWidth", Layout(8, 3, 2), kZero, {}, {}, Set<&BITMAPINFOHEADER::biWidth, 1, true>},
      {"NothingAskedWithoutBitmap", k32, kKept, {{0, 0}, {1, 0}}, {}, Set<&ImageRecord::bitmap, 0>},
      {"NothingAskedOfALockedImageWithoutBitmap", k32, kZero, {{0, 0}, {1, 0}}, {}, LockedWithoutBitmap}}},
    {"ImgInsertAlpha", {{"AlphaCarriesTheTransparency", k32, kZero, {}, {}, nullptr, AlphaCarriesTransparency}}},
    {"ImgCopyAlpha", {{"SourceWider", k32, kZeroMarked, {}, {kWider}},
      {"SourceTaller", k32, kZeroMarked, {}, {Layout(32, kWidth, kHeight + 1)}}}},
    {"TavoSetAlphaColor", {{"MaskWider", k32, kZero, {}, {kWider}},
      {"MaskTopDown", k32, kZero, {}, {Layout(32, kWidth, -kHeight)}}}},
    {"ImgDiff", {{"NegativePasses", k32, kZero, {{0, -1}}}, {"SideOverflows", k32, kZero, {{0, 0x3FFFFFFF}}},
      {"HaloBeyondMemory", k32, kZero, {{0, 0x1FFFFFFF}}}, {"EmptySource", Layout(32, 0, 2), kZero},
      {"RecordWiderThanBitmap", k32, kZero, {}, {}, Set<&ImageRecord::width, 1, true>}}},
    {"TavoEmbossIcon", {{"EightBitsOfTwoColours", Layout(8, 4, 2, -1, 2), kZero},
      {"FourBitsOfTwoColours", Layout(4, 4, 2, -1, 2), kZero}}},
    {"TavoGradientForText", {kMaskNarrower, kMaskLower,
      {"TopDownMaskLower", k32, kZero, {}, {Layout(1, kWidth, 1 - kHeight)}},
      {"WidthBeyond32Bits", k32, kZero, {}, {}, WidthBeyond32Bits}}},
    {"TavoTileForText", {kMaskNarrower, kMaskLower, {"TileWithoutRows", k32, kZero, {}, {kMask, Layout(32, 2, 0)}},
      {"TileWithoutColumns", k32, kZero, {}, {kMask, Layout(32, 0, 2)}},
      {"TileTopDown", k32, kZero, {}, {kMask, Layout(32, 2, -2)}},
      {"TileOfTwentyFourBits", k32, kZero, {}, {kMask, Layout(24, 2, 2)}},
      {"TileShort", k32, kZero, {}, {kMask, Layout(32, 2, 2, 40 + 15)}},
      {"HeightBeyond32Bits", k32, kZero, {}, {}, HeightBeyond32Bits}}},
};
// clang-format on

std::vector<Row> AllRows() {
  std::vector<Row> rows;
  for (const host::EffectInfo& e : host::EffectCatalog()) AddCommonRows(e, ExportFrameOf(e.exportName), rows);
  for (const auto& [exportName, own] : kOwnRows)
    for (const Own& o : own) rows.push_back({&EffectNamed(exportName), o});
  return rows;
}

class FrameTableTest : public MemoryCheckedTest, public testing::WithParamInterface<Row> {};

TEST_P(FrameTableTest, ResultLocksMemoryAndChanges) {
  const Row& row = GetParam();
  const Own& own = row.call;
  const host::EffectInfo& effect = *row.effect;
  std::vector<double> values = host::DefaultValues(effect);
  for (const auto& [i, value] : own.values) values.at(i) = value;
  PreparedCall call(effect, 5, own.image, values, own.extras);
  Spoiled s{call, ExportFrameOf(effect.exportName), call.args()};
  s.extras.assign(s.args.extras.begin(), s.args.extras.end());
  if (own.prepare) own.prepare(s);
  if (call.image()) s.pixelsBefore = call.image()->bytes();
  const PreparedCall::Snapshot before = call.snapshot();
  if (own.spoil) own.spoil(s);
  s.args.extras = s.extras;
  const size_t liveBefore = Win32EmuLiveBlocks(), heapBefore = Win32EmuLiveHeapBlocks();

  const auto start = std::chrono::steady_clock::now();
  const intptr_t result = effect.invoke(s.args);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "a hang guard";
  if (row.check) row.check(s);
  for (auto undo = s.undo.rbegin(); undo != s.undo.rend(); ++undo) (*undo)();
  ExpectOutcome(result, before, call.snapshot(), own.expected);
  FreeResult(effect, result);
  EXPECT_EQ(Win32EmuLiveBlocks(), liveBefore) << "a block was left live";
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), heapBefore) << "a heap block was left live";
  for (HGLOBAL block : s.blocks) GlobalFree(block);
}

INSTANTIATE_TEST_SUITE_P(Catalog, FrameTableTest, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row>& param) { return param.param.name(); });

// The catalog that every table here walks is the export table of the .def, name for name and
// ordinal for ordinal, and holds all 30 exports.
TEST(CatalogTest, MatchesTheModuleDefinitionFile) {
  std::ifstream def(ORMI_DEF_FILE);
  std::map<std::string, int> listed, catalog;
  const std::regex line(R"(^\s*([A-Za-z_]\w*)\s+@(\d+)\s*$)");
  std::smatch match;
  for (std::string text; std::getline(def, text);)
    if (std::regex_match(text, match, line)) listed[match[1]] = std::stoi(match[2]);
  for (const host::EffectInfo& effect : host::EffectCatalog()) catalog[effect.exportName] = effect.ordinal;
  EXPECT_EQ(catalog, listed);
  EXPECT_EQ(listed.size(), 30u);
  EXPECT_EQ(listed["ImgRotate"], 40);
  EXPECT_EQ(listed["TavoTileForText"], 304);
}

}  // namespace
}  // namespace ormi::test
