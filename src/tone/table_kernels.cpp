// The choice of the component-table kernel, made once per call.
#include "tone/table_kernels.h"

namespace ormi {

Table32Kernel SelectTable32(SimdLevel level) { return level == SimdLevel::Avx2 ? MapTable32Avx2 : nullptr; }

}  // namespace ormi
