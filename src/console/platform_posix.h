// What the Linux host adds to the platform interface: the one table that turns an errno value
// into the error code the runtime's messages are written for.
#pragma once

#include <cstdint>

std::uint32_t ErrorCodeFromErrno(int Errno);
