#pragma once

#include "app/Platform.h"

#include <QCoreApplication>
#include <QUrl>

namespace trimlark {

// The request to rate the app after a successful run. A user's first successful run asks nothing; later ones
// ask at most once per launch, until the user answers "Yes, Rate Trimlark" (which opens the review page) or
// "No, Thanks". The answers are kept in the "ShowRateMessage" preference.
class RatePrompt
{
    Q_DECLARE_TR_FUNCTIONS(trimlark::ViewController)

public:
    RatePrompt(Platform& platform, QUrl reviewUrl) : platform_(platform), reviewUrl_(std::move(reviewUrl)) {}

    // Called after each successful run.
    void ShowRateMessage();
    // Whether the request was shown in this launch.
    bool RateMessageShown() const { return rateMessageShown; }

private:
    Platform& platform_;
    QUrl reviewUrl_;
    bool rateMessageShown = false;
};

} // namespace trimlark
