// The outermost handler and the exception machinery's module steps. Every exception that
// escapes the program comes back to RunUnderTopLevelHandler, which hands it to TopLevelHandler
// outside the catch, so that an exception raised by the report itself comes round again.
#include "top_level.h"

#include <cfenv>
#include <new>

#include "console.h"
#include "process.h"
#include "report.h"
#include "run_error.h"

void (*UnhandledHook)(TObject*, const void*) = nullptr;
TObject* (*FaultObjectHook)(const TExceptionRecord&) = nullptr;

// Where the last allocation failed, for the report of the out-of-memory error it becomes.
static const void* OutOfMemoryAddress = nullptr;

void TopLevelHandler(const TExceptionRecord& Record) {
  std::fesetenv(FE_DFL_ENV);
  TObject* Object = nullptr;
  if (Record.Code == RaisedExceptionCode) {
    Object = Record.Object;
  } else {
    if (FaultObjectHook != nullptr) Object = FaultObjectHook(Record);
    if (Object == nullptr) {
      FaultAddress = Record.Address;
      EndProcess(FaultNumber(Record.Code));
    }
  }
  if (UnhandledHook != nullptr) UnhandledHook(Object, Record.Address);
  FaultAddress = Record.Address;
  EndProcess(217);
}

void ReportAndHalt(TObject* Object, const void* Address) {
  // A flush that failed inside the report raises here; that exception's report replaces this one.
  if (ReportException(Object, Address) != 0) CheckIo();
  EndProcess(1);
}

static void NoteOutOfMemory() {
  OutOfMemoryAddress = __builtin_return_address(0);
  throw std::bad_alloc();
}

void RunUnderTopLevelHandler(void (*Body)()) {
  enum { RunBody, Handle, RaiseOutOfMemory } Next = RunBody;
  TExceptionRecord Record{};
  // Owns the object being handled. A process ends without freeing it; an in-process host
  // whose exit unwinds through here gets it freed.
  struct TOwner {
    TObject* Object = nullptr;
    ~TOwner() { ReleaseRaised(Object); }
  } Handled;
  std::set_new_handler(NoteOutOfMemory);
  for (;;) {
    try {
      switch (Next) {
      case RunBody:
        Body();
        FinishProcess();
      case Handle:
        TopLevelHandler(Record);
      case RaiseOutOfMemory:
        RaiseRunError(1, OutOfMemoryAddress);
      }
    } catch (const TRaised& Raised) {
      // A second exception from inside the report replaces the first.
      if (Handled.Object != Raised.Object) ReleaseRaised(Handled.Object);
      Handled.Object = Raised.Object;
      Record = {RaisedExceptionCode, Raised.Address, Raised.Object};
      Next = Handle;
    } catch (const std::bad_alloc&) {
      Next = RaiseOutOfMemory;
    }
  }
}

// Each module's steps do their work only on the first start and the matching last finish.
static int ExceptionStarts = 0;

void InitExceptions() {
  if (--ExceptionStarts != -1) return;
  MakePreMadeObjects();
  RunErrorHook = RunErrorToException;
  UnhandledHook = ReportAndHalt;
  // No host maps a processor fault to an object; faults end through the fault number table.
  FaultObjectHook = nullptr;
}

void FinishExceptions() {
  if (++ExceptionStarts != 0) return;
  FreePreMadeObjects();
  RunErrorHook = nullptr;
  UnhandledHook = nullptr;
  FaultObjectHook = nullptr;
}
