#pragma once

namespace trimlark {

// Whether the image library on this machine can encode HEIF/HEIC (decides whether the format list offers them).
bool CanWriteHeif();

} // namespace trimlark
