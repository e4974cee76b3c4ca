// What the gamma and colour corrections share: the profile codes, the any-channel colour key,
// and the 32-bit bitmaps they accept.
#pragma once

#include <cstdint>
#include <optional>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// A profile code: the first digit names one of the four built-in profiles, the second (1 to 3)
// a variant that only the colour correction reads.
struct ProfileCode {
  int profile;  // 0..3
  int variant;  // 0..2
};

// One of 11, 12, 13, 21, ..., 43, or nothing: other codes name no profile and are refused.
constexpr std::optional<ProfileCode> ParseProfileCode(int code) {
  const int first = code / 10, second = code % 10;
  if (code < 11 || first > 4 || second < 1 || second > 3) return std::nullopt;
  return ProfileCode{first - 1, second - 1};
}

// The colour key of the corrections: a pixel is left alone when any one of its three channels
// equals the key's channel. Not in force without transparency or when bit 31 says alpha.
class ChannelKey {
 public:
  explicit ChannelKey(const TransparencyArg& transparency)
      : inForce_(transparency && !SaysAlphaCarriesTransparency(*transparency)),
        red_(transparency ? static_cast<uint8_t>(*transparency) : 0),
        green_(transparency ? static_cast<uint8_t>(*transparency >> 8) : 0),
        blue_(transparency ? static_cast<uint8_t>(*transparency >> 16) : 0) {}

  bool inForce() const { return inForce_; }
  // p points at a pixel: blue, green, red, alpha.
  bool skips(const uint8_t* p) const { return p[0] == blue_ || p[1] == green_ || p[2] == red_; }
  // The key's channels in pixel byte order (blue lowest), the fourth byte 0.
  uint32_t pixelBytes() const { return uint32_t{red_} << 16 | uint32_t{green_} << 8 | blue_; }

 private:
  bool inForce_;
  uint8_t red_, green_, blue_;
};

// A 32-bit bitmap whose rows all lie inside its block; its rows begin at DibBitsOffset, so colour
// masks or a colour table behind the header are never taken for pixels.
inline std::optional<DibView> ViewCorrectable(DibBlock bitmap) {
  std::optional<DibView> view = ViewDib(bitmap, DibExtent::Rows);
  if (!view || view->bitCount != 32) return std::nullopt;
  return view;
}

// Rows in stored order; a top-down bitmap (negative height) has none processed.
inline uint32_t CorrectedRows(const DibView& view) { return view.height > 0 ? view.pixelRows() : 0; }

}  // namespace ormi
