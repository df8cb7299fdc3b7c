#pragma once

#include <cstddef>
#include <string>

namespace trimlark {

// A uniquely named file next to a destination that replaces the destination only when committed. Until then
// an existing file at the destination stays as it was; an uncommitted file is removed by the destructor
// ("Remove failed: " and the reason on standard output when it cannot be).
class AtomicFile
{
public:
    explicit AtomicFile(std::string destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Reserves the temporary name (created empty, exclusively). False, with the reason, when the destination's
    // folder is missing or not writable.
    bool Create(std::string* reason);

    // Where an encoder may write; valid after Create.
    const std::string& TemporaryPath() const { return temporaryPath_; }

    // Replaces the temporary file's content with bytes, checking every write.
    bool Write(const void* data, std::size_t size, std::string* reason);

    // Flushes the temporary file to disk and renames it over the destination. A destination that is a regular
    // file passes on its permission bits, and its owner where the user may give it; a new file keeps 0666 less
    // the umask.
    bool Commit(std::string* reason);

private:
    std::string destination_;
    std::string temporaryPath_;
    bool committed_ = false;
};

} // namespace trimlark
