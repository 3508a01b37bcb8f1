// Start and finish of the process: the program's module steps run in table order at start and
// in reverse at the end, and every road out of the process ends in FinishProcess, which exits
// with ProcessExitCode.
#pragma once

#include <cstdint>
#include <span>

#include "report.h"

struct TModuleStep {
  void (*Initialise)();
  void (*Finalise)();
};

// Steps that the runtime contributes to the program's module table.
void InitRuntimeCore();
void FinishRuntimeCore();
void InitExceptions();
void FinishExceptions();

extern std::int32_t ProcessExitCode;
extern const void* FaultAddress;
extern std::int32_t StartedModules;

// Steps is the program's module table, which must outlive the process's finish.
void StartProgram(std::span<const TModuleStep> Steps);
[[noreturn]] void EndProcess(std::int32_t Code);
[[noreturn]] void HaltWithError(std::int32_t Number);
[[noreturn]] void FinishProcess();

// The processor-fault path: no allocation, only the run-time core's finalisation, then exit.
[[noreturn]] void HandleProcessorFault(std::uint32_t Code, const void* Address);
// That finalisation: closes the standard streams, which writes out held output, while the
// run-time core is started.
void CloseStreamsAfterFault();

// The number a processor fault ends the process with.
std::int32_t FaultNumber(std::uint32_t Code);
