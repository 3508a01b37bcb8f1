// Run-time errors: numbered kinds that become exceptions while the exception machinery is
// started, and otherwise end the process with the kind's number; and the check after every
// console statement, which makes a pending I/O code run-time error 0.
#pragma once

#include <cstdint>

#include "console.h"
#include "exceptions.h"

[[noreturn]] void RaiseRunError(std::uint8_t Kind, const void* Address);
EInOutError* MakeIoFailure();
// The exception machinery's start turns this on and its end off: while on, a run-time error
// raises its exception rather than ending the process.
void RaiseRunErrorsAsExceptions(bool On);

// The number a kind ends the process with when no exception is raised for it.
std::int32_t RunErrorNumber(std::uint8_t Kind);
// The number a processor fault ends the process with: that of the kind that stands for it, or
// 255 for a fault of no kind.
std::int32_t FaultNumber(std::uint32_t Code);

// The rare half of CheckIo, out of line, so that the address a failure is reported at is the
// return point of this call, which lies in the statement's caller. The compiler moves the call
// out of the straight path, so the address names the calling routine, not the statement's own
// place in it. Site differs from one check to the next; without it the compiler may merge the
// calls of one routine into one, and every check there would report the same address.
[[noreturn]] void RaiseIoCheck(std::uint32_t Site);

// After every console statement. With nothing pending it reads the per-thread code and
// compares it with 0: one load where the compiler has native thread-local storage, four with
// GCC on Windows (the program's block number, the thread's block list, the program's block,
// the code).
[[gnu::always_inline]] inline void CheckIo(std::uint32_t Site = __builtin_LINE()) {
  if (PendingIoError != 0) [[unlikely]]
    RaiseIoCheck(Site);
}
