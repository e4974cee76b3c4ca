// The choice of the component-table kernel, made once per call.
#include "tone/table_kernels.h"

namespace ormi {

Table32Kernel SelectTable32(SimdLevel level) {
  if (level == SimdLevel::Avx512) return MapTable32Avx512;
  return HasAvx2(level) ? MapTable32Avx2 : nullptr;
}

}  // namespace ormi
