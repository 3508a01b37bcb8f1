// Start and finish: the module steps run in table order at start and in reverse at the end.
// Every road out of the process ends in FinishProcess, which runs the finalisation steps that
// are still due and exits with ProcessExitCode; a processor fault takes a shorter road.
#include "process.h"

#include <cstdlib>
#include <optional>

#include "exceptions.h"
#include "platform.h"
#include "report.h"

std::int32_t ProcessExitCode = 0;
const void* FaultAddress = nullptr;
// How many entries of the module table have had their start step entered.
static std::int32_t StartedModules = 0;

static std::span<const TModuleStep> ActiveSteps;

// Runs the finalisation steps still due, top down. A raising step does not stop the lower
// ones; the first exception is handed back for the caller to raise again.
static std::optional<TRaised> FinaliseModules() {
  std::optional<TRaised> First;
  while (StartedModules > 0) {
    // Counted down first, so that a step that ends the process is not run a second time.
    --StartedModules;
    void (*Step)() = ActiveSteps[StartedModules].Finalise;
    if (Step == nullptr) continue;
    try {
      Step();
    } catch (const TRaised& Raised) {
      if (!First)
        First = Raised;
      else
        ReleaseRaised(Raised.Object);
    }
  }
  return First;
}

void StartProgram(std::span<const TModuleStep> Steps) {
  ActiveSteps = Steps;
  StartedModules = 0;
  try {
    for (std::size_t I = 0; I < Steps.size(); ++I) {
      StartedModules = static_cast<std::int32_t>(I + 1);
      if (Steps[I].Initialise != nullptr) Steps[I].Initialise();
    }
  } catch (const TRaised&) {
    if (std::optional<TRaised> Later = FinaliseModules()) ReleaseRaised(Later->Object);
    throw;
  }
}

void EndProcess(std::int32_t Code) {
  ProcessExitCode = Code;
  FinishProcess();
}

void HaltAt(std::int32_t Number, const void* Address) {
  FaultAddress = Address;
  EndProcess(Number);
}

[[gnu::noinline]] void HaltWithError(std::int32_t Number) {
  HaltAt(Number, __builtin_return_address(0));
}

[[noreturn]] static void ExitWithProcessExitCode() {
  Platform->ExitProcess(static_cast<std::uint32_t>(ProcessExitCode));
  std::abort(); // a virtual call does not carry the promise not to return
}

void FinishProcess() {
  if (FaultAddress != nullptr) {
    WriteRunErrorText(ProcessExitCode, FaultAddress);
    FaultAddress = nullptr;
  }
  if (std::optional<TRaised> Raised = FinaliseModules()) throw *Raised;
  ExitWithProcessExitCode();
}

void EndProcessAfterFault(std::int32_t Code) {
  ProcessExitCode = Code;
  ExitWithProcessExitCode();
}

void MarkProcessFailed() {
  if (ProcessExitCode == 0) ProcessExitCode = 1;
}
