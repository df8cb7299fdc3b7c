#pragma once

#include <cstddef>
#include <string>

namespace trimlark {

// A file in a destination's folder that replaces the destination only when committed. Until then an existing
// file at the destination stays as it was. Where the file system allows it the file has no name before the
// commit, so a crash or a kill leaves nothing behind; elsewhere it has a hidden unique name, which Abandon or the
// destructor removes when uncommitted.
class AtomicFile
{
public:
    explicit AtomicFile(std::string destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the file, empty. False, with the reason, when the destination's folder is missing or not writable.
    bool Create(std::string* reason);

    // A path an encoder may open for writing; valid after Create and until the object ends.
    const std::string& TemporaryPath() const { return temporaryPath_; }

    // Replaces the file's content with bytes, checking every write ("cannot write <destination>: the disk is
    // full").
    bool Write(const void* data, std::size_t size, std::string* reason);

    // Flushes the file to disk and puts it in place of the destination. A destination that was a regular file
    // passes on its permission bits, and its owner where the user may give it; otherwise the file keeps
    // 0666 less the umask. With replace false the file takes the name only if nothing has it at that moment
    // (checked and named in one step, so a file another program writes meanwhile is never replaced); false then,
    // with DestinationTaken() true, when something had it. On a file system with neither a no-replace rename nor
    // hard links (exFAT through FUSE) the name is reserved by an exclusive create and the file renamed over it; a
    // process killed between the two leaves an empty file at the name there (never in place of an existing one).
    bool Commit(std::string* reason, bool replace = true);
    bool DestinationTaken() const { return destinationTaken_; }

    // Removes the uncommitted file now; a remark when its temporary name cannot be removed, else empty.
    std::string Abandon();

    // For tests: the calls a file system may lack; each one marked fails, while simulated, as such a file system
    // fails it. The default lacks none.
    struct Lacks
    {
        bool unnamedFiles = false;    // open's O_TMPFILE
        bool noReplaceRename = false; // renameat2's RENAME_NOREPLACE
        bool hardLinks = false;
    };
    static void SimulateFileSystemLacking(const Lacks& lacks);

private:
    bool Replace(std::string* reason);
    bool NameIfFree(std::string* reason);
    int ReserveAndRename();

    std::string destination_;
    std::string temporaryPath_;
    int unnamedFd_ = -1; // the descriptor of a file created without a name, or -1
    bool committed_ = false;
    bool destinationTaken_ = false;
};

} // namespace trimlark
