#include "app/RatePrompt.h"

namespace trimlark {

namespace {

const QString kShowRateMessageKey = QStringLiteral("ShowRateMessage");

} // namespace

void RatePrompt::ShowRateMessage()
{
    const auto stored = platform_.ReadPreference(kShowRateMessageKey);
    if (!stored) {
        // The first successful run of a user asks nothing.
        platform_.WritePreference(kShowRateMessageKey, QStringLiteral("Yes"));
        return;
    }
    if (*stored != QStringLiteral("Yes") || rateMessageShown)
        return;
    Alert question;
    question.style = AlertStyle::Question;
    question.informativeText = tr("If you enjoy using Trimlark, would you mind taking a moment to rate it? "
                                  "Thanks for your support!");
    question.buttons = {tr("Yes, Rate Trimlark"), tr("Remind me later"), tr("No, Thanks")};
    question.escapeButton = 1;
    switch (platform_.ShowAlert(question)) {
    case 0:
        platform_.OpenUrl(reviewUrl_);
        platform_.WritePreference(kShowRateMessageKey, QStringLiteral("No"));
        break;
    case 2:
        platform_.WritePreference(kShowRateMessageKey, QStringLiteral("No"));
        break;
    default:
        break;
    }
    rateMessageShown = true;
}

} // namespace trimlark
