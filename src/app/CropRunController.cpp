#include "app/CropRunController.h"

#include <cstdio>

namespace trimlark {

CropRunController::CropRunController(QObject* parent) : QObject(parent)
{
    pool_.setMaxThreadCount(1);
}

CropRunController::~CropRunController()
{
    WaitForDone();
}

void CropRunController::Start(const CropJob& job)
{
    pool_.start([this, job] {
        CropRunCallbacks callbacks;
        callbacks.progress = [this](double value) {
            QMetaObject::invokeMethod(
                this, [this, value] { Q_EMIT progressChanged(value); }, Qt::QueuedConnection);
        };
        callbacks.imageDone = [](const ImageOutcome& outcome) {
            if (!outcome.reason.empty())
                std::fprintf(stderr, "%s: %s\n", outcome.sourcePath.c_str(), outcome.reason.c_str());
        };
        callbacks.stopRequested = [this] { return stop_.load(); };
        CropRunResult result = CropImagesWork(job, callbacks);
        stop_ = false;
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { Q_EMIT finished(result); }, Qt::QueuedConnection);
    });
}

void CropRunController::WaitForDone()
{
    pool_.waitForDone();
}

} // namespace trimlark
