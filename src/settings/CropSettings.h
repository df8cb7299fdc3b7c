#pragma once

#include <string>

namespace trimlark {

// The corner that custom crop offsets are measured from; the value is the index in the corner list.
enum class OriginCorner
{
    BottomLeft = 0,
    BottomRight = 1,
    TopLeft = 2,
    TopRight = 3,
};

// Where an automatic crop sits; the value is the index in the position list.
enum class CropPosition
{
    Centred = 0,
    Subject = 1, // on the picture's most interesting region, at the centred crop's size
};

// Every crop and output setting of the main window, one field per control, named after it.
// Text fields hold their text as typed; the geometry reads their numbers with ReadFloatValue.
// Choice lists hold the selected index, -1 when nothing is selected.
struct CropSettings
{
    bool radioAutoCrop = true;
    int comboAutoCropFormat = 0;
    int comboAutoCropPosition = static_cast<int>(CropPosition::Centred);
    bool radioCustomCrop = false;
    int comboOriginCorner = 0;
    bool radioCustomCropPixels = false;
    std::string textFieldCustomCropPixelsOriginX = "0";
    std::string textFieldCustomCropPixelsOriginY = "0";
    std::string textFieldCustomCropPixelsWidth = "0";
    std::string textFieldCustomCropPixelsHeight = "0";
    bool radioCustomCropPercents = true;
    std::string textFieldCustomCropPercentsOriginX = "20";
    float stepperCustomCropPercentsOriginX = 20.0f;
    std::string textFieldCustomCropPercentsOriginY = "20";
    float stepperCustomCropPercentsOriginY = 20.0f;
    std::string textFieldCustomCropPercentsWidth = "60";
    float stepperCustomCropPercentsWidth = 60.0f;
    std::string textFieldCustomCropPercentsHeight = "60";
    float stepperCustomCropPercentsHeight = 60.0f;
    int comboFormat = 0;
    float sliderQuality = 80.0f;
    std::string textFieldName = "[FileName]_cropped ([FileIndex])";
    std::string textFieldOutputFolder;
    bool checkKeepEXIFInformationAndCreationDate = true;
    // JPEG sources written as JPEG are cropped without re-encoding (the kept coded blocks are copied).
    bool checkLosslessJpeg = false;
    // The size step after the crop (SizeMode order); at 0 the crop is written at its own size.
    int comboSize = 0;
    std::string textFieldSizeWidth = "1080"; // pixels; for a print size, in the unit's lengths
    std::string textFieldSizeHeight = "1080";
    int comboSizeUnit = 1; // PrintUnit order
    std::string textFieldSizePpi = "300";
    bool checkDoNotEnlarge = false;
    bool checkFillToSize = false;      // "Fit within" only
    std::string colorFill = "#ffffff"; // "#rrggbb", or "transparent"
    // The crop that trims the picture's border: how far from the border's colour a pixel may be and still be
    // border (0-100), and the pixels kept around what is found.
    bool radioTrimBorders = false;
    std::string textFieldTrimTolerance = "10";
    std::string textFieldTrimMargin = "0";

    bool operator==(const CropSettings&) const = default;
};

} // namespace trimlark
