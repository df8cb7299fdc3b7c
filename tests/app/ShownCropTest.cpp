#include "app/ShownCrop.h"

#include "TestImages.h"
#include "imaging/Codecs.h"
#include "run/CropJob.h"
#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

// The window and the run make the same plan for the same file and settings, each from the facts it has: the
// window from the selection's header read and the preview's sample, the run from the loaded picture.
TEST(ShownCrop, IsThePlanTheRunMakes)
{
    test::TempFolder folder;
    const std::string sideways = folder.Path("sideways.jpg"), png = folder.Path("flat.png");
    // 4:2:0 blocks of 16 pixels, stored on its side: the plan is made on the upright 200 x 300 picture.
    test::WriteBytes(sideways, test::Encoded(test::NoiseImage(300, 200), ".jpg"));
    test::SetOrientation(sideways, 6);
    test::WriteCoordinateImage(png, 301, 203);
    const int jpg = AvailableFormats().IndexOfTitle("JPG");
    const struct Case
    {
        const char* name;
        CropSettings settings;
        bool lossless, subject; // what the JPEG's plan holds
    } cases[] = {
        {"the centred square", {}, false, false},
        {"16:9", {.comboAutoCropFormat = 3}, false, false},
        {"the custom ratio", {.comboAutoCropFormat = kCustomAutoCropFormatIndex}, false, false},
        {"on the subject", {.comboAutoCropPosition = 1}, false, true},
        {"odd percents from the top right",
         {.radioAutoCrop = false,
          .radioCustomCrop = true,
          .comboOriginCorner = 3,
          .textFieldCustomCropPercentsOriginX = "33.3",
          .textFieldCustomCropPercentsWidth = "33.3"},
         false,
         false},
        {"pixels off the picture",
         {.radioAutoCrop = false,
          .radioCustomCrop = true,
          .radioCustomCropPixels = true,
          .textFieldCustomCropPixelsOriginX = "900",
          .textFieldCustomCropPixelsWidth = "10",
          .textFieldCustomCropPixelsHeight = "10",
          .radioCustomCropPercents = false},
         false,
         false},
        {"lossless, grown to the grid", {.comboOriginCorner = 1, .checkLosslessJpeg = true}, true, false},
        {"lossless on the subject", {.comboAutoCropPosition = 1, .checkLosslessJpeg = true}, true, true},
    };
    for (const Case& c : cases) {
        for (const std::string& path : {sideways, png}) {
            SCOPED_TRACE(std::string(c.name) + ", " + path);
            CropSettings settings = c.settings;
            settings.comboFormat = jpg;
            settings.textFieldOutputFolder = folder.Path();
            const CustomRatio ratio{5, 3, true};
            const auto sample = ImageTools::LoadSubjectSample(path);
            ASSERT_TRUE(sample.has_value());
            const ImageProbe probe = ImageTools::ProbeImage(path).value();
            const CropPlan shown = GetShownCrop(path, probe.size, probe.jpeg, settings, ratio,
                                                PlacesOnSubject(settings) ? &*sample : nullptr);
            const CropJob job = BuildCropJob({path}, settings, ratio, {});
            const CropPlan run = PlanImageCrop(job, 0, ImageTools::LoadImageAtPixelSize(path).value());
            EXPECT_EQ(shown, run);
            if (path == sideways) {
                EXPECT_EQ(run.lossless.has_value(), c.lossless);
                EXPECT_EQ(run.source == CropSource::Subject, c.subject);
            }
        }
    }
}

} // namespace
} // namespace trimlark
