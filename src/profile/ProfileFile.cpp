#include "profile/ProfileFile.h"

#include "base/AtomicFile.h"

#include <filesystem>
#include <fstream>

namespace trimlark {

std::optional<ProfileContent> LoadProfileFile(const std::string& path, const ProfileContent& current,
                                              const FormatList& formats)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kMaxProfileBytes + 1, '\0');
    // read() turns a failing read into badbit instead of an exception.
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in.is_open() || in.bad() || !in.eof())
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ReadProfileText(bytes, current, formats);
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
