// What each export does with an input it cannot or need not fully handle, as its design states it:
// which checks its frame makes, what it gives when its bitmap cannot be reached (a lock or an
// allocation fails, or the block holds less than the header claims), and what it does with
// top-down rows and with a header copy that is missing or disagrees with the bitmap.
#pragma once

#include <string_view>
#include <vector>

#include "reliability/catalog_calls.h"

namespace ormi::test {

enum class Result { Zero, One, NonZero, Any };

// What a call may or must change in its inputs.
enum class Changes {
  None,        // records, header copies, pixels, extra pictures and painted pixels all as before
  RecordOnly,  // the record's transparency fields may be marked; everything else as before
  Pixels,      // the picture (pixels, or the device context) must change
  Any,         // not checked
};

struct Outcome {
  Result result;
  Changes changes = Changes::None;
};

inline constexpr Outcome kZero{Result::Zero};
inline constexpr Outcome kKept{Result::One, Changes::None};       // reported done, nothing changed
inline constexpr Outcome kChanged{Result::One, Changes::Pixels};  // done, pixels changed
inline constexpr Outcome kMade{Result::NonZero};                  // a new picture, the input as it was
// Refused after the record was marked (its transparency fields are set before the bitmap is locked).
inline constexpr Outcome kZeroMarked{Result::Zero, Changes::RecordOnly};

struct ExportFrame {
  std::string_view exportName;
  bool checksMagic;        // false: a direct frame, which locks the record without testing "IM20"
  bool refusesLockedFlag;  // a record with the locked-image flag is refused
  bool deletesGdiObject;   // the host's GDI object is deleted before the pixels change
  bool walksWholeBlock;    // the pixels are walked to the block's end whatever the header claims
  int records;             // image records locked before anything else (0, 1 or 2)
  Outcome unreached;       // the bitmap does not lock, a later lock or an allocation fails, or it is short
  Outcome topDown;
  Outcome noHeaderCopy;  // no header copy, or one in a freed block
  Outcome copyDiffers;   // the header copy names another depth than the bitmap
  // Argument values besides the defaults whose paths lock or allocate differently.
  std::vector<std::vector<double>> moreArgs = {};
  // Images besides the usual 9 x 7 whose paths lock or allocate differently (at the defaults).
  std::vector<BitmapSpec> moreImages = {};
};

// The entry of an export (asserted to exist).
const ExportFrame& ExportFrameOf(std::string_view exportName);

// Checks a call's result and what it changed against the outcome, and that every lock count of
// its inputs is back where it was.
void ExpectOutcome(intptr_t result, const PreparedCall::Snapshot& before, const PreparedCall::Snapshot& after,
                   Outcome expected);

}  // namespace ormi::test
