// Error numbers as the hosts that report errno give them (Linux itself, and node's file calls
// under WebAssembly), in the Windows numbering that the runtime and its reports speak.
#pragma once

#include <cerrno>
#include <cstdint>

inline std::uint32_t ErrorCodeFromErrno(int Errno) {
  switch (Errno) {
  case ENOENT:
    return 2;
  case EMFILE:
  case ENFILE:
    return 4;
  case EACCES:
  case EPERM:
  case EISDIR:
    return 5;
  case EBADF:
    return 6;
  case ENOMEM:
    return 8;
  case EINVAL:
    return 87;
  case ENOSPC:
  case EDQUOT:
    return 112;
  case EFBIG:
    return 223;
  case EPIPE:
    return 232;
  case EIO:
    return 1117;
  default:
    return 31;
  }
}
