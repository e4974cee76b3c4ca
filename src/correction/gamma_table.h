#pragma once

namespace ormi {

// Whether the gamma tables were read from the gamma table file in this process.
extern bool GammaTableLoaded;

}  // namespace ormi
