#pragma once

#include <string>
#include <string_view>

// Path pieces and text rules shared by every layer. Paths are plain strings: nothing here reads the file system.
namespace trimlark {

// The last path component of a path ("/a/b.jpg/" gives "b.jpg", "/" gives "/").
std::string_view LastPathComponent(std::string_view path);

// The text after the last full stop of the last path component; "" when there is none (a name that only
// starts with a full stop, like ".profile", has no extension).
std::string_view PathExtension(std::string_view path);

// The last path component without its extension and the full stop before it.
std::string_view BaseNameWithoutExtension(std::string_view path);

// The folder that holds a path: the path without its last component ("/a/b.jpg" -> "/a", "/b.jpg" -> "/",
// "b.jpg" -> "").
std::string FolderOfPath(std::string_view path);

// The text with A-Z lower-cased and every other byte as it is: titles, extensions and option words, which are
// compared without regard to case.
std::string LowerAscii(std::string_view text);

} // namespace trimlark
