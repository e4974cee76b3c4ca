// Writes the shipped gamma table file: 14 tables of 256 bytes (see README.md for the curves).
//   ormi-gammalut-gen OUTPUT
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kEntries = 256;

// Exponent of each profile's curve, per channel red, green, blue.
constexpr double kProfileGamma[4][3] = {
    {1.10, 1.05, 1.00},
    {1.20, 1.15, 1.25},
    {0.95, 1.00, 1.05},
    {1.15, 1.10, 0.90},
};
constexpr double kEncodingGamma = 2.2;
// The profile stretch puts the profile's black at 9: the curves start there.
constexpr int kProfileBlack = 9;

uint8_t Round255(double unit) {
  const double v = std::floor(unit * 255.0 + 0.5);
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

uint8_t ProfileCurve(int x, double gamma) {
  if (x <= kProfileBlack) return 0;
  return Round255(std::pow((x - kProfileBlack) / (255.0 - kProfileBlack), 1.0 / gamma));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 2;
  }
  std::vector<uint8_t> file;
  for (const auto& profile : kProfileGamma) {
    for (double gamma : profile) {
      for (int x = 0; x < kEntries; ++x) file.push_back(ProfileCurve(x, gamma));
    }
  }
  for (int x = 0; x < kEntries; ++x) file.push_back(Round255(std::pow(x / 255.0, 1.0 / kEncodingGamma)));
  for (int x = 0; x < kEntries; ++x) file.push_back(Round255(std::pow(x / 255.0, kEncodingGamma)));

  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
