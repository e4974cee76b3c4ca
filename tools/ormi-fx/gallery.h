// The demo's index.html: for each picture, the effects grouped by family, each result beside its
// command and a one-line description; a click shows the result beside the original, larger.
// Plain HTML and CSS, nothing from outside the folder.
#pragma once

#include <string>
#include <vector>

namespace ormi::fx {

struct GalleryTile {
  std::string file;         // picture file next to index.html; empty for an effect without a picture
  std::string caption;      // the command that made it, runnable in the folder
  std::string description;  // what the effect does
  std::string note;         // optional: why a picture is missing
};

struct GalleryGroup {
  std::string heading, description;  // a family of effects
  std::vector<GalleryTile> tiles;
};

struct GallerySection {
  std::string heading;
  std::string original;  // the picture the effects ran on, as shown
  std::vector<GalleryGroup> groups;
};

// Writes the page; false with a reason when it cannot.
bool WriteGallery(const std::string& path, const std::vector<GallerySection>& sections, std::string& error);

// Text made safe for HTML.
std::string EscapeHtml(const std::string& text);

}  // namespace ormi::fx
