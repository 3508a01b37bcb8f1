// Start and finish of the process: the program's module steps run in table order at start and
// in reverse at the end, and every road out of the process ends here, with ProcessExitCode.
#pragma once

#include <cstdint>
#include <span>

// An entry of the program's module table; either step may be absent.
struct TModuleStep {
  void (*Initialise)();
  void (*Finalise)();
};

// Read by the others; only this file's routines change them.
extern std::int32_t ProcessExitCode;
extern const void* FaultAddress;

// Steps is the program's module table, which must outlive the process's finish.
void StartProgram(std::span<const TModuleStep> Steps);
[[noreturn]] void EndProcess(std::int32_t Code);
// A run-time error at Address: the run-time error text goes out first, then the process ends
// with Number.
[[noreturn]] void HaltAt(std::int32_t Number, const void* Address);
// HaltAt the caller's return point. Nothing in the game calls it; it is the runtime's road out
// for a run-time error that has no kind.
[[noreturn]] void HaltWithError(std::int32_t Number);
[[noreturn]] void FinishProcess();
// Ends at once with Code, without the finalisation steps: for a processor fault, which may have
// left the memory they would free in any state.
[[noreturn]] void EndProcessAfterFault(std::int32_t Code);
// A failure at the end that nothing raises any more: the exit code must not say success.
void MarkProcessFailed();
