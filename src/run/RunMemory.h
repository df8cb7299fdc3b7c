#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace trimlark {

// Once per process, before the first run: large image buffers go back to the system when an image is done,
// so a process's memory stays flat over a long list instead of creeping up with heap fragmentation.
void KeepRunMemoryFlat();

// The memory a run's images may hold together unless the run says otherwise (CropJob::memoryBudget, the
// command line's --memory-budget): a quarter of the machine's physical memory (see PhysicalMemoryBytes).
double DefaultRunMemoryBudget();

// The memory the images in flight share. An image starts only when its estimated cost fits beside what the
// others hold; one that costs more than the whole budget waits until no other holds any and then runs alone.
// Requests are served in the order they were made, so a large image is not overtaken for ever by small ones.
class MemoryBudget
{
public:
    explicit MemoryBudget(double bytes) : bytes_(bytes) {}

    // What an image holds until it is done.
    class Hold
    {
    public:
        Hold(MemoryBudget* budget, double bytes) : budget_(budget), bytes_(bytes) {}
        Hold(Hold&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.budget_ = nullptr; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        Hold& operator=(Hold&&) = delete;
        ~Hold();

    private:
        MemoryBudget* budget_;
        double bytes_;
    };

    // Waits until bytes fit and takes them (the whole budget when they are more).
    Hold Take(double bytes);

    // The requests waiting in Take for their turn or their room.
    std::uint64_t Waiting();

private:
    const double bytes_;
    double held_ = 0;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t serving_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace trimlark
