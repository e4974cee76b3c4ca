// One table of everything an export must refuse or take in its stride: null, stale and broken
// handles, records without bitmap or with a header copy that is missing or disagrees, refused
// depths, blocks shorter than their headers claim, top-down rows, and each export's own refusals.
// Every row checks the result, that every lock count of every input is back where it was, that
// no global or heap block is left live, and that a refusal changed nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
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
    HGLOBAL copy = copyOf(block, GlobalSize(block));
    blocks.pop_back();
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

// A row of the table, as run.
struct Row {
  std::string name;
  const host::EffectInfo* effect;
  BitmapSpec image;
  std::vector<BitmapSpec> extras;
  std::map<size_t, double> values;  // argument values besides the defaults
  Spoil spoil;
  Outcome expected;
  Spoil check = nullptr;    // after the call, before the inputs are compared
  Spoil prepare = nullptr;  // a state the input is in before the call (not put back)
};

BitmapSpec Spec(int depth, int width, int height, long size = -1, uint32_t clrUsed = 0) {
  return {.depth = depth, .width = width, .height = height, .clrUsed = clrUsed, .sizeOverride = size};
}
BitmapSpec Usual(const host::EffectInfo& e) { return Spec(RepresentativeDepth(e), kWidth, kHeight); }

// Spoils of one row each: a header copy of one row, of another width or of 24 bits, no copy, a
// locked record without bitmap, a record wider than its bitmap.
template <class T, auto Field, int Value, bool Add>
void Set(T& t) {
  using Type = std::remove_reference_t<decltype(t.*Field)>;
  t.*Field = static_cast<Type>((Add ? static_cast<int64_t>(t.*Field) : 0) + Value);
}
template <auto Field, int Value, bool Add = false>
void HeaderCopy(Spoiled& s) {
  s.spoilHeaderCopy(Set<BITMAPINFOHEADER, Field, Value, Add>);
}
template <auto Field, int Value, bool Add = false>
void Record(Spoiled& s) {
  s.spoilRecord(Set<ImageRecord, Field, Value, Add>);
}

// --- the cases every export meets

struct GenericCase {
  const char* name;
  bool (*applies)(const host::EffectInfo&);
  Spoil spoil;
  Outcome (*expected)(const host::EffectInfo&, const ExportFrame&);
  Spoil check = nullptr;
};

using Applies = bool (*)(const host::EffectInfo&);
using Expect = Outcome (*)(const host::EffectInfo&, const ExportFrame&);
constexpr Applies HasExtras = [](const host::EffectInfo& e) { return !e.extras.empty(); };
constexpr Applies HasTwoExtras = [](const host::EffectInfo& e) { return e.extras.size() > 1; };
constexpr Applies ImageExtra = [](const host::EffectInfo& e) {
  return !e.extras.empty() && e.extras[0].kind == host::ExtraKind::AlphaImage;
};
constexpr Applies TakesRectangle = [](const host::EffectInfo& e) {
  return e.result == host::ResultKind::Painted || e.result == host::ResultKind::NewBitmap;
};
constexpr Expect Zero = [](const host::EffectInfo&, const ExportFrame&) { return kZero; };
constexpr Expect Working = [](const host::EffectInfo& e, const ExportFrame&) { return Works(e); };
constexpr Expect Unreached = [](const host::EffectInfo&, const ExportFrame& f) { return Refused(f); };
constexpr Expect WithoutCopy = [](const host::EffectInfo&, const ExportFrame& f) { return f.noHeaderCopy; };
constexpr Expect CopyDiffers = [](const host::EffectInfo&, const ExportFrame& f) { return f.copyDiffers; };
constexpr Expect IfMagicChecked = [](const host::EffectInfo& e, const ExportFrame& f) {
  return f.checksMagic ? kZero : Works(e);
};
constexpr Expect IfLockedRefused = [](const host::EffectInfo& e, const ExportFrame& f) {
  return f.refusesLockedFlag ? kZero : Works(e);
};

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

