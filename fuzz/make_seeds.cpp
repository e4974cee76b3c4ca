// Writes the seed corpus: for every catalog export, a valid image at each depth it accepts with
// its default arguments (catalog harness), and a valid bitmap and image at every depth (bitmap
// harness), and small files of every picture format and variant (picture harness).
// Usage: ormi-fuzz-seeds CATALOG_DIR DIB_DIR PICTURE_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/picture_seeds.h"

namespace {

using namespace ormi;

void Save(const std::string& path, const fuzz::FuzzWriter& out) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data().data()), static_cast<std::streamsize>(out.data().size()));
}

constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CATALOG_DIR DIB_DIR PICTURE_DIR\n", argv[0]);
    return 2;
  }
  const std::vector<host::EffectInfo>& catalog = host::EffectCatalog();
  for (size_t i = 0; i < catalog.size(); ++i) {
    const host::EffectInfo& effect = catalog[i];
    std::vector<int> depths = effect.depths;
    if (depths.empty()) depths.push_back(32);
    for (int depth : depths) {
      // A small picture for speed and one large enough for every window and histogram rule.
      for (int size : {4, 11}) {
        fuzz::FuzzWriter out;
        out.write<uint8_t>(static_cast<uint8_t>(i));
        if (effect.result != host::ResultKind::NoImage) fuzz::WriteImage(out, depth, size, size - 1, size + depth);
        for (const host::ExtraInput& extra : effect.extras) {
          switch (extra.kind) {
            case host::ExtraKind::AlphaImage: fuzz::WriteImage(out, 32, size, size - 1, size); break;
            case host::ExtraKind::TextMask: fuzz::WritePlainBitmap(out, 1, size, size - 1, size + 1); break;
            case host::ExtraKind::Tile: fuzz::WritePlainBitmap(out, 32, 3, 2, size + 2); break;
          }
        }
        fuzz::WriteRect(out, size, size - 1);
        if (effect.result == host::ResultKind::Painted) fuzz::WriteDc(out, size, size - 1);
        fuzz::WriteDefaultValues(out, effect);
        Save(std::string(argv[1]) + "/" + effect.name + "-" + std::to_string(depth) + "-" + std::to_string(size), out);
      }
    }
  }
  for (int depth : kDepths) {
    fuzz::FuzzWriter out;
    fuzz::WriteBitmap(out, depth, 5, -3, depth);
    fuzz::WriteImage(out, depth, 6, 4, depth + 1);
    Save(std::string(argv[2]) + "/depth-" + std::to_string(depth), out);
  }
  fuzz::WritePictureSeeds(argv[3]);
  return 0;
}
