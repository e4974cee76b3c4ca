// Colours as people type them: #RRGGBB, RRGGBB or a CSS colour name, read into the library's
// COLORREF (0x00BBGGRR); 0x... keeps meaning the library's own value, bit 31 and all, for those
// who copy numbers from the export documentation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ormi::host {

// The COLORREF the text names; nullopt when it names none (case is ignored).
std::optional<uint32_t> ParseColor(std::string_view text);

// A COLORREF as it would be typed: its CSS name when it has one, else #RRGGBB; values above 24
// bits (a rule in bit 31) as 0x........
std::string FormatColor(uint32_t colorref);

}  // namespace ormi::host
