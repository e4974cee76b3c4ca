#include "filters/filter_frame.h"

namespace ormi {

std::optional<DibView> ViewFilterRows(DibBlock bitmap, int32_t minSide) {
  const std::optional<DibView> view = ViewDib(bitmap, DibExtent::Tables);
  if (!view || view->bitCount != 32) return std::nullopt;
  if (view->width < minSide || view->height < minSide) return std::nullopt;
  // 32-bit rows have no padding; on a 32-bit build the stride of a huge width would not fit.
  const uint64_t rowBytes = uint64_t{4} * static_cast<uint32_t>(view->width);
  if (rowBytes > view->bitsBytes() / view->rows) return std::nullopt;
  DibView rows = *view;
  rows.stride = static_cast<size_t>(rowBytes);
  return rows;
}

}  // namespace ormi
