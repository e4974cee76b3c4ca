#pragma once

#include <ormi/effects.h>

namespace ormi {

// Turns the image of a locked record into its negative: the colour table at 4 and 8 bits, the
// pixel bytes at every other depth, leaving the transparent colour alone. Returns 1 once the
// bitmap was reached or refused, as the export reports it.
int InvertImage(ImageRecord& record);

}  // namespace ormi
