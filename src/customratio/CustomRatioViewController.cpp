#include "customratio/CustomRatioViewController.h"

#include "customratio/RatioTermEntry.h"
#include "settings/DataProvider.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>

namespace trimlark {

namespace {

QLineEdit* MakeTermField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
    return field;
}

} // namespace

ViewControllerCustomAspectRatio::ViewControllerCustomAspectRatio(QWidget* parent)
    : QWidget(parent, Qt::Tool), dataProvider(DataProvider::Shared())
{
    setObjectName(QStringLiteral("ViewControllerCustomAspectRatio"));
    setWindowTitle(tr("Custom Aspect Ratio"));
    // Deleted on close so that the next opening starts from the stored values; the app may quit while it is open.
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);

    textFieldWidth = MakeTermField(this, "textFieldWidth");
    textFieldHeight = MakeTermField(this, "textFieldHeight");
    checkWidthLargestDimension = new QCheckBox(tr("Width along the longer side"), this);
    checkWidthLargestDimension->setObjectName(QStringLiteral("checkWidthLargestDimension"));
    checkWidthLargestDimension->setToolTip(
        tr("On: the width lies along each image's longer side. Off: along its horizontal side."));

    auto* form = new QFormLayout;
    form->addRow(tr("Width:"), textFieldWidth);
    form->addRow(tr("Height:"), textFieldHeight);
    auto* hint = new QLabel(tr("Whole numbers, e.g. 16 and 9."), this);
    hint->setEnabled(false);
    buttonClose = new QPushButton(tr("Close"), this);
    buttonClose->setObjectName(QStringLiteral("buttonClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(checkWidthLargestDimension);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowDataProviderValues();
    dataProvider.customWindowIsOpen = true;

    // Typing applies a whole number at once; Return or leaving a field confirms anything else, so a field being
    // cleared to type a new number is not turned into 1 half-way.
    connect(textFieldWidth, &QLineEdit::textEdited, this,
            [this] { ApplyTypedTerm(textFieldWidth, dataProvider.customWidth); });
    connect(textFieldHeight, &QLineEdit::textEdited, this,
            [this] { ApplyTypedTerm(textFieldHeight, dataProvider.customHeight); });
    connect(textFieldWidth, &QLineEdit::editingFinished, this,
            &ViewControllerCustomAspectRatio::OnTextFieldWidthChanged);
    connect(textFieldHeight, &QLineEdit::editingFinished, this,
            &ViewControllerCustomAspectRatio::OnTextFieldHeightChanged);
    connect(checkWidthLargestDimension, &QCheckBox::toggled, this,
            &ViewControllerCustomAspectRatio::WidthLargestDimensionSelected);
    connect(buttonClose, &QPushButton::clicked, this, &QWidget::close);
}

ViewControllerCustomAspectRatio::~ViewControllerCustomAspectRatio()
{
    // The controls outlive this part of the window: a field losing its focus as the window is destroyed must not
    // call back into it. An entry not confirmed by then is dropped; closing the window applies it.
    for (QObject* control :
         std::initializer_list<QObject*>{textFieldWidth, textFieldHeight, checkWidthLargestDimension})
        control->disconnect(this);
    MarkClosed();
}

void ViewControllerCustomAspectRatio::ShowDataProviderValues()
{
    textFieldWidth->setText(QString::fromStdString(RatioTermText(dataProvider.customWidth)));
    textFieldHeight->setText(QString::fromStdString(RatioTermText(dataProvider.customHeight)));
    const QSignalBlocker blocker(checkWidthLargestDimension);
    checkWidthLargestDimension->setChecked(dataProvider.customWidthLargestDimension);
}

void ViewControllerCustomAspectRatio::OnTextFieldWidthChanged()
{
    ConfirmTerm(textFieldWidth, dataProvider.customWidth);
}

void ViewControllerCustomAspectRatio::OnTextFieldHeightChanged()
{
    ConfirmTerm(textFieldHeight, dataProvider.customHeight);
}

void ViewControllerCustomAspectRatio::WidthLargestDimensionSelected()
{
    dataProvider.customWidthLargestDimension = checkWidthLargestDimension->isChecked();
    Q_EMIT UpdateCropPreview();
}

void ViewControllerCustomAspectRatio::closeEvent(QCloseEvent* event)
{
    // An entry still waiting in a field counts when the window is closed.
    OnTextFieldWidthChanged();
    OnTextFieldHeightChanged();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        MarkClosed();
}

void ViewControllerCustomAspectRatio::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel))
        close();
    else
        QWidget::keyPressEvent(event);
}

void ViewControllerCustomAspectRatio::ApplyTypedTerm(QLineEdit* field, std::int64_t& term)
{
    const RatioTermEntry entry = ReadRatioTerm(field->text().toStdString());
    if (!entry.resetField)
        StoreTerm(field, term, entry.value);
}

void ViewControllerCustomAspectRatio::ConfirmTerm(QLineEdit* field, std::int64_t& term)
{
    // Not modified: the field shows what is stored (or was just stored as typed).
    if (!field->isModified())
        return;
    const RatioTermEntry entry = ReadRatioTerm(field->text().toStdString());
    if (entry.resetField)
        field->setText(QStringLiteral("1"));
    StoreTerm(field, term, entry.value);
}

void ViewControllerCustomAspectRatio::StoreTerm(QLineEdit* field, std::int64_t& term, std::int64_t value)
{
    // The field's modified flag marks an entry not stored yet.
    field->setModified(false);
    if (term == value)
        return;
    term = value;
    Q_EMIT UpdateCropPreview();
}

void ViewControllerCustomAspectRatio::MarkClosed()
{
    if (!isOpen_)
        return;
    isOpen_ = false;
    dataProvider.customWindowIsOpen = false;
}

} // namespace trimlark
