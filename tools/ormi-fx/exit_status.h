#pragma once

namespace ormi::fx {

// ormi-fx's exit statuses.
enum ExitStatus : int {
  kDone = 0,
  kRefused = 1,  // an effect refused the picture (the export returned 0)
  kUsageError = 2,
  kFileError = 3,
};

}  // namespace ormi::fx
