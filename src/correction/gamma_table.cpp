#include "correction/gamma_table.h"

namespace ormi {

bool GammaTableLoaded = false;

}  // namespace ormi
