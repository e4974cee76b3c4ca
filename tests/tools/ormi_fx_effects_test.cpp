// Every effect from the command line, on a PNG with alpha, a JPEG and a BMP of a depth it takes:
// what ormi-fx writes must be what the export gives in this process for the same decoded picture.
#include <algorithm>
#include <functional>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

enum class Input { PngWithAlpha, Jpeg, Bmp };

struct EffectCase {
  const host::EffectInfo* effect;
  Input input;
};

std::string CaseName(const ::testing::TestParamInfo<EffectCase>& info) {
  std::string name = info.param.effect->name;
  std::replace(name.begin(), name.end(), '-', '_');
  const char* inputs[] = {"png", "jpeg", "bmp"};
  return name + "_" + inputs[static_cast<int>(info.param.input)];
}

std::vector<EffectCase> AllCases() {
  std::vector<EffectCase> cases;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    if (effect.result == host::ResultKind::NoImage) continue;
    for (const Input input : {Input::PngWithAlpha, Input::Jpeg, Input::Bmp}) cases.push_back({&effect, input});
  }
  return cases;
}

// Files for the effect's extra pictures, 13 x 9 like the input: a PNG with alpha, a 1-bit text
// mask with a pattern of set bits, a small 32-bit tile. Returns the options that name them.
std::string WriteExtras(const host::EffectInfo& effect, std::vector<std::string>& files,
                        const std::function<std::string(const std::string&)>& path) {
  std::string options;
  for (const host::ExtraInput& extra : effect.extras) {
    std::string file;
    if (extra.kind == host::ExtraKind::AlphaImage) {
      file = path(std::string(extra.name) + ".png");
      HGLOBAL picture = MakeTestPicture(13, 9, true);
      for (int x = 0; x < 13; ++x) WritePixel(picture, x, 4, ReadPixel(picture, x, 4) & 0xFFFFFF);  // a row at alpha 0
      WritePictureFile(file, host::PictureFormat::Png, picture, true);
      GlobalFree(picture);
    } else if (extra.kind == host::ExtraKind::TextMask) {
      file = path(std::string(extra.name) + ".bmp");
      HGLOBAL mask = MakeBitmap({.depth = 1, .width = 13, .height = 9, .palette = {0, 0xFFFFFF}});
      for (int r = 0; r < 9; ++r)
        for (int x = 0; x < 13; ++x) WritePixel(mask, x, r, (x / 3 + r / 2) % 2);
      WritePictureFile(file, host::PictureFormat::Bmp, mask, false);
      GlobalFree(mask);
    } else {
      file = path(std::string(extra.name) + ".bmp");
      HGLOBAL tile = MakeTestPicture(5, 3, false);
      WritePictureFile(file, host::PictureFormat::Bmp, tile, false);
      GlobalFree(tile);
    }
    files.push_back(file);
    options += std::string(" --") + extra.name + " " + file;
  }
  return options;
}

bool Takes(const host::EffectInfo& effect, int depth) {
  return std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end();
}

class EveryEffectTest : public FxFileTest, public ::testing::WithParamInterface<EffectCase> {
 protected:
  // A plain BMP of the test picture at `depth` (a 32-bit one with its fourth bytes 0: no alpha).
  void WriteBmp(const std::string& path, int depth) {
    HGLOBAL picture = MakeTestPicture(13, 9, false);
    HGLOBAL converted = host::ConvertBitmapDepth(picture, depth);
    GlobalFree(picture);
    if (depth == 32) {
      for (int r = 0; r < 9; ++r)
        for (int x = 0; x < 13; ++x) WritePixel(converted, x, r, ReadPixel(converted, x, r) & 0xFFFFFF);
    }
    WritePictureFile(path, host::PictureFormat::Bmp, converted, false);
    GlobalFree(converted);
  }
};

