#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace trimlark {

class DataProvider;

// The small tool window of the main window in which the custom aspect ratio is entered. A term that reads as a
// positive whole number is stored in the shared DataProvider as it is typed; any other text waits for Return,
// leaving the field or closing the window. UpdateCropPreview follows every change of the stored ratio; the
// profile's modified state is never touched. Making it sets customWindowIsOpen; closing it (Escape, its Close
// button, not minimising) clears the flag and deletes the window, so the next "Custom" choice makes a fresh one.
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
    QPushButton* buttonClose = nullptr;

Q_SIGNALS:
    // The custom ratio changed: the main window refreshes its preview and dimension labels.
    void UpdateCropPreview();

public Q_SLOTS:
    // Return or leaving the field: an entry still waiting that is not a whole number, or is 0 or less, turns
    // the field into 1 and stores 1. A field whose text is stored already is left as it is.
    void OnTextFieldWidthChanged();
    void OnTextFieldHeightChanged();
    void WidthLargestDimensionSelected();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyTypedTerm(QLineEdit* field, std::int64_t& term);
    void ConfirmTerm(QLineEdit* field, std::int64_t& term);
    void StoreTerm(QLineEdit* field, std::int64_t& term, std::int64_t value);
    void MarkClosed();

    DataProvider& dataProvider;
    // Cleared once this window has given up customWindowIsOpen, so that a closed window deleted later cannot
    // clear the flag a newer window holds.
    bool isOpen_ = true;
};

} // namespace trimlark
