// The outermost handler, which ends the process for every exception that nobody else handles,
// and the exception machinery's module steps, which install the hooks it and the run-time
// errors go through.
#pragma once

#include <cstdint>

#include "exceptions.h"

// The code of an exception raised by the runtime, as the outermost handler tells it apart
// from a processor fault.
inline constexpr std::uint32_t RaisedExceptionCode = 0x0EEDFADEu;

struct TExceptionRecord {
  std::uint32_t Code;
  const void* Address; // for a raised exception, the address it was raised for
  TObject* Object;     // for a raised exception, its object
};

extern void (*UnhandledHook)(TObject* Object, const void* Address);
// Would turn a processor fault into an object. No host does: their faults end through the run-time
// core's fault handler, and this stays null, so TopLevelHandler's branch for it is never taken.
extern TObject* (*FaultObjectHook)(const TExceptionRecord& Record);

[[noreturn]] void TopLevelHandler(const TExceptionRecord& Record);
[[noreturn]] void ReportAndHalt(TObject* Object, const void* Address);

// Runs Body inside the outermost handler: every exception that escapes Body, or that a report
// raises in turn, goes to TopLevelHandler. Never returns; Body ends the process itself.
[[noreturn]] void RunUnderTopLevelHandler(void (*Body)());

// The exception machinery's module steps: the pre-made objects and the hooks.
void InitExceptions();
void FinishExceptions();
