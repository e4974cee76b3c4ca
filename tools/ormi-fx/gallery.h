// The demo's index.html: sections of pictures, each beside its effect name and parameters.
#pragma once

#include <string>
#include <vector>

namespace ormi::fx {

struct GalleryTile {
  std::string file;     // picture file next to index.html; empty for an effect without a picture
  std::string caption;  // the command that made it, e.g. "blur --amount 60"
  std::string note;     // optional second line (why a picture is missing, a conversion)
};

struct GallerySection {
  std::string heading;
  std::vector<GalleryTile> tiles;
};

// Writes the page; false with a reason when it cannot.
bool WriteGallery(const std::string& path, const std::vector<GallerySection>& sections, std::string& error);

// Text made safe for HTML.
std::string EscapeHtml(const std::string& text);

}  // namespace ormi::fx
