// The run-time core's module steps: at start the three standard streams are set up closed, to
// open on first use; at the end they are closed, which writes out output still held.
#include "console_text.h"
#include "process.h"
#include "report.h"
#include "run_error.h"

// The steps do their work only on the first start and the matching last finish.
static int RuntimeCoreStarts = 0;

void InitRuntimeCore() {
  if (--RuntimeCoreStarts != -1) return;
  StdInText.OpenMode = ModeClosed;
  StdOutText.OpenMode = ModeClosed;
  StdErrText.OpenMode = ModeClosed;
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
    if (ProcessExitCode == 0) ProcessExitCode = 1;
  }
  CloseStream(StdErrText); // records 103 when it was never opened; nothing looks at it
}

void CloseStreamsAfterFault() {
  if (RuntimeCoreStarts >= 0) return;
  CloseStream(StdInText);
  CloseStream(StdOutText);
  CloseStream(StdErrText);
}