TEST_P(EveryEffectTest, WritesWhatTheExportGives) {
  const host::EffectInfo& effect = *GetParam().effect;
  const Input input = GetParam().input;
  const std::vector<double> values = host::DefaultValues(effect);
  std::string in, out, depthOption;
  std::vector<std::string> extraFiles;
  const std::string extraOptions = WriteExtras(effect, extraFiles, [this](const std::string& n) { return Path(n); });
  Expected expected;
  if (input == Input::Bmp) {
    // The smallest of 8, 24 and 32 bits at which the export takes the picture with these values.
    in = Path("in.bmp"), out = Path("out.bmp");
    for (const int depth : {8, 24, 32}) {
      if (!Takes(effect, depth)) continue;
      WriteBmp(in, depth);
      ComputeExpected(in, {{&effect, values, extraFiles}}, expected);
      if (expected.bitmap) break;
    }
  } else {
    // PNG and JPEG load at 32 bits; an effect that takes no 32-bit picture gets --depth.
    int convertTo = 0;
    for (const int depth : {32, 24, 8}) {
      if (Takes(effect, depth)) {
        convertTo = depth == 32 ? 0 : depth;
        break;
      }
    }
    if (convertTo) depthOption = " --depth " + std::to_string(convertTo);
    HGLOBAL picture = MakeTestPicture(13, 9, input == Input::PngWithAlpha);
    in = Path(input == Input::Jpeg ? "in.jpg" : "in.png"), out = Path("out.png");
    WritePictureFile(in, input == Input::Jpeg ? host::PictureFormat::Jpeg : host::PictureFormat::Png, picture,
                     input == Input::PngWithAlpha);
    ComputeExpected(in, {{&effect, values, extraFiles}}, expected, std::nullopt, convertTo);
    GlobalFree(picture);
    if (!expected.bitmap && input == Input::PngWithAlpha) {
      // An effect that refuses a picture whose alpha carries the transparency (inserting alpha):
      // refused from the command line too, then run on the PNG without alpha.
      const FxRun refused = RunFx(std::string(effect.name) + depthOption + extraOptions + " " + in + " " + out);
      EXPECT_EQ(refused.status, 1) << refused.output;
      EXPECT_FALSE(fs::exists(out));
      picture = MakeTestPicture(13, 9, false);
      WritePictureFile(in, host::PictureFormat::Png, picture, false);
      GlobalFree(picture);
      ComputeExpected(in, {{&effect, values, extraFiles}}, expected, std::nullopt, convertTo);
    }
  }
  ASSERT_NE(expected.bitmap, nullptr) << effect.name << " refused the test picture in this process";
  const FxRun run = RunFx(std::string(effect.name) + depthOption + extraOptions + " " + in + " " + out);
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFileMatches(out, expected);
}

INSTANTIATE_TEST_SUITE_P(Catalog, EveryEffectTest, ::testing::ValuesIn(AllCases()), CaseName);

// Non-default values reach the export: each parameter at its minimum and its maximum.
class EffectValuesTest : public FxFileTest, public ::testing::WithParamInterface<const host::EffectInfo*> {};

TEST_P(EffectValuesTest, OptionsAtTheirBoundsReachTheExport) {
  const host::EffectInfo& effect = *GetParam();
  HGLOBAL picture = MakeTestPicture(13, 9, false);
  WritePictureFile(Path("in.png"), host::PictureFormat::Png, picture, false);
  GlobalFree(picture);
  std::vector<std::string> extraFiles;
  const std::string extraOptions = WriteExtras(effect, extraFiles, [this](const std::string& n) { return Path(n); });
  for (const bool atMax : {false, true}) {
    std::string options = extraOptions;
    std::vector<double> values;
    for (const host::EffectParam& param : effect.params) {
      const double value = atMax ? param.max : param.min;
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", value);
      options += std::string(" --") + param.name + " ";
      for (size_t i = 0; i < host::ValueCount(param); ++i) {
        options += (i ? "," : "") + std::string(text);
        values.push_back(value);
      }
    }
    Expected expected;
    ComputeExpected(Path("in.png"), {{&effect, values, extraFiles}}, expected);
    const FxRun run = RunFx(std::string(effect.name) + options + " " + Path("in.png") + " " + Path("out.png"));
    if (!expected.bitmap) {  // the export refuses these values: so must the tool
      EXPECT_EQ(run.status, 1) << options << "\n" << run.output;
      continue;
    }
    ASSERT_EQ(run.status, 0) << options << "\n" << run.output;
    ExpectFileMatches(Path("out.png"), expected);
  }
}

std::vector<const host::EffectInfo*> EffectsWithOptionsOn32Bits() {
  std::vector<const host::EffectInfo*> effects;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    const bool takes32 = std::find(effect.depths.begin(), effect.depths.end(), 32) != effect.depths.end();
    if (effect.result != host::ResultKind::NoImage && takes32 && !effect.params.empty()) effects.push_back(&effect);
  }
  return effects;
}

INSTANTIATE_TEST_SUITE_P(Catalog, EffectValuesTest, ::testing::ValuesIn(EffectsWithOptionsOn32Bits()),
                         [](const ::testing::TestParamInfo<const host::EffectInfo*>& param) {
                           std::string name = param.param->name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace ormi::test
