#include "chain.h"

#include "apply.h"
#include "exit_status.h"
#include "extras.h"
#include "host/image_handle.h"
#include "picture_io.h"

namespace ormi::fx {

int ApplyChain(const std::vector<Step>& steps, HGLOBAL& image, std::string& error) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    // Read for every picture: an effect may change its extra pictures.
    ExtraPictures extras;
    int status = kFileError;
    if (!LoadExtras(*step.effect, step.extraFiles, extras, error, {step.maskThreshold, step.maskInvert})) {
      error = std::string(step.effect->name) + ": " + error;
    } else if (step.effect->result == host::ResultKind::NoImage) {
      status = RunWithoutImage(*step.effect, step.values, error);
    } else {
      status = ApplyEffect(*step.effect, step.values, image, error, extras.handles());
    }
    if (status != kDone) {
      if (steps.size() > 1)
        error = "step " + std::to_string(i + 1) + " of " + std::to_string(steps.size()) + ": " + error;
      return status;
    }
  }
  return kDone;
}

int ProcessFile(const std::vector<Step>& steps, const PictureOptions& options, const std::string& input,
                const std::string& output, std::string& error) {
  LoadedImage loaded;
  if (const int status = LoadImage(input, options, loaded, error); status != kDone) return status;
  int status = ApplyChain(steps, loaded.image, error);
  if (status != kDone) {
    error = input + ": " + error;
  } else {
    const auto format = options.format ? options.format : host::FormatFromPath(output);
    status = SaveImage(loaded.image, output, format.value_or(loaded.format), error, options.file, loaded.fullChroma);
  }
  host::FreeImageHandle(loaded.image);
  return status;
}

}  // namespace ormi::fx
