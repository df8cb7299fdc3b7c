// Time from a selection (or a settings change) in the main window to its crop preview on screen, for 24-megapixel
// JPEGs. Not a test: the figures depend on the machine and its load.
//
//   app_preview_bench [folder]   makes two 6000 x 4000 JPEGs in folder (default: a temporary folder), shows the
//                                window (offscreen unless QT_QPA_PLATFORM says otherwise) and prints the timings
#include "app/CropPreviewView.h"
#include "app/Platform.h"
#include "app/ViewController.h"
#include "imaging/ImageTools.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
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

// Answers nothing: the benchmark shows no messages or panels.
class QuietPlatform : public Platform
{
public:
    void SetDialogParent(QWidget*) override {}
    int ShowAlert(const Alert&) override { return 0; }
    std::optional<QStringList> ChooseImageFiles(const QString&, const QStringList&) override { return std::nullopt; }
    std::optional<QString> ChooseFolder(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseProfileToSave(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseProfileToLoad(const QString&) override { return std::nullopt; }
    std::optional<QString> ReadPreference(const QString& key) override
    {
        const auto found = preferences_.find(key);
        return found == preferences_.end() ? std::nullopt : std::optional<QString>(found->second);
    }
    void WritePreference(const QString& key, const QString& value) override { preferences_[key] = value; }
    void OpenUrl(const QUrl&) override {}

private:
    std::map<QString, QString> preferences_;
};

// A 24-megapixel photo-like JPEG: gradients and shapes, so the decoder has real detail to work through.
QString MakeJpeg(const QString& path, int seed)
{
    if (QFile::exists(path))
        return path;
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 6000, 4000);
    sky.setColorAt(0, QColor(40 + seed * 60, 120, 200));
    sky.setColorAt(1, QColor(250, 200 - seed * 50, 90));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37 + seed * 90) % 360, 160, 220, 140));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint((i * 7919) % 6000, (i * 104729) % 4000), 40 + i % 200, 30 + (i * 3) % 150);
    }
    painter.end();
    // Sensor-like noise: a camera's file holds far more detail than smooth shapes, and decoding cost follows it.
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = static_cast<int>(state % 41) - 20;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + noise, 0, 255), std::clamp(qGreen(p) + noise, 0, 255),
                           std::clamp(qBlue(p) + noise, 0, 255));
        }
    }
    if (!image.save(path, "JPEG", 90))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return path;
}

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
    while (window.IsCropPreviewPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
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
    std::printf("Making two 6000 x 4000 JPEGs in %s ...\n", qPrintable(folder));
    const QStringList files{MakeJpeg(folder + "/bench-a.jpg", 0), MakeJpeg(folder + "/bench-b.jpg", 1)};

    ViewController window(std::make_unique<QuietPlatform>());
    window.resize(1280, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.openData(files);
    auto* table = window.findChild<QTableView*>("tableViewImage");
    auto* custom = window.findChild<QRadioButton*>("radioCustomCrop");
    auto* automatic = window.findChild<QRadioButton*>("radioAutoCrop");

    // Alternating rows: each selection decodes its file anew (only the last picture is kept).
    std::vector<double> selection, settings;
    // The first selection also loads the decoder libraries; it is reported on its own.
    const double first = TimeToPreview(window, [&] { table->selectRow(0); });
    std::printf("First selection (libraries loading): %.1f ms\n", first);
    TimeToPreview(window, [&] { table->clearSelection(); });
    for (int round = 1; round <= 9; ++round) {
        selection.push_back(TimeToPreview(window, [&] { table->selectRow(round % 2); }));
        settings.push_back(TimeToPreview(window, [&] { (round % 2 ? automatic : custom)->click(); }));
    }
    const QSize shown = window.findChild<QWidget*>("imageViewCropPreview")->size();
    std::printf("Preview view %d x %d logical pixels, device pixel ratio %.2f\n", shown.width(), shown.height(),
                window.devicePixelRatioF());
    std::printf("Selection to preview, each run (ms):");
    for (double ms : selection)
        std::printf(" %.1f", ms);
    std::printf("\nSelection to preview:       median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(selection),
                Max(selection), selection.size());
    // The decode on its own, at the size the window asked for: what is left is the window's share.
    const QSize target = window.findChild<CropPreviewView*>("imageViewCropPreview")->DisplayPixelSize();
    std::vector<double> decode;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        ImageTools::LoadPreviewBitmap(files[round % 2].toStdString(), target.width(), target.height());
        decode.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::vector<double> header;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        ImageTools::GetImagePixelSize(files[round % 2].toStdString());
        header.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("Header read (labels):       median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(header), Max(header),
                header.size());
    std::printf("Decode alone at %d x %d:   median %6.1f ms, max %6.1f ms (%zu runs)\n", target.width(),
                target.height(), Median(decode), Max(decode), decode.size());
    std::printf("Settings change to preview: median %6.1f ms, max %6.1f ms (%zu runs)\n", Median(settings),
                Max(settings), settings.size());
    return 0;
}
