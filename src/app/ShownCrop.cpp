#include "app/ShownCrop.h"

#include "imaging/Codecs.h"

namespace trimlark {

CropPlan GetShownCrop(const std::string& path, PixelSize size, const std::optional<LosslessJpegLayout>& jpeg,
                      const CropSettings& settings, const CustomRatio& ratio, const RgbaBitmap* subjectSample,
                      const CropAdjustment* adjustment, const std::optional<PixelRect>* trimmed)
{
    return MakeCropPlan(settings, ratio,
                        {size, jpeg, subjectSample, AvailableFormats().OutputFormatAt(settings.comboFormat, path),
                         adjustment, trimmed});
}

} // namespace trimlark
