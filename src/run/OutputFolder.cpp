#include "run/OutputFolder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace trimlark {

namespace {

namespace fs = std::filesystem;

OutputFolderCheck Unusable(std::string reason)
{
    return {OutputFolderCheck::State::Unusable, std::move(reason)};
}

// Whether new entries can be made in the folder (write and search permission, a file system not mounted read-only).
bool CanWriteIn(const fs::path& folder, std::string* why)
{
    if (::access(folder.c_str(), W_OK | X_OK) == 0)
        return true;
    *why = std::strerror(errno);
    return false;
}

// A status error that means only that nothing is at the path (a missing entry, or a file where a folder was
// expected on the way), which the walk up to the nearest existing parent explains.
bool Absent(const std::error_code& ec)
{
    return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

} // namespace

OutputFolderCheck CheckOutputFolder(const std::string& folder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    std::string why;
    if (fs::is_directory(status)) {
        if (!CanWriteIn(folder, &why))
            return Unusable("The output folder " + folder + " cannot be written: " + why + ".");
        return {};
    }
    if (fs::exists(status))
        return Unusable("The output folder " + folder + " is a file, not a folder.");
    if (ec && !Absent(ec))
        return Unusable("The output folder " + folder + " cannot be used: " + ec.message() + ".");

    // Missing: the nearest parent that exists has to take the first new folder.
    fs::path parent = fs::absolute(fs::path(folder), ec).lexically_normal();
    for (;;) {
        const fs::path up = parent.has_relative_path() ? parent.parent_path() : parent;
        if (up == parent)
            break;
        parent = up;
        const fs::file_status parentStatus = fs::status(parent, ec);
        if (!fs::exists(parentStatus) && (!ec || Absent(ec)))
            continue;
        if (!fs::is_directory(parentStatus))
            return Unusable("The output folder " + folder + " cannot be created: " + parent.string() +
                            " is not a folder.");
        if (!CanWriteIn(parent, &why))
            return Unusable("The output folder " + folder + " cannot be created: " + why + ".");
        break;
    }
    return {OutputFolderCheck::State::Missing, {}};
}

bool CreateOutputFolder(const std::string& folder, std::string* reason)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && fs::is_directory(folder, ec))
        return true;
    if (reason)
        *reason = "The output folder " + folder +
                  " cannot be created: " + (ec ? ec.message() : std::string("something else is at its path")) + ".";
    return false;
}

std::string CreateFolderQuestionText(const std::string& folder)
{
    return "The folder " + folder + " does not exist. Create it?";
}

} // namespace trimlark
