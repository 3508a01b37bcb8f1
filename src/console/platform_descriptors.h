// What the hosts whose standard handles are descriptors 0 to 2 share, Linux itself and node's
// file calls under WebAssembly: failures that errno names, in the Windows numbering that the
// runtime and its reports speak. platform_descriptors.cpp defines the operations that both do
// alike; each host's file defines these two.
#pragma once

#include <cstdint>

// Records a failure that Errno names, for GetLastError; false, for the failing operation to
// return.
bool FailWithErrno(int Errno);

// Whether descriptor Fd (0 to 2) is open: its host's answer.
bool IsOpenDescriptor(int Fd);
