#include "base/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

namespace {

std::string ErrnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

std::string UniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    char text[64];
    std::snprintf(text, sizeof text, ".%ld-%u-%08llx.tmp", static_cast<long>(getpid()), counter.fetch_add(1),
                  static_cast<unsigned long long>(random() & 0xffffffffULL));
    return text;
}

// The destination's permission bits, and its owner where allowed, go to the file open as fd.
bool KeepModeOf(const std::string& destination, int fd, std::string* reason)
{
    struct stat old
    {
    };
    if (::stat(destination.c_str(), &old) != 0 || !S_ISREG(old.st_mode))
        return true;
    // Owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    const bool ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0 || errno == EPERM;
    if (ownerKept && ::fchmod(fd, old.st_mode & 07777) == 0)
        return true;
    if (reason)
        *reason =
            ErrnoText(ownerKept ? "Cannot keep the output file's permissions" : "Cannot keep the output file's owner");
    return false;
}

} // namespace

AtomicFile::AtomicFile(std::string destination) : destination_(std::move(destination)) {}

AtomicFile::~AtomicFile()
{
    if (!temporaryPath_.empty() && !committed_ && ::unlink(temporaryPath_.c_str()) != 0 && errno != ENOENT) {
        std::printf("Remove failed: %s\n", std::strerror(errno));
        std::fflush(stdout);
    }
}

bool AtomicFile::Create(std::string* reason)
{
    const auto slash = destination_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : destination_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? destination_ : destination_.substr(slash + 1);
    if (name.empty()) {
        if (reason)
            *reason = "The output path names no file";
        return false;
    }
    // Hidden, so that a file left behind by a crash does not look like an output. The name is shortened where
    // the hidden mark and the suffix would take it past the file system's limit of 255 bytes a name.
    constexpr std::size_t kNameRoom = 255 - 1 - 48;
    const std::string stem = name.substr(0, kNameRoom);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = (slash == std::string::npos ? std::string() : folder) + "." + stem + UniqueSuffix();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            temporaryPath_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            if (reason)
                *reason = ErrnoText("Cannot create a file in the output folder");
            return false;
        }
    }
    if (reason)
        *reason = "Cannot find a free temporary name in the output folder";
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size, std::string* reason)
{
    const int fd = ::open(temporaryPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = ErrnoText("Cannot open the temporary file");
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (reason)
                *reason = ErrnoText("Cannot write the output");
            ::close(fd);
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        if (reason)
            *reason = ErrnoText("Cannot write the output");
        return false;
    }
    return true;
}

bool AtomicFile::Commit(std::string* reason)
{
    const int fd = ::open(temporaryPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (reason)
            *reason = ErrnoText("Cannot flush the output");
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const bool modeKept = KeepModeOf(destination_, fd, reason);
    ::close(fd);
    if (!modeKept)
        return false;
    if (::rename(temporaryPath_.c_str(), destination_.c_str()) != 0) {
        if (reason)
            *reason = ErrnoText("Cannot replace the output file");
        return false;
    }
    committed_ = true;
    return true;
}

} // namespace trimlark
