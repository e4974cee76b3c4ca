#include "gallery.h"

#include <fstream>

namespace ormi::fx {

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool WriteGallery(const std::string& path, const std::vector<GallerySection>& sections, std::string& error) {
  std::ofstream html(path);
  html << "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>ormi-fx demo</title>\n"
          "<style>body{font-family:sans-serif;background:#222;color:#eee}"
          "figure{display:inline-block;vertical-align:top;margin:8px;text-align:center;max-width:340px}"
          "img{border:1px solid #555;image-rendering:pixelated;max-width:320px}"
          ".none{width:320px;height:60px;border:1px dashed #555;line-height:60px}"
          "figcaption small{color:#aaa}</style></head><body>\n"
          "<h1>ormi-fx demo</h1>\n";
  for (const GallerySection& section : sections) {
    html << "<h2>" << EscapeHtml(section.heading) << "</h2>\n";
    for (const GalleryTile& tile : section.tiles) {
      html << "<figure>";
      if (tile.file.empty()) {
        html << "<div class=\"none\">no picture</div>";
      } else {
        html << "<img src=\"" << EscapeHtml(tile.file) << "\" alt=\"" << EscapeHtml(tile.caption) << "\">";
      }
      html << "<figcaption><code>" << EscapeHtml(tile.caption) << "</code>";
      if (!tile.note.empty()) html << "<br><small>" << EscapeHtml(tile.note) << "</small>";
      html << "</figcaption></figure>\n";
    }
  }
  html << "</body></html>\n";
  html.close();
  if (!html) {
    error = path + ": cannot write the page";
    return false;
  }
  return true;
}

}  // namespace ormi::fx
