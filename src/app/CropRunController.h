#pragma once

#include "run/CropJob.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>

namespace trimlark {

// Runs crop jobs off the GUI thread, one after another, and reports on the thread this object lives on:
// the engine's callbacks come back as queued signals.
class CropRunController : public QObject
{
    Q_OBJECT

public:
    explicit CropRunController(QObject* parent = nullptr);
    // Waits for a run still working: it finishes its files first.
    ~CropRunController() override;

    // Starts the job. A failed image's reason is printed to the standard error with its path.
    void Start(const CropJob& job);
    // No further image of the run starts (also when asked just before Start); the images in progress finish.
    void Stop() { stop_ = true; }
    void WaitForDone();

Q_SIGNALS:
    // The share of the images done, 0 to 1.
    void progressChanged(double fraction);
    // The run has ended, with every image's outcome.
    void finished(const trimlark::CropRunResult& result);

private:
    std::atomic<bool> stop_ = false;
    QThreadPool pool_;
};

} // namespace trimlark
