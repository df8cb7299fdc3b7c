#pragma once

#include "imaging/CropPlan.h"

#include <functional>
#include <optional>
#include <string>

namespace trimlark {

// A crop to show, as far as it can be planned at once; where the picture must be looked at first (a "Subject"
// crop, a border trim), placeOnPicture makes the plan again from the subject's sample once it is decoded, on a
// worker thread (a border trim looks at the file itself).
struct ShownCropRequest
{
    CropPlan plan;
    std::function<CropPlan(const RgbaBitmap& sample)> placeOnPicture;
};

// The crop plan the window shows for the selected image: the plan the run makes for it. The picture's facts come
// from its selection (the size and the JPEG layout read then); a "Subject" crop is placed only when the sample is
// given (the preview's worker has it), and is centred otherwise, at the same size (a lossless crop's growth to the
// block grid may then differ, so the worker's plan is shown once it is made); an adjusted image shows its
// adjustment, and a border trim what was found (the whole picture until then). Reads no file.
CropPlan GetShownCrop(const std::string& path, PixelSize size, const std::optional<LosslessJpegLayout>& jpeg,
                      const CropSettings& settings, const CustomRatio& ratio, const RgbaBitmap* subjectSample = nullptr,
                      const CropAdjustment* adjustment = nullptr, const std::optional<PixelRect>* trimmed = nullptr);

} // namespace trimlark
