// RowRing: the working copy of a K x K window filter. K rows of unfiltered pixels in one locked
// working block, the row r in slot r mod K, so that every window reads only values that the
// filter has not written yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "image/dib.h"
#include "image/global_memory.h"

namespace ormi {

template <uint32_t K>
class RowRing {
 public:
  // A ring whose size does not fit in memory's size type is refused like a failed allocation.
  explicit RowRing(size_t rowBytes) : rowBytes_(rowBytes) {
    if (rowBytes <= std::numeric_limits<size_t>::max() / K) block_.emplace(kWorkingMemoryFlags, K * rowBytes);
  }
  RowRing(const RowRing&) = delete;
  RowRing& operator=(const RowRing&) = delete;

  explicit operator bool() const { return block_ && *block_; }
  size_t rowBytes() const { return rowBytes_; }

  const uint8_t* slot(uint32_t row) const { return block_->data() + (row % K) * rowBytes_; }

  // Copies stored row `row`, still unfiltered, into its slot.
  void load(const DibView& view, uint32_t row) {
    std::memcpy(block_->data() + (row % K) * rowBytes_, view.row(row), rowBytes_);
  }

 private:
  size_t rowBytes_;
  std::optional<WorkingBlock> block_;
};

}  // namespace ormi
