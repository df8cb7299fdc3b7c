#include "customratio/CustomRatioWindowController.h"

#include "customratio/CustomRatioViewController.h"

#include <QWidget>

namespace trimlark {

CustomAspectRatioWindowController::CustomAspectRatioWindowController(QWidget* mainWindow)
    : QObject(mainWindow), mainWindow_(mainWindow)
{}

CustomAspectRatioWindowController::~CustomAspectRatioWindowController()
{
    // Without a main window nothing else would delete it; with one, deleting it first is harmless.
    delete window_.data();
}

void CustomAspectRatioWindowController::Show()
{
    if (Window() == nullptr) {
        // A closed window may still wait for its deferred deletion; it no longer counts.
        window_ = new ViewControllerCustomAspectRatio(mainWindow_.data());
        connect(window_.data(), &ViewControllerCustomAspectRatio::UpdateCropPreview, this,
                &CustomAspectRatioWindowController::UpdateCropPreview);
    }
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void CustomAspectRatioWindowController::Close()
{
    if (ViewControllerCustomAspectRatio* window = Window())
        window->close();
}

void CustomAspectRatioWindowController::ReloadValues()
{
    if (ViewControllerCustomAspectRatio* window = Window())
        window->ShowDataProviderValues();
}

ViewControllerCustomAspectRatio* CustomAspectRatioWindowController::Window() const
{
    return window_ && window_->IsOpen() ? window_.data() : nullptr;
}

} // namespace trimlark
