#pragma once

#include "settings/CropSettings.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;

namespace trimlark {

class ColourButton;
class QualitySlider;
class Stepper;

// The settings controls, each paired once with its CropSettings field: reading the settings, writing them and
// enabling their controls all go through this one table.
class CropSettingsBinding
{
public:
    // One control and the field it shows. Check boxes and radio buttons hold a bool, choice lists the selected
    // index, text fields their text as typed, steppers and the quality slider their single-precision value, the colour
    // button its colour's text.
    class Row
    {
    public:
        Row(QAbstractButton* control, bool CropSettings::*field);
        Row(QComboBox* control, int CropSettings::*field);
        Row(QLineEdit* control, std::string CropSettings::*field);
        Row(Stepper* control, float CropSettings::*field);
        Row(QualitySlider* control, float CropSettings::*field);
        Row(ColourButton* control, std::string CropSettings::*field);

    private:
        friend class CropSettingsBinding;
        QWidget* control_;
        std::function<void(CropSettings&)> read_;
        std::function<void(const CropSettings&)> write_;
    };

    CropSettingsBinding() = default;
    CropSettingsBinding(std::initializer_list<Row> rows) : rows_(rows) {}

    // The settings as the controls hold them; a field without a row keeps its default.
    CropSettings Get() const;
    // Writes every field into its control. Only the signals that user input sends are left out, so no action runs.
    void Set(const CropSettings& settings) const;
    void SetEnabled(bool enabled) const;

private:
    std::vector<Row> rows_;
};

} // namespace trimlark
