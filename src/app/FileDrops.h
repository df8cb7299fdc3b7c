#pragma once

#include <QAbstractItemView>
#include <QDropEvent>

namespace trimlark {

// The image list's views take file drops from other applications only: a drag that starts in an item view of
// this application is refused.
inline bool FromItemView(const QDropEvent* event)
{
    return qobject_cast<QAbstractItemView*>(event->source()) != nullptr;
}

// Files are taken as a copy: a source told they were moved may delete them.
inline void PreferCopy(QDropEvent* event)
{
    if (event->dropAction() != Qt::CopyAction && (event->possibleActions() & Qt::CopyAction))
        event->setDropAction(Qt::CopyAction);
}

} // namespace trimlark
