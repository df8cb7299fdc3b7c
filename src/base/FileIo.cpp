#include "base/FileIo.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace trimlark {

namespace {

// Calls transfer(bytes, count, offset) until size bytes have gone; a call that moves nothing ends it.
template <typename Byte, typename Transfer>
bool TransferAll(Byte* bytes, std::size_t size, off_t offset, Transfer transfer)
{
    while (size > 0) {
        const ssize_t moved = transfer(bytes, size, offset);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved == 0)
            errno = EIO;
        if (moved <= 0)
            return false;
        bytes += moved;
        size -= static_cast<std::size_t>(moved);
        offset += moved;
    }
    return true;
}

} // namespace

bool WriteAll(int fd, const void* data, std::size_t size)
{
    return TransferAll(static_cast<const char*>(data), size, 0,
                       [fd](const char* bytes, std::size_t count, off_t) { return ::write(fd, bytes, count); });
}

bool WriteAllAt(int fd, const void* data, std::size_t size, off_t offset)
{
    return TransferAll(static_cast<const char*>(data), size, offset,
                       [fd](const char* bytes, std::size_t count, off_t at) { return ::pwrite(fd, bytes, count, at); });
}

bool ReadAllAt(int fd, void* data, std::size_t size, off_t offset)
{
    return TransferAll(static_cast<char*>(data), size, offset,
                       [fd](char* bytes, std::size_t count, off_t at) { return ::pread(fd, bytes, count, at); });
}

std::string WriteFailureText(const std::string& path, int error)
{
    std::string cause;
    switch (error) {
    case ENOSPC:
        cause = "the disk is full";
        break;
    case EDQUOT:
        cause = "the disk quota is used up";
        break;
    case EFBIG:
        cause = "the file is larger than its disk or the system allows";
        break;
    default:
        cause = std::strerror(error);
    }
    return "cannot write " + path + ": " + cause;
}

} // namespace trimlark
