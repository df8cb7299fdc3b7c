#include "app/ProfileNames.h"

#include "base/PathText.h"

#include <QTextBoundaryFinder>

namespace trimlark {

namespace {

constexpr int kRemovedCharacters = 4;

} // namespace

QString ProfileDisplayName(const QString& path)
{
    const QString name = QString::fromStdString(std::string(LastPathComponent(path.toStdString())));
    // Counted in grapheme clusters, so an accented letter or an emoji typed as one character counts as one.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    finder.toEnd();
    qsizetype cut = name.size();
    for (int i = 0; i < kRemovedCharacters; ++i) {
        cut = finder.toPreviousBoundary();
        if (cut <= 0)
            return {};
    }
    return name.left(cut);
}

QString ProfileTitle(const QString& path)
{
    return QString::fromUtf16(kUntitledWindowTitle) + QStringLiteral(" - ") + ProfileDisplayName(path);
}

QString WithProfileExtension(const QString& path)
{
    if (path.endsWith(QStringLiteral(".tlp"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".tlp");
}

} // namespace trimlark
