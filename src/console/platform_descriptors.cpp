// The platform operations that the hosts whose standard handles are descriptors do alike (Linux
// and WebAssembly; see platform_descriptors.h): the standard handles, which the process owns,
// the last failure in the Windows numbering, and the reports of a program that is not a console
// program, in ASCII on descriptor 2.
#include "platform_descriptors.h"

#include <cerrno>

#include "platform.h"

static thread_local std::uint32_t LastError = 0;

static std::uint32_t ErrorCodeFromErrno(int Errno) {
  switch (Errno) {
  case ENOENT:
    return ErrorFileNotFound;
  case EMFILE:
  case ENFILE:
    return ErrorTooManyOpenFiles;
  case EACCES:
  case EPERM:
  case EISDIR:
    return ErrorAccessDenied;
  case EBADF:
    return ErrorInvalidHandle;
  case ENOMEM:
    return ErrorNotEnoughMemory;
  case EINVAL:
    return ErrorInvalidParameter;
  case ENOSPC:
  case EDQUOT:
    return ErrorDiskFull;
  case EFBIG:
    return ErrorFileTooLarge;
  case EPIPE:
    return ErrorNoData;
  case EIO:
    return ErrorIoDevice;
  default:
    return ErrorGenFailure;
  }
}

bool FailWithErrno(int Errno) {
  LastError = ErrorCodeFromErrno(Errno);
  return false;
}

THandle THostPlatform::GetStdHandle(std::int32_t Which) {
  const int Fd = StdDescriptorOf(Which);
  if (Fd < 0 || !IsOpenDescriptor(Fd)) return FailWithErrno(EBADF), InvalidHandle;
  return static_cast<THandle>(Fd);
}

// The standard descriptors stay open: the process, not a stream, owns them; the runtime opens
// no others.
bool THostPlatform::CloseHandle(THandle Handle) {
  return Handle <= 2 || FailWithErrno(EBADF);
}

std::uint32_t THostPlatform::GetLastError() {
  return LastError;
}

void THostPlatform::AnsiToOem(char*, std::uint32_t) {} // both are ASCII here

void THostPlatform::ShowMessage(const char*, const char* Text) {
  std::uint32_t Length = 0, Written;
  while (Text[Length] != 0) ++Length;
  WriteFile(2, Text, Length, Written);
  WriteFile(2, "\n", 1, Written);
}

static constinit THostPlatform HostPlatform;
TPlatform* Platform = &HostPlatform;
