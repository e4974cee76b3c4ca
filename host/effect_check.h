// What can be said about a call before it is made: the catalog knows the depths an effect takes,
// the sizes its extra pictures must have, the angles that need 32 bits and the gamma table file
// it reads. ormi-fx and the Python module ask here first, so that a refusal says why and how to
// fix it, in the same words everywhere.
#pragma once

#include <span>
#include <string>

#include <ormi/win32.h>

#include "host/catalog.h"

namespace ormi::host {

// The facts of a picture that decide whether an effect takes it.
struct PictureFacts {
  int width = 0, height = 0;  // height is positive for both row orders
  int depth = 0;
  bool topDown = false;       // a negative biHeight
  bool carriesAlpha = false;  // its record says the alpha bytes carry the transparency
};

// From a packed bitmap's header (all zero for a handle that cannot be locked).
PictureFacts FactsOfBitmap(HGLOBAL bitmap);
// From an image handle: its bitmap's header and its record's transparency.
PictureFacts FactsOfImage(HGLOBAL image);

enum class ProblemKind {
  None,
  Picture,  // the effect cannot take this picture (its depth, its row order); the hint converts it
  Usage,    // an option's value or an extra picture is wrong
  File,     // a file the effect reads is missing or cannot be opened
};

struct Problem {
  ProblemKind kind = ProblemKind::None;
  std::string message;  // "rotate --degrees 45: 8-bit pictures turn only by ...", with the effect's name
  explicit operator bool() const { return kind != ProblemKind::None; }
};

// Checks a call of `effect` with `values` (laid out as EffectArgs::values) on `picture` (ignored
// for an effect without a picture), with `extras` the facts of its extra pictures in catalog
// order. Options are named as ormi-fx names them (--depth, --source).
Problem CheckEffect(const EffectInfo& effect, std::span<const double> values, const PictureFacts& picture,
                    std::span<const PictureFacts> extras = {});

// Whether the export keeps module state (the gamma table, the colour correction's matrices):
// calls of such exports must not overlap.
bool UsesModuleState(const EffectInfo& effect);

// "1, 4, 8, 16, 24 and 32 bits", "32-bit pictures"
std::string DescribeDepths(const std::vector<int>& depths);

// The depth that --depth should name to convert a picture for these depths: 32, 24 or 8 if they
// hold one of them, else 0.
int ConvertibleDepth(const std::vector<int>& depths);

// The gamma table file the library reads: the Windows directory and the file in it.
std::string GammaTableFolder();

}  // namespace ormi::host
