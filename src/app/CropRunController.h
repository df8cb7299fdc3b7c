#pragma once

#include "run/CropJob.h"

#include <QObject>
#include <QThreadPool>

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
    void WaitForDone();

Q_SIGNALS:
    // The share of the images done, 0 to 1.
    void progressChanged(double fraction);
    // The run has ended; false when an image could not be cropped.
    void finished(bool allImagesCropped);

private:
    QThreadPool pool_;
};

} // namespace trimlark
