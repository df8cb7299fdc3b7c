#pragma once

namespace trimlark {

// The whole command-line tool: parses the arguments, plans and runs the crop, reports. Returns the exit
// status: 0 every image cropped (or the profile saved), 1 some images failed, 2 a usage error, no images,
// or a profile that cannot be loaded or saved.
int RunCommandLine(int argc, char** argv);

} // namespace trimlark
