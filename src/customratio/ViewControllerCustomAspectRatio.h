#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QCloseEvent;
class QLineEdit;

namespace trimlark {

class DataProvider;

// The small window in which the custom aspect ratio is entered. It edits the shared DataProvider at once and
// emits UpdateCropPreview after every change; it never touches the profile's modified state. Making it sets
// customWindowIsOpen; closing it (not minimising) clears the flag and deletes the window, so the next "Custom"
// choice makes a fresh one.
class ViewControllerCustomAspectRatio : public QWidget
{
    Q_OBJECT

public:
    explicit ViewControllerCustomAspectRatio(QWidget* parent = nullptr);
    ~ViewControllerCustomAspectRatio() override;

    // Fills the three controls from the DataProvider; done on construction, and again after a profile load
    // has written new values while the window is open.
    void ShowDataProviderValues();

    // true from construction until the window is closed or destroyed.
    bool IsOpen() const { return isOpen_; }

    QLineEdit* textFieldWidth = nullptr;
    QLineEdit* textFieldHeight = nullptr;
    QCheckBox* checkWidthLargestDimension = nullptr;

Q_SIGNALS:
    // The custom ratio changed: the main window refreshes its preview and dimension labels.
    void UpdateCropPreview();

public Q_SLOTS:
    // A width or height that is not a whole number, or is 0 or less, turns the field into 1 and stores 1.
    void OnTextFieldWidthChanged();
    void OnTextFieldHeightChanged();
    void WidthLargestDimensionSelected();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyTerm(QLineEdit* field, std::int64_t& term);
    void MarkClosed();

    DataProvider& dataProvider;
    // Cleared once this window has given up customWindowIsOpen, so that a closed window deleted later cannot
    // clear the flag a newer window holds.
    bool isOpen_ = true;
};

} // namespace trimlark
