#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace trimlark {

class ViewControllerCustomAspectRatio;

// The main window's handle on the custom aspect-ratio window: at most one such window exists at a time, and
// every window it makes reports its changes through this object's UpdateCropPreview, so one connection from
// the main window serves all of them.
class CustomAspectRatioWindowController : public QObject
{
    Q_OBJECT

public:
    // mainWindow parents both this controller and the windows it makes; it may be null (tests).
    explicit CustomAspectRatioWindowController(QWidget* mainWindow);
    ~CustomAspectRatioWindowController() override;

    // Makes the window anew when none is open (it shows the stored values); otherwise brings the open one
    // forward, restoring it when minimised.
    void Show();

    // Closes the open window, if any, as the user would (Quit, the main window closing).
    void Close();

    // Shows the stored values in the open window, if any, after something else (a profile load) changed them.
    void ReloadValues();

    // The open window, or null.
    ViewControllerCustomAspectRatio* Window() const;

Q_SIGNALS:
    void UpdateCropPreview();

private:
    QPointer<QWidget> mainWindow_;
    QPointer<ViewControllerCustomAspectRatio> window_;
};

} // namespace trimlark
