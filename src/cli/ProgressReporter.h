#pragma once

#include "run/CropJob.h"

#include <chrono>
#include <cstddef>
#include <cstdio>

namespace trimlark {

// Shows a run's progress on a stream: a bar with the count and the time left on a terminal, otherwise one
// line per image. An image written whole because its crop was refused gets a warning line of its own.
// Control characters in file names are escaped.
class ProgressReporter
{
public:
    ProgressReporter(std::FILE* stream, bool terminal, std::size_t count);

    // After each image, in list order.
    void ReportImage(const ImageOutcome& outcome);
    // Ends the bar's line.
    void Finish();

private:
    std::FILE* stream_;
    bool terminal_;
    std::size_t count_;
    std::size_t done_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace trimlark