// clang-format off
const GenericCase kGenericCases[] = {
    {"NullHandle", TakesImage, [](Spoiled& s) { s.args.image = nullptr; }, Zero},
    {"StaleHandle", TakesImage, [](Spoiled& s) { s.args.image = s.staleCopyOf(s.args.image); }, Zero},
    {"RecordBlockTooSmall", TakesImage, [](Spoiled& s) { s.args.image = s.copyOf(s.args.image, 119); }, Zero},
    {"BrokenMagic", TakesImage, [](Spoiled& s) { s.spoilRecord([](ImageRecord& r) { r.magic[3] = '1'; }); },
     IfMagicChecked},
    {"NoBitmap", TakesImage, Record<&ImageRecord::bitmap, 0>, Zero},
    {"LockedImageFlag", TakesImage, [](Spoiled& s) { SetGdiObject(s, ORMI_FLAG_LOCKED_IMAGE); }, IfLockedRefused,
     [](Spoiled& s) { ExpectGdiObject(s, !s.frame.refusesLockedFlag && s.frame.deletesGdiObject); }},
    {"GdiObject", TakesImage, [](Spoiled& s) { SetGdiObject(s, 0); }, Working,
     [](Spoiled& s) { ExpectGdiObject(s, s.frame.deletesGdiObject); }},
    {"NoHeaderCopy", TakesImage, Record<&ImageRecord::header, 0>, WithoutCopy},
    {"StaleHeaderCopy", TakesImage, StaleHeaderCopy, WithoutCopy},
    {"HeaderCopyOfAnotherDepth", TakesImage,
     [](Spoiled& s) { s.spoilHeaderCopy([](BITMAPINFOHEADER& h) { h.biBitCount = h.biBitCount == 32 ? 24 : 32; }); },
     CopyDiffers},
    {"HeaderCopyAtAnOddAddress", TakesImage, HeaderCopyAtAnOddAddress, Working},
    {"NullExtra", HasExtras, [](Spoiled& s) { s.extras[0] = nullptr; }, Zero},
    {"NullSecondExtra", HasTwoExtras, [](Spoiled& s) { s.extras[1] = nullptr; }, Zero},
    {"StaleExtra", HasExtras, [](Spoiled& s) { s.extras[0] = s.staleCopyOf(s.extras[0]); }, Zero},
    {"ExtraWithBrokenMagic", ImageExtra,
     [](Spoiled& s) { s.spoilRecord(s.extras[0], [](ImageRecord& r) { r.magic[0] = 'X'; }); }, Zero},
    {"ExtraWithoutBitmap", ImageExtra,
     [](Spoiled& s) { s.spoilRecord(s.extras[0], [](ImageRecord& r) { r.bitmap = 0; }); }, Unreached},
    {"InvertedRectangle", TakesRectangle, [](Spoiled& s) { s.args.rect = RECT{kWidth - 1, kHeight - 1, 0, 0}; }, Zero},
};
// clang-format on

// --- layouts every export meets: each refused depth, short blocks, top-down rows, byte-less rows

