#include "profile/ProfileFile.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace trimlark {

std::optional<ProfileContent> LoadProfileFile(const std::string& path, const ProfileContent& current,
                                              const FormatList& formats, std::string* reason)
{
    auto refuse = [reason](std::string why) {
        if (reason)
            *reason = std::move(why);
        return std::nullopt;
    };
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec)
        return refuse(ec.message());
    if (!std::filesystem::is_regular_file(status))
        return refuse("it is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return refuse(std::strerror(errno));
    std::string bytes(kMaxProfileBytes + 1, '\0');
    // read() turns a failing read into badbit instead of an exception.
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return refuse("it cannot be read");
    if (!in.eof())
        return refuse("it is larger than any profile");
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ReadProfileText(bytes, current, formats, reason);
}

std::string ProfileRefusalSentence(std::string reason)
{
    if (reason.empty())
        return reason;
    if (reason.front() >= 'a' && reason.front() <= 'z')
        reason.front() = static_cast<char>(reason.front() - 'a' + 'A');
    return reason + ".";
}

bool SaveProfileFile(const std::string& path, const ProfileContent& content, const FormatList& formats,
                     std::string* reason, bool replace)
{
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found &&
        type != std::filesystem::file_type::none) {
        if (reason)
            *reason = "Cannot replace " + path + ": it is not a regular file";
        return false;
    }
    const std::string text = WriteProfileText(content.settings, content.customRatio, formats);
    AtomicFile file(path);
    return file.Create(reason) && file.Write(text.data(), text.size(), reason) && file.Commit(reason, replace);
}

} // namespace trimlark
