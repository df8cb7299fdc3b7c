// Time from a selection (or a settings change) in the main window to its crop preview on screen, for 24-megapixel
// JPEGs. Not a test: the figures depend on the machine and its load.
//
//   app_preview_bench [folder]   makes six 6000 x 4000 JPEGs in folder (default: a temporary folder), shows the
//                                window (offscreen unless QT_QPA_PLATFORM says otherwise) and prints the timings:
//                                a first selection beside djpeg's 1/8 decode of the file, the next row once the
//                                rows around a selection have been decoded ahead, a settings change
#include "WindowBench.h"
#include "app/CropPreviewView.h"
#include "app/ViewController.h"
#include "imaging/ImageTools.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using namespace trimlark;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Max(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Milliseconds from the action until the window has shown the preview it asked for.
template <typename Action> double TimeToPreview(ViewController& window, Action action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    // Sleeps until events come, as the window's own event loop does: the overload with a time limit returns at
    // once when nothing is pending, and calling it in a loop would keep a core busy beside the decoder.
    while (window.IsCropPreviewPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds libjpeg-turbo's own tool takes to decode the file at 1/8 scale: the least any preview of it costs.
double DjpegMilliseconds(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QProcess djpeg;
    djpeg.start(QStringLiteral("djpeg"), {QStringLiteral("-scale"), QStringLiteral("1/8"), QStringLiteral("-outfile"),
                                          QStringLiteral("/dev/null"), path});
    if (!djpeg.waitForFinished(30000) || djpeg.exitCode() != 0)
        std::fprintf(stderr, "djpeg (libjpeg-turbo-progs) did not run\n");
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ImageTools::Initialize();
    QApplication application(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    std::printf("Making six 6000 x 4000 JPEGs in %s ...\n", qPrintable(folder));
    QStringList files;
    for (int i = 0; i < 6; ++i)
        files << bench::MakePhotoJpeg(folder + QStringLiteral("/bench-%1.jpg").arg(i), i, 6000, 4000);

    ViewController window(std::make_unique<bench::QuietPlatform>());
    window.resize(1280, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* table = window.findChild<QTableView*>("tableViewImage");
    auto* custom = window.findChild<QRadioButton*>("radioCustomCrop");
    auto* automatic = window.findChild<QRadioButton*>("radioAutoCrop");
    auto* newList = window.findChild<QAction*>("actionNew");
    // Lets the decoding ahead of the rows next to the selection finish, as it does while a user looks.
    const auto settle = [] { QTest::qWait(900); };

    window.openData(files);
    // The first selection also loads the decoder libraries; it is reported on its own.
    const double first = TimeToPreview(window, [&] { table->selectRow(0); });
    std::printf("First selection (libraries loading): %.1f ms\n", first);
    // Each round starts a new list (nothing decoded yet): rows 0 and 3 are selections of pictures not seen
    // before (each followed by djpeg's 1/8 decode of the same file, the floor of a preview), then the rows
    // after 3 are reached with the down arrow, each after the one before has settled.
    std::vector<double> selection, floor, next, settings;
    for (int round = 0; round < 4; ++round) {
        newList->trigger();
        window.openData(files);
        for (const int row : {0, 3}) {
            selection.push_back(TimeToPreview(window, [&] { table->selectRow(row); }));
            floor.push_back(DjpegMilliseconds(files[row]));
            settle();
        }
        for (int step = 0; step < 2; ++step) {
            next.push_back(TimeToPreview(window, [&] {
                table->setFocus();
                QTest::keyClick(table, Qt::Key_Down);
            }));
            settle();
        }
        settings.push_back(TimeToPreview(window, [&] { (round % 2 ? automatic : custom)->click(); }));
    }
    const QSize shown = window.findChild<QWidget*>("imageViewCropPreview")->size();
    std::printf("Preview view %d x %d logical pixels, device pixel ratio %.2f\n", shown.width(), shown.height(),
                window.devicePixelRatioF());
    std::printf("Selection to preview:       median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(selection),
                Max(selection), selection.size());
    std::printf("djpeg -scale 1/8:           median %6.1f ms, max %6.1f ms (%zu runs)   ratio %.2f\n", Median(floor),
                Max(floor), floor.size(), Median(selection) / Median(floor));
    std::printf("Next row (decoded ahead):   median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(next), Max(next),
                next.size());
    // The decode on its own, at the size the window asked for: what is left is the window's share.
    const QSize target = window.findChild<CropPreviewView*>("imageViewCropPreview")->DisplayPixelSize();
    std::vector<double> decode;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        ImageTools::LoadPreviewBitmap(files[round % 6].toStdString(), target.width(), target.height());
        decode.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::vector<double> header;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        ImageTools::ProbeImage(files[round % 6].toStdString());
        header.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("Header read (labels):       median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(header), Max(header),
                header.size());
    std::printf("Decode alone at %d x %d:   median %6.1f ms, max %6.1f ms (%zu runs)\n", target.width(),
                target.height(), Median(decode), Max(decode), decode.size());
    std::printf("Settings change to preview: median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(settings),
                Max(settings), settings.size());

    // A long list: 100,000 paths opened with the app at once, until the window has drawn the table again.
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("/photos/%1/IMG_%2.jpg").arg(i / 1000).arg(i, 6, 10, QLatin1Char('0'));
    newList->trigger();
    window.openData(files);
    QElapsedTimer adding;
    adding.start();
    window.openData(many);
    table->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("Adding 100,000 files:       %6.1f ms (%d rows)\n", static_cast<double>(adding.nsecsElapsed()) / 1e6,
                table->model()->rowCount());
    QElapsedTimer again;
    again.start();
    window.openData(many); // every one already listed
    QCoreApplication::processEvents();
    std::printf("The same 100,000 again:     %6.1f ms (duplicates skipped)\n",
                static_cast<double>(again.nsecsElapsed()) / 1e6);
    return 0;
}
