// The real main window with the given images listed and the first one selected, for screenshots:
//
//   xvfb-run -a -s "-screen 0 1366x768x24" app_demo IMAGE... &
//   import -window root shot.png
#include "app/ColourButton.h"
#include "app/CropPreviewView.h"
#include "app/QtPlatform.h"
#include "app/ViewController.h"
#include "imaging/ImageTools.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[])
{
    trimlark::ImageTools::Initialize();
    QApplication application(argc, argv);
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
    trimlark::ViewController window(std::make_unique<trimlark::QtPlatform>());
    window.show();
    window.openData(files);
    // APP_DEMO_TAB=1 shows the output settings.
    if (qEnvironmentVariableIsSet("APP_DEMO_TAB"))
        window.findChild<QTabWidget*>("tabView")->setCurrentIndex(qEnvironmentVariableIntValue("APP_DEMO_TAB"));
    // APP_DEMO_CLICK=NAME,NAME clicks those buttons or boxes first (e.g. checkLosslessJpeg).
    for (const QString& name : qEnvironmentVariable("APP_DEMO_CLICK").split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (auto* button = window.findChild<QAbstractButton*>(name))
            button->click();
    // APP_DEMO_POSITION=1 puts the automatic crop on the picture's subject.
    if (qEnvironmentVariableIsSet("APP_DEMO_POSITION")) {
        auto* position = window.findChild<QComboBox*>("comboAutoCropPosition");
        position->setCurrentIndex(qEnvironmentVariableIntValue("APP_DEMO_POSITION"));
        Q_EMIT position->activated(position->currentIndex());
    }
    // APP_DEMO_SIZE=MODE,W,H[,COLOUR] chooses a size (2,1200,1200,#ffffff: fit within, filled with white).
    if (qEnvironmentVariableIsSet("APP_DEMO_SIZE")) {
        const QStringList size = qEnvironmentVariable("APP_DEMO_SIZE").split(QLatin1Char(','));
        window.findChild<QLineEdit*>("textFieldSizeWidth")->setText(size.value(1));
        window.findChild<QLineEdit*>("textFieldSizeHeight")->setText(size.value(2));
        if (size.size() > 3) {
            window.findChild<QAbstractButton*>("checkFillToSize")->setChecked(true);
            window.findChild<trimlark::ColourButton*>("colorFill")->SetColour(size.value(3));
        }
        auto* mode = window.findChild<QComboBox*>("comboSize");
        mode->setCurrentIndex(size.value(0).toInt());
        Q_EMIT mode->activated(mode->currentIndex());
    }
    // APP_DEMO_ADJUST=ROW,ROW gives those rows' images a crop adjusted by hand: centred on the point a quarter of
    // the way in from the left and the top.
    for (const QString& row : qEnvironmentVariable("APP_DEMO_ADJUST").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const std::string path = files.value(row.toInt()).toStdString();
        if (const auto probe = trimlark::ImageTools::ProbeImage(path))
            window.SetAdjustment(path, trimlark::CropAdjustment{trimlark::CropAdjustment::Kind::Centre,
                                                                probe->size.width / 4, probe->size.height / 4});
    }
    // APP_DEMO_GRID=1 shows the list as thumbnails, in a wider pane.
    if (qEnvironmentVariableIsSet("APP_DEMO_GRID")) {
        window.findChild<QSplitter*>("splitterMain")->setSizes({610, 320, 390});
        window.findChild<QAction*>("actionShowAsGrid")->trigger();
    }
    if (!files.isEmpty())
        window.findChild<QTableView*>("tableViewImage")->selectRow(0);
    // APP_DEMO_FOCUS=NAME gives that control the keyboard focus, as Tab would.
    if (qEnvironmentVariableIsSet("APP_DEMO_FOCUS")) {
        QTimer::singleShot(300, &window, [&window] {
            QApplication::setActiveWindow(&window);
            window.setAttribute(Qt::WA_KeyboardFocusChange);
            if (auto* control = window.findChild<QWidget*>(qEnvironmentVariable("APP_DEMO_FOCUS")))
                control->setFocus(Qt::TabFocusReason);
        });
    }
    // APP_DEMO_DRAG=FRACTION presses the mouse on the crop in the preview and moves it that fraction of the picture's
    // width (negative: to the left), the button still held, as a drag looks half way.
    if (qEnvironmentVariableIsSet("APP_DEMO_DRAG")) {
        QTimer::singleShot(2000, &window, [&window] {
            auto* preview = window.findChild<trimlark::CropPreviewView*>("imageViewCropPreview");
            if (!preview || !preview->CropRect())
                return;
            const QRectF picture = preview->PictureArea();
            const QPointF from = picture.topLeft() + QPointF(preview->CropRect()->center().x() * picture.width(),
                                                             preview->CropRect()->center().y() * picture.height());
            const QPointF to = from + QPointF(qEnvironmentVariable("APP_DEMO_DRAG").toDouble() * picture.width(), 0);
            QMouseEvent press(QEvent::MouseButtonPress, from, preview->mapToGlobal(from), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QMouseEvent move(QEvent::MouseMove, to, preview->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(preview, &press);
            QCoreApplication::sendEvent(preview, &move);
        });
    }
    // APP_DEMO_RUN=FOLDER crops the listed images into FOLDER at once, so the run report shows.
    if (qEnvironmentVariableIsSet("APP_DEMO_RUN")) {
        window.findChild<QLineEdit*>("textFieldOutputFolder")->setText(qEnvironmentVariable("APP_DEMO_RUN"));
        QTimer::singleShot(500, &window, &trimlark::ViewController::OnCropImages);
    }
    return application.exec();
}
