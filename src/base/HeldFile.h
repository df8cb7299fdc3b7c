#pragma once

#include <memory>
#include <string>

namespace trimlark {

// An open, read-only handle on a file. Reading through ReadPath() reads the file as it was when it was opened,
// even after another file has been renamed over its name (as every atomic save does), and every open of that
// path gets its own read position, so threads do not disturb each other.
class HeldFile
{
public:
    // Nothing when the file cannot be opened for reading (reason set when given).
    static std::shared_ptr<const HeldFile> Open(const std::string& path, std::string* reason);

    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    const std::string& ReadPath() const { return readPath_; }

private:
    explicit HeldFile(int fd);

    int fd_ = -1;
    std::string readPath_;
};

} // namespace trimlark