// One byte less than the rows claim.
BitmapSpec ShortRows(BitmapSpec spec) {
  spec.sizeOverride = static_cast<long>(BitsOffsetOf(spec) + StrideOf(spec.width, spec.depth) * kHeight - 1);
  return spec;
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

void AddLayoutRows(const host::EffectInfo& e, const ExportFrame& f, std::vector<Row>& rows) {
  const auto add = [&](const std::string& what, const BitmapSpec& image, Outcome expected, Spoil spoil = nullptr,
                       Spoil check = nullptr, const std::vector<BitmapSpec>& extras = {}) {
    rows.push_back({std::string(e.exportName) + "_" + what, &e, image, extras, {}, spoil, expected, check});
  };
  const auto accepts = [&](int depth) { return std::find(e.depths.begin(), e.depths.end(), depth) != e.depths.end(); };
  const int depth = RepresentativeDepth(e);
  add("ShortRows", ShortRows(Usual(e)), f.walksWholeBlock ? Outcome{Result::One, Changes::Any} : f.unreached);
  add("TopDown", Spec(depth, kWidth, -kHeight), f.topDown);
  for (int refused : {1, 4, 8, 16, 24, 32})
    if (!accepts(refused)) add("Refuses" + std::to_string(refused), Spec(refused, kWidth, kHeight), Refused(f));
  if (accepts(8)) add("ShortTable", Spec(8, kWidth, kHeight, 40 + 1023), f.unreached);  // one byte short
  if (!accepts(24))
    add("TwentyFourBitsUnderACopyOfItsDepth", Spec(24, kWidth, kHeight), f.unreached, CopyOfTheExportsDepth);
  const auto bytes = static_cast<long>(BitsOffsetOf(Usual(e)) + StrideOf(kWidth, depth) * kHeight);
  const Outcome any{Result::Any, Changes::Any};
  add("ByteLessRowsOfNoWidth", Spec(depth, 0, 0x7FFFFFFF, bytes), any, nullptr, PixelsKept);
  add("ByteLessRowsOfNoDepth", Spec(0, 720907, 0x7FFFFFFF, bytes), any, nullptr, PixelsKept);
  if (!e.extras.empty()) {
    const host::ExtraKind kind = e.extras[0].kind;
    BitmapSpec extra = kind == host::ExtraKind::Tile ? Spec(32, 3, 2) : Spec(32, kWidth, kHeight);
    if (kind == host::ExtraKind::TextMask) extra.depth = 1;
    BitmapSpec otherDepth = extra;
    otherDepth.depth = kind == host::ExtraKind::TextMask ? 8 : 24;
    add("ExtraOfAnotherDepth", Usual(e), Refused(f), nullptr, nullptr, {otherDepth});
    add("ShortExtra", Usual(e), Refused(f), nullptr, nullptr, {ShortRows(extra)});
  }
}

// --- each export's own refusals: arguments out of their domain, pictures that do not match

const BitmapSpec k32 = Spec(32, kWidth, kHeight);
const BitmapSpec kMask = Spec(1, kWidth, kHeight);
void LockedWithoutBitmap(Spoiled& s) {
  s.spoilRecord([](ImageRecord& r) { r.bitmap = 0, r.flags |= ORMI_FLAG_LOCKED_IMAGE; });
}
void AlphaCarriesTransparency(Spoiled& s) { s.call.image()->setAlphaTransparency(); }
void WidthBeyond32Bits(Spoiled& s) { s.args.rect = RECT{INT32_MIN, 0, INT32_MAX, 0}; }
void HeightBeyond32Bits(Spoiled& s) { s.args.rect = RECT{0, INT32_MIN, 3, INT32_MAX}; }

struct OwnRow {
  const char *exportName, *what;
  BitmapSpec image;
  std::map<size_t, double> values;
  std::vector<BitmapSpec> extras;
  Outcome expected;
  Spoil spoil = nullptr, prepare = nullptr;  // prepare: a state the input is in before the call (not put back)
};

const std::vector<OwnRow>& OwnRows() {
  // clang-format off
  static const std::vector<OwnRow> rows = {
      {"ImgInvert", "BlockOfTablesOnly", Spec(32, 4, 4, 40), {}, {}, kKept},
      {"ImgEqualise", "Narrow", Spec(32, 4, 100), {}, {}, kKept}, {"ImgEqualise", "Low", Spec(32, 100, 4), {}, {}, kKept},
      {"ImgEqualise", "Empty", Spec(32, 0, 5), {}, {}, kKept},
      {"ImgGammaCorrection", "UnknownCode", k32, {{0, 14}, {1, 30}}, {}, kZero},
      {"ImgGammaCorrection", "NegativeCode", k32, {{0, -11}, {1, 30}}, {}, kZero},
      {"ImgGammaCorrection", "NegativeWidth", Spec(32, -2, 1, 48), {}, {}, kZero},
      {"ImgGammaCorrection", "ShortTopDown", Spec(32, 2, -100, 48), {}, {}, kZero},
      {"ImgGammaCorrection", "TableBeyondBlock", Spec(32, 1, 1, 100, 1000), {}, {}, kZero},
      {"ImgColorCorrection", "UnknownCode", k32, {{0, 14}}, {}, kZero},
      {"ImgColorCorrection", "CodeOfNoProfile", k32, {{0, 111}}, {}, kZero},
      {"ImgColorCorrection", "NegativeWidth", Spec(32, -2, 1, 48), {}, {}, kZero},
      {"ImgColorCorrection", "CoincidentPrimaries", k32, {{2, .3}, {3, .3}, {4, .3}, {5, .3}}, {}, kZero},
      {"ImgColorCorrection", "CollinearPrimaries", k32, {{2, .2}, {3, .2}, {4, .3}, {5, .3}, {6, .4}, {7, .4}}, {}, kZero},
      {"ImgColorCorrection", "PrimaryNotANumber", k32, {{6, std::nan("")}}, {}, kZero},
      {"ImgColorCorrection", "PrimaryOverflows", k32, {{7, 1e300}}, {}, kZero},
      {"ImgBlur", "TooNarrow", Spec(32, 2, 9), {}, {}, kKept}, {"ImgBlur", "TooLow", Spec(32, 9, 2), {}, {}, kKept},
      {"ImgEnhance", "TooNarrow", Spec(32, 4, 9), {}, {}, kKept}, {"ImgEnhance", "TooLow", Spec(32, 9, 4), {}, {}, kKept},
      {"ImgDespeckle", "NoColumns", Spec(32, 0, 3), {}, {}, kKept}, {"ImgDespeckle", "NoRows", Spec(32, 3, 0), {}, {}, kKept},
      // A width whose row size wraps to 4 bytes in 32 bits, and a height far beyond the block.
      {"ImgSharpen", "WrappingWidth", Spec(32, 0x40000001, 9, 40 + 9 * 4 * 8), {}, {}, kKept},
      {"ImgEdge", "HugeHeight", Spec(32, 9, 0x7FFFFFFF, 40 + 9 * 4 * 8), {}, {}, kKept},
      {"ImgRotate", "EmptyPicture", Spec(32, 0, 3), {}, {}, kZero}, {"ImgRotate", "CanvasBeyondMemory", Spec(32, 65536, 1), {}, {}, kZero},
      {"ImgRotate", "QuarterTurnOfTwoBits", Spec(2, 8, 2), {{0, 90}}, {}, kZero},
      {"ImgRotate", "QuarterTurnWithACopyOfAnotherSize", Spec(8, 2, 2), {{0, 90}}, {}, kZero, HeaderCopy<&BITMAPINFOHEADER::biHeight, 1>},
      {"ImgRotate", "QuarterTurnOfTopDownRows", Spec(8, 2, -2), {{0, 90}}, {}, kZero},
      {"ImgRotate", "QuarterTurnOfShortRows", Spec(8, 4, 2, 1064 + 7), {{0, 90}}, {}, kZero},
      {"ImgRotate", "QuarterTurnWithoutHeaderCopy", Spec(8, 2, 2), {{0, 90}}, {}, kZero, Record<&ImageRecord::header, 0>},
      {"ImgRotate", "QuarterTurnWithACopyOfAnotherDepth", Spec(32, 2, 2), {{0, 90}}, {}, kZero, HeaderCopy<&BITMAPINFOHEADER::biBitCount, 24>},
      {"ImgBlockRotate", "LevelZero", k32, {{0, 45}, {1, 0}}, {}, kZero},
      {"ImgBlockRotate", "LevelFour", k32, {{0, 45}, {1, 4}}, {}, kZero},
      {"ImgBlockRotate", "AngleAtTwentyFourBits", Spec(24, 4, 4), {{0, 45}, {1, 1}}, {}, kZero},
      {"ImgMirror", "CopyOfAnotherWidth", Spec(8, 3, 2), {}, {}, kZero, HeaderCopy<&BITMAPINFOHEADER::biWidth, 1, true>},
      {"ImgMirror", "NothingAskedWithoutBitmap", k32, {{0, 0}, {1, 0}}, {}, kKept, Record<&ImageRecord::bitmap, 0>},
      {"ImgMirror", "NothingAskedOfALockedImageWithoutBitmap", k32, {{0, 0}, {1, 0}}, {}, kZero, LockedWithoutBitmap},
      {"ImgInsertAlpha", "AlphaCarriesTheTransparency", k32, {}, {}, kZero, nullptr, AlphaCarriesTransparency},
      {"ImgCopyAlpha", "SourceWider", k32, {}, {Spec(32, kWidth + 1, kHeight)}, kZeroMarked},
      {"ImgCopyAlpha", "SourceTaller", k32, {}, {Spec(32, kWidth, kHeight + 1)}, kZeroMarked},
      {"TavoSetAlphaColor", "MaskWider", k32, {}, {Spec(32, kWidth + 1, kHeight)}, kZero},
      {"TavoSetAlphaColor", "MaskTopDown", k32, {}, {Spec(32, kWidth, -kHeight)}, kZero},
      {"ImgDiff", "NegativePasses", k32, {{0, -1}}, {}, kZero}, {"ImgDiff", "SideOverflows", k32, {{0, 0x3FFFFFFF}}, {}, kZero},
      {"ImgDiff", "HaloBeyondMemory", k32, {{0, 0x1FFFFFFF}}, {}, kZero}, {"ImgDiff", "EmptySource", Spec(32, 0, 2), {}, {}, kZero},
      {"ImgDiff", "RecordWiderThanBitmap", k32, {}, {}, kZero, Record<&ImageRecord::width, 1, true>},
      {"TavoEmbossIcon", "EightBitsOfTwoColours", Spec(8, 4, 2, -1, 2), {}, {}, kZero},
      {"TavoEmbossIcon", "FourBitsOfTwoColours", Spec(4, 4, 2, -1, 2), {}, {}, kZero},
      {"TavoGradientForText", "MaskNarrower", k32, {}, {Spec(1, kWidth - 1, kHeight)}, kZero},
      {"TavoGradientForText", "MaskLower", k32, {}, {Spec(1, kWidth, kHeight - 1)}, kZero},
      {"TavoGradientForText", "TopDownMaskLower", k32, {}, {Spec(1, kWidth, 1 - kHeight)}, kZero},
      {"TavoGradientForText", "WidthBeyond32Bits", k32, {}, {}, kZero, WidthBeyond32Bits},
      {"TavoTileForText", "MaskNarrower", k32, {}, {Spec(1, kWidth - 1, kHeight)}, kZero},
      {"TavoTileForText", "MaskLower", k32, {}, {Spec(1, kWidth, kHeight - 1)}, kZero},
      {"TavoTileForText", "TileWithoutRows", k32, {}, {kMask, Spec(32, 2, 0)}, kZero},
      {"TavoTileForText", "TileWithoutColumns", k32, {}, {kMask, Spec(32, 0, 2)}, kZero},
      {"TavoTileForText", "TileTopDown", k32, {}, {kMask, Spec(32, 2, -2)}, kZero},
      {"TavoTileForText", "TileOfTwentyFourBits", k32, {}, {kMask, Spec(24, 2, 2)}, kZero},
      {"TavoTileForText", "TileShort", k32, {}, {kMask, Spec(32, 2, 2, 40 + 15)}, kZero},
      {"TavoTileForText", "HeightBeyond32Bits", k32, {}, {}, kZero, HeightBeyond32Bits},
  };
  // clang-format on
  return rows;
}

std::vector<Row> AllRows() {
  std::vector<Row> rows;
  for (const host::EffectInfo& e : host::EffectCatalog()) {
    const ExportFrame& f = ExportFrameOf(e.exportName);
    for (const GenericCase& c : kGenericCases) {
      if (c.applies(e))
        rows.push_back(
            {std::string(e.exportName) + "_" + c.name, &e, Usual(e), {}, {}, c.spoil, c.expected(e, f), c.check});
    }
    if (TakesImage(e)) AddLayoutRows(e, f, rows);
  }
  for (const OwnRow& o : OwnRows())
    rows.push_back({std::string(o.exportName) + "_" + o.what, &EffectNamed(o.exportName), o.image, o.extras, o.values,
                    o.spoil, o.expected, nullptr, o.prepare});
  return rows;
}

class FrameTableTest : public MemoryCheckedTest, public testing::WithParamInterface<Row> {};

TEST_P(FrameTableTest, ResultLocksMemoryAndChanges) {
  const Row& row = GetParam();
  const host::EffectInfo& effect = *row.effect;
  std::vector<double> values = host::DefaultValues(effect);
  for (const auto& [i, value] : row.values) values.at(i) = value;
  PreparedCall call(effect, 5, row.image, values, row.extras);
  Spoiled s{call, ExportFrameOf(effect.exportName), call.args()};
  s.extras.assign(s.args.extras.begin(), s.args.extras.end());
  if (row.prepare) row.prepare(s);
  if (call.image()) s.pixelsBefore = call.image()->bytes();
  const PreparedCall::Snapshot before = call.snapshot();
  if (row.spoil) row.spoil(s);
  s.args.extras = s.extras;
  const size_t liveBefore = Win32EmuLiveBlocks(), heapBefore = Win32EmuLiveHeapBlocks();

  const auto start = std::chrono::steady_clock::now();
  const intptr_t result = effect.invoke(s.args);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "a hang guard";
  if (row.check) row.check(s);
  for (auto undo = s.undo.rbegin(); undo != s.undo.rend(); ++undo) (*undo)();
  ExpectOutcome(result, before, call.snapshot(), row.expected);
  FreeResult(effect, result);
  EXPECT_EQ(Win32EmuLiveBlocks(), liveBefore) << "a block was left live";
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), heapBefore) << "a heap block was left live";
  for (HGLOBAL block : s.blocks) GlobalFree(block);
}

INSTANTIATE_TEST_SUITE_P(Catalog, FrameTableTest, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row>& param) { return param.param.name; });

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
