#include "app/ShownCrop.h"

#include "imaging/Codecs.h"
#include "settings/SettingsRules.h"

namespace trimlark {

ShownCrop GetShownCrop(const std::string& path, PixelSize size, const std::optional<LosslessJpegLayout>& jpeg,
                       const CropSettings& settings, const CustomRatio& ratio)
{
    const auto [width, height] = size;
    ShownCrop shown;
    shown.corner = OriginCornerAt(settings.comboOriginCorner);
    shown.rect = GetPreviewCropRect(settings, ratio, width, height);
    shown.refused =
        !GetCropRegionAtCorner(shown.corner, width, height, shown.rect.x, shown.rect.y, shown.rect.w, shown.rect.h);
    if (shown.refused) {
        shown.rect = {0, 0, width, height};
        return shown;
    }
    // A crop placed on the subject is placed by the preview's worker; its growth to the block grid is not shown.
    if (jpeg && settings.checkLosslessJpeg && !PlacesOnSubject(settings) &&
        AvailableFormats().OutputFormatAt(settings.comboFormat, path) == OutputFormat::Jpeg) {
        // The run's rectangle is measured in double precision; the preview's in single.
        const Rect run = GetRunCropRect(settings, ratio, width, height);
        shown.lossless = ImageTools::LosslessJpegRegion(*jpeg, run.x, run.y, run.w, run.h, shown.corner);
        const auto& [left, top, w, h] = *shown.lossless;
        shown.rect = {static_cast<double>(left), static_cast<double>(top), static_cast<double>(w),
                      static_cast<double>(h)};
        shown.corner = OriginCorner::TopLeft;
    }
    return shown;
}

} // namespace trimlark
