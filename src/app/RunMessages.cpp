#include "app/RunMessages.h"

#include "run/OutputFolder.h"

#include <QCoreApplication>

namespace trimlark {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("RunMessages", text);
}

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

Alert RunMessages::OverwriteQuestion(const std::string& outputPath)
{
    Alert question;
    question.informativeText = ToQString(OverwriteQuestionText(outputPath));
    question.buttons = {Tr("Yes"), Tr("Yes to All"), Tr("No"), Tr("No to All")};
    question.escapeButton = 2; // dismissing the question keeps the existing file
    return question;
}

Alert RunMessages::ReplaceSourceQuestion(const std::string& outputPath)
{
    Alert question = OverwriteQuestion(outputPath);
    question.informativeText = ToQString(ReplaceSourceQuestionText(outputPath));
    question.defaultButton = 2;
    return question;
}

Alert RunMessages::CreateFolderQuestion(const std::string& folder)
{
    Alert question;
    question.informativeText = ToQString(CreateFolderQuestionText(folder));
    question.buttons = {Tr("Create"), Tr("Cancel")};
    question.escapeButton = 1;
    return question;
}

QString RunMessages::NoFolderOpenerText(const std::string& folder)
{
    return Tr("The folder %1 could not be opened: this system has no program for opening folders (xdg-open, from "
              "the xdg-utils package).")
        .arg(ToQString(folder));
}

OverwriteAnswer RunMessages::OverwriteAnswerOf(int button)
{
    switch (button) {
    case 0:
        return OverwriteAnswer::Yes;
    case 1:
        return OverwriteAnswer::YesToAll;
    case 3:
        return OverwriteAnswer::NoToAll;
    default:
        return OverwriteAnswer::No;
    }
}

Alert RunMessages::StopQuestion()
{
    Alert question;
    question.informativeText = Tr("Images are being cropped. Stop after the images in progress and quit?");
    question.buttons = {Tr("Stop and Quit"), Tr("Cancel")};
    question.escapeButton = 1;
    return question;
}

Alert RunMessages::Report(const CropRunResult& result)
{
    Alert report;
    const bool failed = !result.allImagesCropped;
    report.style = failed ? AlertStyle::Warning : AlertStyle::Informational;
    const QString headline = failed           ? ToQString(std::string(kRunFailedMessage))
                             : result.stopped ? Tr("The run was stopped.")
                                              : ToQString(std::string(kRunSucceededMessage));
    report.informativeText = headline + QLatin1Char('\n') + ToQString(RunCountsText(CountOutcomes(result.outcomes)));
    for (const ImageOutcome& outcome : result.outcomes) {
        QString line = ToQString(outcome.reason);
        if (outcome.wholeImage) // said first, beside what else the image's output lacks
            line = Tr("the crop cuts nothing out of it; the whole image was written") +
                   (line.isEmpty() ? QString() : QStringLiteral("; ") + line);
        if (!line.isEmpty())
            report.detailedText += ToQString(outcome.sourcePath) + QStringLiteral(": ") + line + QLatin1Char('\n');
    }
    report.buttons = {Tr("OK"), Tr("Open Output Folder")};
    return report;
}

} // namespace trimlark
