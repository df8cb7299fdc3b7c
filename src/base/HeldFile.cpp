#include "base/HeldFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

std::shared_ptr<const HeldFile> HeldFile::Open(const std::string& path, std::string* reason)
{
    // Non-blocking, so a named pipe with nobody writing to it is refused below instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (reason)
            *reason = std::string("Cannot open the file: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat attributes
    {
    };
    if (::fstat(fd, &attributes) != 0 || !S_ISREG(attributes.st_mode)) {
        if (reason)
            *reason = "Not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<const HeldFile>(new HeldFile(fd));
}

HeldFile::HeldFile(int fd) : fd_(fd), readPath_("/proc/self/fd/" + std::to_string(fd)) {}

HeldFile::~HeldFile()
{
    ::close(fd_);
}

} // namespace trimlark
