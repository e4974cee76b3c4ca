// Every effect from the command line, on a PNG with alpha, a JPEG and a BMP of a depth it takes,
// at its defaults and with every parameter at its bounds, and chains of effects: what ormi-fx
// writes must be what the exports give in this process for the same decoded picture.
#include <algorithm>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

enum class Input { PngWithAlpha, Jpeg, Bmp, AtMinimum, AtMaximum };

struct EffectCase {
  const host::EffectInfo* effect;
  Input input;
};

std::vector<EffectCase> AllCases() {
  std::vector<EffectCase> cases;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    if (effect.result == host::ResultKind::NoImage) continue;
    for (const Input input : {Input::PngWithAlpha, Input::Jpeg, Input::Bmp}) cases.push_back({&effect, input});
    const bool takes32 = std::find(effect.depths.begin(), effect.depths.end(), 32) != effect.depths.end();
    for (const Input input : {Input::AtMinimum, Input::AtMaximum})
      if (takes32 && !effect.params.empty()) cases.push_back({&effect, input});
  }
  return cases;
}

class EveryEffectTest : public FxFileTest, public ::testing::WithParamInterface<EffectCase> {};

TEST_P(EveryEffectTest, WritesWhatTheExportGives) {
  const host::EffectInfo& effect = *GetParam().effect;
  const Input input = GetParam().input;
  std::vector<double> values = host::DefaultValues(effect);
  std::vector<std::string> extraFiles;
  std::string options = WriteExtras(effect, extraFiles, 13, 9);
  if (input == Input::AtMinimum || input == Input::AtMaximum) {
    values.clear();
    for (const host::EffectParam& param : effect.params) {
      const double value = input == Input::AtMaximum ? param.max : param.min;
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", value);
      const std::string text = host::IsColorParam(param) ? host::FormatColor(host::ColorArg(value)) : number;
      options += std::string(" --") + param.name + " " + text;
      for (size_t i = 1; i < host::ValueCount(param); ++i) options += "," + text;
      values.insert(values.end(), host::ValueCount(param), value);
    }
  }
  const auto takes = [&](int depth) { return std::ranges::find(effect.depths, depth) != effect.depths.end(); };
  const bool bmp = input == Input::Bmp, alpha = input == Input::PngWithAlpha;
  const std::string in = Path(std::string("in.") + (bmp                    ? "bmp"
                                                    : input == Input::Jpeg ? "jpg"
                                                                           : "png")),
                    out = Path(bmp ? "out.bmp" : "out.png");
  Expected expected;
  // A BMP at the smallest of 8, 24 and 32 bits at which the export takes the picture with these
  // values; PNG and JPEG load at 32 bits, and an effect that takes no 32-bit picture gets --depth.
  const int convertTo = bmp || takes(32) ? 0 : takes(24) ? 24 : 8;
  if (convertTo) options += " --depth " + std::to_string(convertTo);
  for (const int depth : {8, 24, 32}) {
    if (bmp && !takes(depth)) continue;
    HGLOBAL picture = MakeTestPicture(13, 9, alpha);
    WriteFile(in, bmp ? host::ConvertBitmapDepth(picture, depth) : host::CopyGlobalBlock(picture), alpha);
    GlobalFree(picture);
    ComputeExpected(in, {{&effect, values, extraFiles}}, expected, convertTo);
    if (expected.bitmap || !bmp) break;
  }
  const ShellRun run = RunFx(std::string(effect.name) + options + " " + in + " " + out);
  if (!expected.bitmap) {  // the export refuses (inserting alpha into alpha): so must the tool, with a reason
    EXPECT_GE(run.status, 1) << options << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, effect.name)) << run.output;
    return;
  }
  ASSERT_EQ(run.status, 0) << options << "\n" << run.output;
  ExpectFileMatches(out, expected);
}

std::string CaseName(const ::testing::TestParamInfo<EffectCase>& param) {
  std::string name = param.param.effect->name;
  std::replace(name.begin(), name.end(), '-', '_');
  static const char* const kInputs[] = {"png", "jpeg", "bmp", "min", "max"};
  return name + "_" + kInputs[static_cast<int>(param.param.input)];
}

INSTANTIATE_TEST_SUITE_P(Catalog, EveryEffectTest, ::testing::ValuesIn(AllCases()), CaseName);

// Chains of effects joined by "then"; the record carries alpha as the file or the options say.
const host::EffectInfo* Effect(const char* name) { return host::FindEffect(name); }

class ChainTest : public FxFileTest {};

TEST_F(ChainTest, StepsApplyInOrderAndNewPicturesTakeThePlaceOfTheOld) {
  WriteFile(Path("in.png"), MakeTestPicture(17, 11, true), true);
  WriteFile(Path("plain.png"), MakeTestPicture(17, 11, false));
  WriteFile(Path("p8.bmp"), host::ConvertBitmapDepth(MakeTestPicture(17, 11, false), 8));
  std::vector<std::string> maskFile;
  WriteExtras(*Effect("gradient-for-text"), maskFile, 17, 11);
  const struct {
    std::string arguments;  // ending in @input @output
    std::vector<StepCall> steps;
    bool alpha = false;  // --alpha-transparency
  } cases[] = {
      // A rotation's new image (larger than the input) goes on down the chain.
      {"blur --amount 60 then rotate --degrees 15 then normalise @in.png @out.png",
       {{Effect("blur"), {60}}, {Effect("rotate"), {15}}, {Effect("normalise"), {}}}},
      // The second brightness has no --delta: its default, not the first one's value.
      {"brightness --delta -100 then brightness @in.png @out.png",
       {{Effect("brightness"), {-100}}, {Effect("brightness"), {40}}}},
      // A new plain bitmap with transparent pixels, made with an extra picture, then mirrored.
      {"invert then gradient-for-text --from-color red --to-color 0xFF0000 --degrees 90 --mask @mask.bmp then mirror "
       "--rows 1 --columns 0 @in.png @out.png",
       {{Effect("invert"), {}},
        {Effect("gradient-for-text"), {0x0000FF, 0xFF0000, 90}, maskFile},
        {Effect("mirror"), {1, 0}}}},
      // Quarter turns keep a palette BMP's depth.
      {"rotate --degrees 90 then invert @p8.bmp @out.bmp", {{Effect("rotate"), {90}}, {Effect("invert"), {}}}},
      // Alpha from the file (written to a BMP with its alpha bytes) or from the option.
      {"brightness @in.png @out.bmp", {{Effect("brightness"), {40}}}},
      {"blur --alpha-transparency @plain.png @out.png", {{Effect("blur"), {50}}}, true},
  };
  for (const auto& c : cases) {
    const size_t last = c.arguments.rfind(" @"), first = c.arguments.rfind(" @", last - 1);
    const std::string input = Path(c.arguments.substr(first + 2, last - first - 2)),
                      output = Expand(c.arguments.substr(last + 1));
    Expected expected;
    ComputeExpected(input, c.steps, expected, 0, c.alpha);
    const ShellRun run = RunFx(Expand(c.arguments));
    ASSERT_EQ(run.status, 0) << run.output;
    ExpectFileMatches(output, expected);
  }
}

}  // namespace
}  // namespace ormi::test
