// The run-time core's module steps: at start the host's process settings and the processor
// faults' handler, and the three standard streams set up closed, to open on first use; at the
// end the streams are closed, which writes out output still held.
#include "runtime_core.h"

#include "console_text.h"
#include "process.h"
#include "report.h"
#include "run_error.h"

// The steps do their work only on the first start and the matching last finish.
static int RuntimeCoreStarts = 0;

// A processor fault, possibly in a signal handler: no allocation, and of the finalisation only
// the streams' close, which writes out held output; the other steps may free memory that the
// fault has left in any state.
static void HandleProcessorFault(std::uint32_t Code, const void* Address) {
  const std::int32_t Number = FaultNumber(Code);
  WriteRunErrorText(Number, Address);
  if (RuntimeCoreStarts < 0) {
    CloseStream(StdInText);
    CloseStream(StdOutText);
    CloseStream(StdErrText);
  }
  EndProcessAfterFault(Number);
}

void InitRuntimeCore() {
  if (--RuntimeCoreStarts != -1) return;
  Platform->PrepareProcess(HandleProcessorFault);
  SetUpStandardStreams();
}

void FinishRuntimeCore() {
  if (++RuntimeCoreStarts != 0) return;
  CloseStream(StdInText);
  if (CloseStream(StdOutText) != 0) {
    // The last write-out failed: the output is incomplete, which must not pass for success.
    // The exception hooks are gone by now, so the report is made here. The failed write-out
    // left nothing held, so the report's own flush has nothing to fail on.
    EInOutError* Failure = MakeIoFailure();
    ReportException(Failure, __builtin_return_address(0));
    delete Failure;
    MarkProcessFailed();
  }
  CloseStream(StdErrText); // records 103 when it was never opened; nothing looks at it
}
