// The outermost handler and the exception machinery's module steps. Every exception that
// escapes the program comes back to RunUnderTopLevelHandler, which hands it to TopLevelHandler
// outside the catch, so that an exception raised by the report itself comes round again.
#include "top_level.h"

#include <cfenv>
#include <new>

#include "process.h"
#include "report.h"
#include "run_error.h"

void (*UnhandledHook)(TObject*, const void*) = nullptr;
TObject* (*FaultObjectHook)(const TExceptionRecord&) = nullptr;

void TopLevelHandler(const TExceptionRecord& Record) {
  std::fesetenv(FE_DFL_ENV);
  TObject* Object = nullptr;
  if (Record.Code == RaisedExceptionCode) {
    Object = Record.Object;
  } else {
    if (FaultObjectHook != nullptr) Object = FaultObjectHook(Record);
    if (Object == nullptr) HaltAt(FaultNumber(Record.Code), Record.Address);
  }
  if (UnhandledHook != nullptr) UnhandledHook(Object, Record.Address);
  HaltAt(217, Record.Address);
}

void ReportAndHalt(TObject* Object, const void* Address) {
  // A flush that failed inside the report raises here; that exception's report replaces this one.
  if (ReportException(Object, Address) != 0) CheckIo();
  EndProcess(1);
}

// An allocation that fails outside a line read is reported inside the allocator.
static void NoteOutOfMemory() {
  throw TOutOfMemory(__builtin_return_address(0));
}

void RunUnderTopLevelHandler(void (*Body)()) {
  enum { RunBody, Handle, RaiseOutOfMemory } Next = RunBody;
  TExceptionRecord Record{};
  const void* OutOfMemoryAddress = nullptr;
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
    } catch (const TOutOfMemory& Failure) {
      OutOfMemoryAddress = Failure.Address;
      Next = RaiseOutOfMemory;
    }
  }
}

// Each module's steps do their work only on the first start and the matching last finish.
static int ExceptionStarts = 0;

void InitExceptions() {
  if (--ExceptionStarts != -1) return;
  MakePreMadeObjects();
  RaiseRunErrorsAsExceptions(true);
  UnhandledHook = ReportAndHalt;
}

void FinishExceptions() {
  if (++ExceptionStarts != 0) return;
  FreePreMadeObjects();
  RaiseRunErrorsAsExceptions(false);
  UnhandledHook = nullptr;
  FaultObjectHook = nullptr;
}
