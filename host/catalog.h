// The catalog of the library's exports: names, ordinals, parameters with their defaults and
// ranges, accepted depths. ormi-fx, the tests, benchmarks and fuzzers iterate over it, so an
// export added here is reached everywhere.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include <ormi/effects.h>

namespace ormi::host {

enum class ParamKind {
  Int,
  Double,
  DoubleList,  // several doubles passed together (e.g. as a pointer to an array), given as a comma list
};

struct EffectParam {
  const char* name;  // option name in ormi-fx, e.g. "amount"
  ParamKind kind;
  double defaultValue;
  double min;
  double max;
  const char* help;
  // DoubleList: the default values, one per element (their count is the list's length); min and
  // max bound every element, defaultValue is not used.
  std::vector<double> listDefaults = {};
};

// How many values a parameter takes in EffectArgs::values: 1, or a list's length.
size_t ValueCount(const EffectParam& param);

enum class ResultKind {
  InPlace,    // changes the image, returns 1 or 0
  NewImage,   // returns a new image handle or 0
  NewBitmap,  // returns a new packed bitmap handle (no record) or 0
  Painted,    // paints onto the device context of the call, returns 1 or 0
  NoImage,    // takes no image (args.image is null), returns 1 or 0
};

// A picture that an effect takes besides its input (ormi-fx: --NAME FILE), and how it is passed.
enum class ExtraKind {
  AlphaImage,  // an image handle of a 32-bit picture whose alpha bytes matter
  TextMask,    // a plain 1-bit bitmap handle, at least the input's size; bit 1 masks a pixel out
  Tile,        // a plain 32-bit bitmap handle, repeated across the output
};

struct ExtraInput {
  const char* name;
  ExtraKind kind;
  const char* help;
};

// What one call gets: the image and the parameter values in catalog order (a list parameter's
// values one after the other), the extra pictures in the order of EffectInfo::extras, the
// input's whole rectangle and, for Painted effects, a device context of the input's size.
struct EffectArgs {
  HGLOBAL image = nullptr;
  std::span<const double> values;
  std::span<const HGLOBAL> extras = {};
  RECT rect{};
  HDC dc = nullptr;
};

// A colour parameter (a COLORREF, or any 32-bit value such as one with bit 31 set) as an int.
inline int ColorArg(double value) { return static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(value))); }

// Colour parameters (Int, a COLORREF) are the ones named "color" or "...-color".
inline bool IsColorParam(const EffectParam& param) {
  const std::string_view name = param.name;
  return param.kind == ParamKind::Int && (name == "color" || name.ends_with("-color"));
}

struct EffectInfo {
  const char* exportName;
  int ordinal;
  const char* name;  // command name: the export without its prefix, lower case with hyphens
  const char* description;
  std::vector<EffectParam> params;
  std::vector<int> depths;  // depths the export works on (none for NoImage)
  ResultKind result;
  intptr_t (*invoke)(const EffectArgs& args);
  std::vector<ExtraInput> extras{};  // pictures besides the input, none for most effects
  const char* family = "";           // the family's folder name ("tone", "filters"), set by EffectCatalog
};

const std::vector<EffectInfo>& EffectCatalog();
const EffectInfo* FindEffect(std::string_view name);

// Parameter values at their defaults, laid out as EffectArgs::values.
std::vector<double> DefaultValues(const EffectInfo& effect);

}  // namespace ormi::host
