// The choice of the 3x3 row kernels, made once per call.
#include "filters/kernel3x3.h"

namespace ormi {

Row3x3Function SelectLinear3x3Row(SimdLevel level) { return HasAvx2(level) ? Linear3x3RowAvx2 : nullptr; }

Row3x3Function SelectEmboss3x3Row(SimdLevel level) { return HasAvx2(level) ? Emboss3x3RowAvx2 : nullptr; }

}  // namespace ormi
