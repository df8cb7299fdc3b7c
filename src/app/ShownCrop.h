#pragma once

#include "imaging/CropPlan.h"

#include <optional>
#include <string>

namespace trimlark {

// The crop plan the window shows for the selected image: the plan the run makes for it. The picture's facts come
// from its selection (the size and the JPEG layout read then); a "Subject" crop is placed only when the sample is
// given (the preview's worker has it), and is centred otherwise, at the same size (a lossless crop's growth to the
// block grid may then differ, so the worker's plan is shown once it is made); an adjusted image shows its
// adjustment, and a border trim what was found (the whole picture until then). Reads no file.
CropPlan GetShownCrop(const std::string& path, PixelSize size, const std::optional<LosslessJpegLayout>& jpeg,
                      const CropSettings& settings, const CustomRatio& ratio, const RgbaBitmap* subjectSample = nullptr,
                      const CropAdjustment* adjustment = nullptr, const std::optional<PixelRect>* trimmed = nullptr);

} // namespace trimlark
