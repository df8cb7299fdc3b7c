#include "customratio/CustomRatioViewController.h"
#include "customratio/CustomRatioWindowController.h"
#include "settings/DataProvider.h"

#include <QApplication>

// Opens the custom aspect-ratio window on its own with a 16:9 ratio, for screenshots of the real window.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    trimlark::DataProvider::Shared().customWidth = 16;
    trimlark::DataProvider::Shared().customHeight = 9;
    trimlark::CustomAspectRatioWindowController controller(nullptr);
    controller.Show();
    // No field focused, so that no text cursor blinks in the picture.
    controller.Window()->setFocus();
    QObject::connect(controller.Window(), &QObject::destroyed, &app, &QApplication::quit);
    return app.exec();
}
