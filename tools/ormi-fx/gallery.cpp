#include "gallery.h"

#include <fstream>

namespace ormi::fx {
namespace {

// Transparent pixels show on a checkerboard; a thumbnail scales any picture to one width, so a
// small picture of the user's is seen at a useful size; :target opens the enlarged pair.
constexpr const char* kStyle =
    "body{font-family:system-ui,sans-serif;background:#1e1f22;color:#e8e8e8;margin:24px}"
    "h1{font-weight:600}h2{margin-top:40px;border-bottom:1px solid #444}h3{margin:28px 0 4px}"
    "p.family{color:#aaa;margin:0 0 8px}"
    ".tiles{display:flex;flex-wrap:wrap;gap:14px}"
    "figure{margin:0;width:320px;background:#2a2b2f;padding:8px;border-radius:6px}"
    ".check{background:repeating-conic-gradient(#9a9a9a 0 25%,#d0d0d0 0 50%) 0 0/16px 16px}"
    "figure img{display:block;width:320px;height:auto;image-rendering:pixelated}"
    "figcaption{font-size:13px;margin-top:6px}figcaption code{color:#9fd3ff;overflow-wrap:anywhere}"
    "figcaption small{display:block;color:#bbb;margin-top:4px}"
    ".none{width:320px;height:80px;border:1px dashed #555;display:flex;align-items:center;justify-content:center}"
    ".zoom{display:none}.zoom:target{display:flex;position:fixed;inset:0;background:rgba(10,10,12,.92);"
    "gap:2vw;align-items:center;justify-content:center;flex-wrap:wrap}"
    ".zoom figure{width:46vw;background:none}.zoom img{width:46vw;height:auto;image-rendering:pixelated}"
    ".zoom a.close{position:absolute;inset:0}.zoom figure{position:relative;pointer-events:none}";

void WriteTile(std::ofstream& html, const GallerySection& section, const GalleryTile& tile, size_t id) {
  html << "<figure>";
  if (tile.file.empty()) {
    html << "<div class=\"none\">no picture</div>";
  } else {
    html << "<a href=\"#z" << id << "\"><img class=\"check\" src=\"" << EscapeHtml(tile.file) << "\" alt=\""
         << EscapeHtml(tile.caption) << "\"></a>";
  }
  html << "<figcaption><code>" << EscapeHtml(tile.caption) << "</code>";
  if (!tile.description.empty()) html << "<small>" << EscapeHtml(tile.description) << "</small>";
  if (!tile.note.empty()) html << "<small>" << EscapeHtml(tile.note) << "</small>";
  html << "</figcaption></figure>\n";
  if (tile.file.empty() || section.original.empty()) return;
  html << "<div class=\"zoom\" id=\"z" << id << "\"><a class=\"close\" href=\"#\" title=\"close\"></a>"
       << "<figure><img class=\"check\" src=\"" << EscapeHtml(section.original)
       << "\" alt=\"original\"><figcaption>original</figcaption></figure>"
       << "<figure><img class=\"check\" src=\"" << EscapeHtml(tile.file) << "\" alt=\"" << EscapeHtml(tile.caption)
       << "\"><figcaption><code>" << EscapeHtml(tile.caption) << "</code></figcaption></figure></div>\n";
}

}  // namespace

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
  html << "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>ormi-fx gallery</title>\n<style>"
       << kStyle << "</style></head><body>\n<h1>ormi-fx gallery</h1>\n"
       << "<p>Every effect at its defaults. Each caption is the command that made the picture; it runs as written "
          "in this folder. Click a picture to see it beside the original.</p>\n";
  size_t id = 0;
  for (const GallerySection& section : sections) {
    html << "<h2>" << EscapeHtml(section.heading) << "</h2>\n";
    if (!section.original.empty()) {
      html << "<div class=\"tiles\"><figure><img class=\"check\" src=\"" << EscapeHtml(section.original)
           << "\" alt=\"original\"><figcaption>original: <code>" << EscapeHtml(section.original)
           << "</code></figcaption></figure></div>\n";
    }
    for (const GalleryGroup& group : section.groups) {
      html << "<h3>" << EscapeHtml(group.heading) << "</h3>\n<p class=\"family\">" << EscapeHtml(group.description)
           << "</p>\n<div class=\"tiles\">\n";
      for (const GalleryTile& tile : group.tiles) WriteTile(html, section, tile, id++);
      html << "</div>\n";
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
