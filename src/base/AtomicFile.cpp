#include "base/AtomicFile.h"

#include "base/FileIo.h"
#include "base/Reason.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trimlark {

namespace {

// See SimulateFileSystemLacking.
std::atomic<bool> lacksUnnamedFiles{false};
std::atomic<bool> lacksNoReplaceRename{false};
std::atomic<bool> lacksHardLinks{false};

// The calls a file system may lack, failing as it fails them when simulated.
int OpenUnnamed(const char* folder)
{
    if (lacksUnnamedFiles) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

int RenameNoReplace(const char* from, const char* to)
{
    if (lacksNoReplaceRename) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int HardLink(const char* from, const char* to)
{
    if (lacksHardLinks) {
        errno = EPERM;
        return -1;
    }
    return ::link(from, to);
}

// Errors by which a file system says it lacks a call, not that the call failed.
bool Unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EPERM || error == EOPNOTSUPP;
}

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

// The destination's folder as a prefix ("" or ending in '/') and its file name.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Calls make with fresh hidden names beside destination until one is not taken. The name that make accepted, or
// "" with errno set (EEXIST when no free name was found).
template <class Make> std::string UnderFreshName(const std::string& destination, Make make)
{
    const auto [folder, name] = SplitPath(destination);
    // Hidden, so that a file left behind by a crash does not look like an output. The name is shortened where
    // the hidden mark and the suffix would take it past the file system's limit of 255 bytes a name.
    constexpr std::size_t kNameRoom = 255 - 1 - 48;
    const std::string stem = name.substr(0, kNameRoom);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = folder + "." + stem + UniqueSuffix();
        if (make(candidate))
            return candidate;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
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
    Abandon();
}

std::string AtomicFile::Abandon()
{
    if (unnamedFd_ >= 0) {
        ::close(unnamedFd_);
        unnamedFd_ = -1;
        temporaryPath_.clear();
        return {};
    }
    if (temporaryPath_.empty() || committed_)
        return {};
    const std::string path = std::exchange(temporaryPath_, std::string());
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return "the temporary file " + path + " cannot be removed: " + std::strerror(errno);
    return {};
}

void AtomicFile::SimulateFileSystemLacking(const Lacks& lacks)
{
    lacksUnnamedFiles = lacks.unnamedFiles;
    lacksNoReplaceRename = lacks.noReplaceRename;
    lacksHardLinks = lacks.hardLinks;
}

bool AtomicFile::Create(std::string* reason)
{
    const auto [folder, name] = SplitPath(destination_);
    if (name.empty()) {
        if (reason)
            *reason = "The output path names no file";
        return false;
    }
    const int fd = OpenUnnamed(folder.empty() ? "." : folder.c_str());
    if (fd >= 0) {
        // Encoders open the file by this path, which needs /proc.
        temporaryPath_ = "/proc/self/fd/" + std::to_string(fd);
        if (::access(temporaryPath_.c_str(), F_OK) == 0) {
            unnamedFd_ = fd;
            return true;
        }
        ::close(fd);
        temporaryPath_.clear();
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Fail(reason, ErrnoText("Cannot create a file in the output folder"));
    }
    // A file system without unnamed files: a hidden named one.
    temporaryPath_ = UnderFreshName(destination_, [](const std::string& candidate) {
        const int named = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return named >= 0 && ::close(named) == 0;
    });
    if (temporaryPath_.empty())
        return Fail(reason, ErrnoText(errno == EEXIST ? "Cannot find a free temporary name in the output folder"
                                                      : "Cannot create a file in the output folder"));
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size, std::string* reason)
{
    const int fd = unnamedFd_ >= 0 ? unnamedFd_ : ::open(temporaryPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || (fd == unnamedFd_ && ::ftruncate(fd, 0) != 0))
        return Fail(reason, ErrnoText("Cannot open the temporary file"));
    bool ok = WriteAllAt(fd, data, size, 0);
    int error = errno;
    if (fd != unnamedFd_ && ::close(fd) != 0 && ok)
        ok = false, error = errno;
    if (!ok && reason)
        *reason = WriteFailureText(destination_, error);
    return ok;
}

// Puts the complete file in place of whatever has the destination's name.
bool AtomicFile::Replace(std::string* reason)
{
    std::string from = temporaryPath_;
    if (unnamedFd_ >= 0) {
        // The complete file gets a hidden name first, as linking cannot replace an existing file.
        from = UnderFreshName(destination_, [this](const std::string& candidate) {
            return ::linkat(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
        });
        if (from.empty())
            return Fail(reason, ErrnoText("Cannot name the output file"));
    }
    if (::rename(from.c_str(), destination_.c_str()) != 0) {
        const int error = errno;
        if (unnamedFd_ >= 0)
            ::unlink(from.c_str());
        errno = error;
        return Fail(reason, ErrnoText("Cannot replace the output file"));
    }
    return true;
}

// Gives the complete file the destination's name unless an entry has it; the check and the naming are one step.
bool AtomicFile::NameIfFree(std::string* reason)
{
    int result = 0;
    if (unnamedFd_ >= 0) {
        result = ::linkat(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, destination_.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = RenameNoReplace(temporaryPath_.c_str(), destination_.c_str());
        if (result != 0 && Unsupported(errno)) {
            // A file system without the no-replace rename: a hard link fails as well when the name is taken.
            result = HardLink(temporaryPath_.c_str(), destination_.c_str());
            if (result == 0)
                ::unlink(temporaryPath_.c_str());
            else if (Unsupported(errno))
                result = ReserveAndRename();
        }
    }
    if (result == 0)
        return true;
    destinationTaken_ = errno == EEXIST;
    return Fail(reason,
                ErrnoText(destinationTaken_ ? "A file appeared at the output path" : "Cannot name the output file"));
}

// The destination's name taken by an empty file that only this call can create, then the complete file renamed
// over it: whatever else appears at the name before is kept. 0, or -1 with errno set.
int AtomicFile::ReserveAndRename()
{
    const int reserved = ::open(destination_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (reserved < 0)
        return -1;
    struct stat mine
    {
    };
    const bool known = ::fstat(reserved, &mine) == 0;
    ::close(reserved);
    if (::rename(temporaryPath_.c_str(), destination_.c_str()) == 0)
        return 0;
    const int error = errno;
    // The reservation goes again, unless another program has put its own file at the name meanwhile.
    struct stat now
    {
    };
    if (known && ::stat(destination_.c_str(), &now) == 0 && now.st_ino == mine.st_ino && now.st_dev == mine.st_dev)
        ::unlink(destination_.c_str());
    errno = error;
    return -1;
}

bool AtomicFile::Commit(std::string* reason, bool replace)
{
    const int fd = unnamedFd_ >= 0 ? unnamedFd_ : ::open(temporaryPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(reason, ErrnoText("Cannot flush the output"));
    const bool flushed = ::fsync(fd) == 0;
    if (!flushed && reason)
        *reason = WriteFailureText(destination_, errno); // a file system may tell of a full disk only now
    const bool ok = flushed && (!replace || KeepModeOf(destination_, fd, reason));
    if (fd != unnamedFd_)
        ::close(fd);
    if (!ok)
        return false;
    if (!(replace ? Replace(reason) : NameIfFree(reason)))
        return false;
    committed_ = true;
    // So that the new name survives a power cut too; a folder that cannot be opened only loses that.
    const auto folder = SplitPath(destination_).first;
    const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

} // namespace trimlark
