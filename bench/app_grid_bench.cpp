// The main window's grid of thumbnails over 200 photo-like 3000 x 2000 JPEGs: the time from switching to the grid
// until its first screen of thumbnails is drawn, then, scrolling through the grid as a mouse wheel does, the longest
// time the window's event loop was kept from running. Not a test: the figures depend on the machine and its load.
//
//   app_grid_bench [folder [count]]   makes count JPEGs (200 by default) in folder once (default: a temporary
//                                     folder), shows the window (offscreen unless QT_QPA_PLATFORM says otherwise)
//                                     and prints the timings
#include "WindowBench.h"
#include "app/ThumbnailGridView.h"
#include "app/ViewController.h"
#include "imaging/ImageTools.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>

namespace {

using namespace trimlark;

// The longest time the event loop went without running a timer due every few milliseconds, beyond that interval,
// and how much of the time between those two turns the window's thread spent running (the rest it waited for a
// core: the machine's load).
class LoopWatch
{
public:
    LoopWatch()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kIntervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const double cpu = ThreadCpuMs();
            const double gap = static_cast<double>(now - last_) / 1e6 - kIntervalMs;
            if (gap > longest_) {
                longest_ = gap;
                longestCpu_ = cpu - lastCpu_;
            }
            last_ = now;
            lastCpu_ = cpu;
        });
        clock_.start();
        Reset();
        timer_.start();
    }
    void Reset()
    {
        longest_ = longestCpu_ = 0;
        last_ = clock_.nsecsElapsed();
        lastCpu_ = ThreadCpuMs();
    }
    QString Longest() const
    {
        return QStringLiteral("%1 ms (the window's thread ran %2 ms of the %3 ms between those turns)")
            .arg(longest_, 0, 'f', 1)
            .arg(longestCpu_, 0, 'f', 1)
            .arg(longest_ + kIntervalMs, 0, 'f', 1);
    }

private:
    static double ThreadCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }
    static constexpr int kIntervalMs = 4;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double lastCpu_ = 0;
    double longest_ = 0;
    double longestCpu_ = 0;
};

// The rows the grid shows now, whole or in part.
std::vector<int> VisibleRows(QListView& grid)
{
    std::vector<int> rows;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        if (grid.visualRect(grid.model()->index(row, 0)).intersects(grid.viewport()->rect()))
            rows.push_back(row);
    return rows;
}

bool ScreenFilled(ThumbnailGridView& grid, const QStringList& files)
{
    const std::vector<int> rows = VisibleRows(grid);
    return !rows.empty() && std::all_of(rows.begin(), rows.end(),
                                        [&](int row) { return grid.Thumbnails().IsCurrent(files[row].toStdString()); });
}

// Milliseconds until every thumbnail on the grid's screen is drawn.
double TimeToFilledScreen(ThumbnailGridView& grid, const QStringList& files, QElapsedTimer& since)
{
    while (!ScreenFilled(grid, files))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return static_cast<double>(since.nsecsElapsed()) / 1e6;
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
    const int count = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 200;
    std::printf("Making %d 3000 x 2000 JPEGs in %s (once) ...\n", count, qPrintable(folder));
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << bench::MakePhotoJpeg(folder + QStringLiteral("/grid-%1.jpg").arg(i, 4, 10, QLatin1Char('0')), i, 3000,
                                      2000);

    ViewController window(std::make_unique<bench::QuietPlatform>());
    window.resize(1920, 1080);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    // A full-HD window with the list's pane widened, as one does to look at a grid.
    window.findChild<QSplitter*>("splitterMain")->setSizes({1200, 300, 390});
    auto* grid = window.findChild<ThumbnailGridView*>("gridViewImage");
    window.openData(files);
    QCoreApplication::processEvents();

    LoopWatch watch;
    QElapsedTimer since;
    since.start();
    window.findChild<QAction*>("actionShowAsGrid")->trigger();
    const double first = TimeToFilledScreen(*grid, files, since);
    std::printf("Grid %d x %d, %zu thumbnails on the first screen\n", grid->viewport()->width(),
                grid->viewport()->height(), VisibleRows(*grid).size());
    std::printf("Switch to the grid until its first screen is drawn: %7.1f ms (event loop blocked at most %s)\n", first,
                qPrintable(watch.Longest()));

    // Scrolling down through the grid at a wheel's pace (three lines of 20 pixels 25 times a second), then back up.
    QScrollBar* bar = grid->verticalScrollBar();
    watch.Reset();
    since.restart();
    // Driven by a timer inside a running event loop, as the window's own loop runs (QTest's waits sleep between
    // their turns, which would count as blocked).
    QEventLoop scrolling;
    QTimer wheel;
    int step = 60;
    QObject::connect(&wheel, &QTimer::timeout, [&] {
        if (step > 0 && bar->value() >= bar->maximum())
            step = -step;
        else if (step < 0 && bar->value() <= 0)
            scrolling.quit();
        bar->setValue(bar->value() + step);
    });
    wheel.start(40);
    scrolling.exec();
    const double scrolled = static_cast<double>(since.nsecsElapsed()) / 1e6;
    std::printf("Scrolling down %d pixels and back in %.0f ms: event loop blocked at most %s\n", bar->maximum(),
                scrolled, qPrintable(watch.Longest()));
    since.restart();
    watch.Reset();
    const double settled = TimeToFilledScreen(*grid, files, since);
    std::printf("Back at the top, its screen drawn after:            %7.1f ms (event loop blocked at most %s)\n",
                settled, qPrintable(watch.Longest()));

    // A settings change redraws the screen's thumbnails from the decoded pictures.
    watch.Reset();
    since.restart();
    window.findChild<QAction*>("actionShowAsGrid")->setChecked(true);
    QMetaObject::invokeMethod(&window, "OnCustomCropSelected");
    const double redrawn = TimeToFilledScreen(*grid, files, since);
    std::printf("Settings change until the screen is drawn again:   %7.1f ms (event loop blocked at most %s)\n",
                redrawn, qPrintable(watch.Longest()));

    // A long list with the grid shown: 100,000 paths (not files: each shows as unreadable) opened at once, until the
    // grid has been laid out and drawn again.
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("/photos/%1/IMG_%2.jpg").arg(i / 1000).arg(i, 6, 10, QLatin1Char('0'));
    watch.Reset();
    since.restart();
    window.openData(many);
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("Adding 100,000 files with the grid shown:          %7.1f ms (%d rows)\n",
                static_cast<double>(since.nsecsElapsed()) / 1e6, grid->model()->rowCount());
    return 0;
}
