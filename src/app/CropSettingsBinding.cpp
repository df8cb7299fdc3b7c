#include "app/CropSettingsBinding.h"

#include "app/ColourButton.h"
#include "app/QualitySlider.h"
#include "app/Stepper.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

namespace trimlark {

CropSettingsBinding::Row::Row(QAbstractButton* control, bool CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->isChecked(); }),
      write_([control, field](const CropSettings& s) { control->setChecked(s.*field); })
{}

CropSettingsBinding::Row::Row(QComboBox* control, int CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->currentIndex(); }),
      write_([control, field](const CropSettings& s) { control->setCurrentIndex(s.*field); })
{}

CropSettingsBinding::Row::Row(QLineEdit* control, std::string CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->text().toStdString(); }),
      write_([control, field](const CropSettings& s) { control->setText(QString::fromStdString(s.*field)); })
{}

CropSettingsBinding::Row::Row(Stepper* control, float CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->Value(); }),
      write_([control, field](const CropSettings& s) { control->SetValue(s.*field); })
{}

CropSettingsBinding::Row::Row(QualitySlider* control, float CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->Value(); }),
      write_([control, field](const CropSettings& s) { control->SetValue(s.*field); })
{}

CropSettingsBinding::Row::Row(ColourButton* control, std::string CropSettings::*field)
    : control_(control), read_([control, field](CropSettings& s) { s.*field = control->Colour().toStdString(); }),
      write_([control, field](const CropSettings& s) { control->SetColour(QString::fromStdString(s.*field)); })
{}

CropSettings CropSettingsBinding::Get() const
{
    CropSettings settings;
    for (const Row& row : rows_)
        row.read_(settings);
    return settings;
}

void CropSettingsBinding::Set(const CropSettings& settings) const
{
    for (const Row& row : rows_)
        row.write_(settings);
}

void CropSettingsBinding::SetEnabled(bool enabled) const
{
    for (const Row& row : rows_)
        row.control_->setEnabled(enabled);
}

} // namespace trimlark
