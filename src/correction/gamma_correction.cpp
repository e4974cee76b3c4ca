// Gamma correction of 32-bit images through the tables of the gamma table file.
//
// Mode 30: each channel is stretched from the profile's low L..high H to 9..255,
//   v = (x - L) * ((255.0 - 9.0) / (H - L)) + 9.0, clamped to 255 then to 0 and truncated,
// and then mapped through the profile's table for that channel. Modes 20 and 40 map all three
// channels through table 12 or table 13. The fourth byte never changes; with a colour key in
// force a pixel that shares any one channel with the key is left alone.
//
// The stretch and lookup are a function of one channel byte, so they are evaluated once per call
// for the 256 values into three channel tables; the pass over the pixels only looks them up.
#include "correction/gamma_correction.h"

#include <optional>

#include "correction/correction_frame.h"
#include "correction/gamma_correction_kernels.h"
#include "correction/gamma_table.h"
#include "image/global_memory.h"

namespace ormi {
namespace {

int StretchChannel(int x, double low, double high) {
  const double scale = (255.0 - 9.0) / (high - low);
  double v = (static_cast<double>(x) - low) * scale + 9.0;
  if (v >= 255.0) v = 255.0;
  if (v <= 0.0) v = 0.0;
  return static_cast<int>(v);
}

void CorrectRow(uint8_t* p, uint32_t width, const ChannelTables& tables) {
  for (uint32_t x = 0; x < width; ++x, p += 4) {
    p[0] = tables.map[kBlue][p[0]];
    p[1] = tables.map[kGreen][p[1]];
    p[2] = tables.map[kRed][p[2]];
  }
}

void CorrectKeyedRow(uint8_t* p, uint32_t width, const ChannelTables& tables, const ChannelKey& key) {
  for (uint32_t x = 0; x < width; ++x, p += 4) {
    if (key.skips(p)) continue;
    p[0] = tables.map[kBlue][p[0]];
    p[1] = tables.map[kGreen][p[1]];
    p[2] = tables.map[kRed][p[2]];
  }
}

void BuildProfileTables(int profile, ChannelTables& tables) {
  for (int x = 0; x < static_cast<int>(kGammaTableEntries); ++x) {
    int stretched[3];
    GammaProfileStretch(x, x, x, stretched[kRed], stretched[kGreen], stretched[kBlue], profile);
    for (int c = 0; c < 3; ++c) {
      tables.map[c][x] = GetGammaTableByte(GammaProfileTableOffset(profile, c) + static_cast<size_t>(stretched[c]));
    }
  }
}

void BuildSharedTables(size_t offset, ChannelTables& tables) {
  for (size_t x = 0; x < kGammaTableEntries; ++x) {
    const uint8_t value = GetGammaTableByte(offset + x);
    tables.map[kRed][x] = tables.map[kGreen][x] = tables.map[kBlue][x] = value;
  }
}

// The channel tables of a mode, or nothing when the mode changes no pixel.
enum class Setup { Tables, NothingToDo, Refused };

Setup BuildTables(int code, int mode, ChannelTables& tables) {
  switch (mode) {
    case kGammaModeProfile: {
      const std::optional<ProfileCode> profile = ParseProfileCode(code);
      if (!profile) return Setup::Refused;
      BuildProfileTables(profile->profile, tables);
      return Setup::Tables;
    }
    case kGammaModeEncode: BuildSharedTables(kGammaEncodeTableOffset, tables); return Setup::Tables;
    case kGammaModeDecode: BuildSharedTables(kGammaDecodeTableOffset, tables); return Setup::Tables;
    default: return Setup::NothingToDo;
  }
}

}  // namespace

void GammaProfileStretch(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue, int profile) {
  const double* low = GammaProfileLow[profile];
  const double* high = GammaProfileHigh[profile];
  outRed = StretchChannel(red, low[kRed], high[kRed]);
  outGreen = StretchChannel(green, low[kGreen], high[kGreen]);
  outBlue = StretchChannel(blue, low[kBlue], high[kBlue]);
}

int ImgGammaCorrectionPixels(DibBlock bitmap, int code, int mode, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewCorrectable(bitmap);
  if (!view) return 0;
  ChannelTables tables;
  const Setup setup = BuildTables(code, mode, tables);
  if (setup == Setup::Refused) return 0;
  if (setup == Setup::NothingToDo) return 1;

  const ChannelKey key(transparency);
  const auto width = static_cast<uint32_t>(view->width);
  const uint32_t rows = CorrectedRows(*view);
  const ChannelTablesKernel kernel = SelectChannelTablesKernel(ActiveSimdLevel());
  for (uint32_t r = 0; r < rows; ++r) {
    if (kernel) {
      kernel(view->row(r), width, tables, key);
    } else if (key.inForce()) {
      CorrectKeyedRow(view->row(r), width, tables, key);
    } else {
      CorrectRow(view->row(r), width, tables);
    }
  }
  return 1;
}

int ImgGammaCorrectionDib(HGLOBAL bitmap, int code, int mode, const TransparencyArg& transparency) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgGammaCorrectionPixels(lock.block(), code, mode, transparency);
}

}  // namespace ormi
