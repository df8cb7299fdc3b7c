#pragma once

#include "profile/ProfileFormat.h"

#include <optional>
#include <string>

namespace trimlark {

// A profile is a few hundred bytes; anything far larger is not one, and is not read into memory.
inline constexpr std::size_t kMaxProfileBytes = 1 << 20;

// The profile file at path read over current (see ReadProfileText). Nothing, before anything changes, when the
// path is not a regular file (a folder, a device, a pipe), holds more than kMaxProfileBytes, cannot be read, or
// its text is refused; reason, when given, then says why in a few words ("No such file or directory", "line 6 is
// not a number").
std::optional<ProfileContent> LoadProfileFile(const std::string& path, const ProfileContent& current,
                                              const FormatList& formats, std::string* reason = nullptr);

// A refusal's reason as a sentence of its own: "line 6 is not a number" gives "Line 6 is not a number.".
std::string ProfileRefusalSentence(std::string reason);

// Writes the settings as a profile file at path. The new file replaces an old one only once it is complete, with
// the old one's permissions; false, with the reason, when it could not be written (an old file is then as it
// was). A path that holds something other than a regular file (a folder, a pipe, a device) is refused untouched.
// With replace false, a file that has the name when the new one is complete is kept, and false returned.
// formats: the format list of this system (see WriteProfileText).
bool SaveProfileFile(const std::string& path, const ProfileContent& content, const FormatList& formats,
                     std::string* reason = nullptr, bool replace = true);

} // namespace trimlark
