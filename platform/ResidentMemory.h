#pragma once

namespace platform {

// The memory of the running process that the system holds in RAM now, in
// MiB (what it counts as resident); 0 where the system does not say.
double residentMegabytes();

} // namespace platform
