#pragma once

#include <QObject>
#include <QStringList>

namespace trimlark {

// The app's named notifications, as signals of one shared object. The main window observes both.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter& Default();

Q_SIGNALS:
    // Files opened with the app from outside, in the order handed over (absolute paths, unfiltered).
    void openWith(const QStringList& paths);
    // A change of the custom aspect ratio: the preview and labels are due again.
    void UpdateCropPreview();

private:
    NotificationCenter() = default;
};

} // namespace trimlark
