#pragma once

#include <QString>

namespace trimlark {

// The window title after New, and the start of every profile title.
inline constexpr char16_t kUntitledWindowTitle[] = u"Trimlark";

// The last path component with its last four user-perceived characters (grapheme clusters) removed, whatever
// they are: "/home/ann/plan.tlp" gives "plan". A component of four characters or fewer gives "".
QString ProfileDisplayName(const QString& path);

// "Trimlark - " followed by the profile's display name; it carries no unsaved mark.
QString ProfileTitle(const QString& path);

// The path with ".tlp" appended unless its name already ends in it (in any letter case).
QString WithProfileExtension(const QString& path);

} // namespace trimlark
