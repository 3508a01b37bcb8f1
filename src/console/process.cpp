// Start-up and finalisation through the module steps, run-time errors and the outermost
// handler. Every fatal road ends in FinishProcess, which runs the finalisation steps that are
// still due and exits with ProcessExitCode.
#include "process.h"

#include <cassert>
#include <cfenv>
#include <cstdlib>
#include <new>
#include <optional>

std::uint8_t ConsoleApp = 0;
std::int32_t ProcessExitCode = 0;
const void* FaultAddress = nullptr;
void (*RunErrorHook)(std::uint8_t, const void*) = nullptr;
void (*UnhandledHook)(TObject*, const void*) = nullptr;
TObject* (*FaultObjectHook)(const TExceptionRecord&) = nullptr;
std::int32_t StartedModules = 0;
char RunErrorText[RunErrorTextSize] = "Runtime error     at 00000000";

static const TModuleStep* ActiveSteps = nullptr;
static std::optional<EOutOfMemory> OutOfMemoryObject;
static std::optional<EInvalidPointer> InvalidPointerObject;
// Where the last allocation failed, for the report of the out-of-memory error it becomes.
static const void* OutOfMemoryAddress = nullptr;
// Addresses of the pre-made objects, kept for comparison after the objects themselves are gone.
static const TObject* PreMadeObjects[2] = {nullptr, nullptr};

// Frees a raised object that nothing will report any more; the pre-made ones are not ours.
static void ReleaseRaised(TObject* Object) {
  if (Object != PreMadeObjects[0] && Object != PreMadeObjects[1]) delete Object;
}

// ---- Tables ------------------------------------------------------------------------------

struct TIoMessage {
  std::int32_t Code;
  std::uint16_t Id;
};

static constexpr TIoMessage IoMessages[] = {
    {2, 65522}, {3, 65523}, {4, 65524}, {5, 65525}, {100, 65526}, {101, 65527}, {106, 65528},
};

template <class T> static TObject* MakeObject(std::string_view Message) {
  return new T(Message);
}

struct TRunError {
  std::int32_t Number;                // without the exception hooks
  TObject* (*Make)(std::string_view); // with them; null where the object is pre-made
};

// Indexed by kind; kinds 25 and above are I/O errors numbered by the kind itself.
static constexpr TRunError RunErrors[] = {
    {0, nullptr}, // kind 0: the number comes from the pending I/O code
    {203, nullptr},
    {204, nullptr},
    {200, MakeObject<EDivByZero>},
    {201, MakeObject<ERangeError>},
    {215, MakeObject<EIntOverflow>},
    {207, MakeObject<EInvalidOp>},
    {200, MakeObject<EZeroDivide>},
    {205, MakeObject<EOverflow>},
    {206, MakeObject<EUnderflow>},
    {219, MakeObject<EInvalidCast>},
    {216, MakeObject<EAccessViolation>},
    {218, MakeObject<EPrivilege>},
    {217, MakeObject<EControlC>},
    {202, MakeObject<EStackOverflow>},
    {220, MakeObject<EVariantError>},
    {221, MakeObject<EVariantError>},
    {222, MakeObject<EVariantError>},
    {223, MakeObject<EVariantError>},
    {224, MakeObject<EVariantError>},
    {225, MakeObject<EVariantError>},
    {227, MakeObject<EAssertionFailed>},
    {0, MakeObject<EExternalException>},
    {228, MakeObject<EIntfCastError>},
    {229, MakeObject<ESafecallException>},
};
static constexpr std::uint8_t LastTableKind = std::size(RunErrors) - 1;

struct TFaultNumber {
  std::uint32_t Code;
  std::int32_t Number;
};

static constexpr TFaultNumber FaultNumbers[] = {
    {StatusAccessViolation, 216},      {StatusArrayBoundsExceeded, 201},
    {StatusFloatDenormalOperand, 206}, {StatusFloatDivideByZero, 200},
    {StatusFloatInexactResult, 207},   {StatusFloatInvalidOperation, 207},
    {StatusFloatOverflow, 205},        {StatusFloatStackCheck, 207},
    {StatusFloatUnderflow, 206},       {StatusIntegerDivideByZero, 200},
    {StatusIntegerOverflow, 215},      {StatusPrivilegedInstruction, 218},
    {StatusStackOverflow, 202},        {StatusControlCExit, 217},
};

std::int32_t FaultNumber(std::uint32_t Code) {
  for (const TFaultNumber& Entry : FaultNumbers)
    if (Entry.Code == Code) return Entry.Number;
  return 255;
}

std::int32_t RunErrorNumber(std::uint8_t Kind) {
  std::int32_t Number;
  if (Kind == 0)
    Number = PendingIoError & 0xFF;
  else if (Kind <= LastTableKind)
    Number = RunErrors[Kind].Number;
  else
    Number = Kind;
  // An exit code of 0 would report the failure as a success.
  return Number == 0 ? 255 : Number;
}

// ---- Raising -----------------------------------------------------------------------------

[[gnu::noinline]] void RaiseIoCheck(std::uint32_t) {
  RaiseRunError(0, __builtin_return_address(0));
}

void RaiseRunError(std::uint8_t Kind, const void* Address) {
  Kind &= 0x7F;
  if (RunErrorHook != nullptr) RunErrorHook(Kind, Address);
  std::int32_t Number = RunErrorNumber(Kind);
  FaultAddress = Address;
  EndProcess(Number);
}

void RunErrorToException(std::uint8_t Kind, const void* Address) {
  TObject* Object;
  if (Kind == 1) {
    assert(OutOfMemoryObject);
    Object = &*OutOfMemoryObject;
  } else if (Kind == 2) {
    assert(InvalidPointerObject);
    Object = &*InvalidPointerObject;
  } else if (Kind >= 3 && Kind <= LastTableKind) {
    Object = RunErrors[Kind].Make(LoadResString(IdKindMessageBase + Kind));
  } else {
    Object = MakeIoFailure();
  }
  throw TRaised{Object, Address};
}

EInOutError* MakeIoFailure() {
  std::int32_t Code = TakePendingIoError();
  for (const TIoMessage& Entry : IoMessages)
    if (Entry.Code == Code) return new EInOutError(LoadResString(Entry.Id), Code);
  char Text[64];
  std::uint32_t Length =
      FormatTo(Text, sizeof Text, LoadResString(IdIoErrorFormat), {std::int64_t{Code}});
  return new EInOutError({Text, Length}, Code);
}

// ---- The outermost handler ---------------------------------------------------------------

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
  ReportException(Object, Address);
  EndProcess(1);
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
  for (;;) {
    // Each exception is caught here, after the unwind, and handled outside the catch, so that
    // one raised by the handler's own report comes back round in place of the first.
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

static void NoteOutOfMemory() {
  OutOfMemoryAddress = __builtin_return_address(0);
  throw std::bad_alloc();
}

// ---- Start and finish --------------------------------------------------------------------

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

void StartProgram(const TModuleTable& Steps) {
  ActiveSteps = Steps;
  std::set_new_handler(NoteOutOfMemory);
  Platform->PrepareProcess(HandleProcessorFault);
  StartedModules = 0;
  try {
    for (int I = 0; I < ModuleCount; ++I) {
      StartedModules = I + 1;
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

[[gnu::noinline]] void HaltWithError(std::int32_t Number) {
  FaultAddress = __builtin_return_address(0);
  EndProcess(Number);
}

[[noreturn]] static void ExitWithProcessExitCode() {
  Platform->ExitProcess(static_cast<std::uint32_t>(ProcessExitCode));
  std::abort(); // a virtual call does not carry the promise not to return
}

void FinishProcess() {
  if (FaultAddress != nullptr) {
    WriteRunErrorText();
    FaultAddress = nullptr;
  }
  if (std::optional<TRaised> Raised = FinaliseModules()) throw *Raised;
  ExitWithProcessExitCode();
}

void HandleProcessorFault(std::uint32_t Code, const void* Address) {
  ProcessExitCode = FaultNumber(Code);
  FaultAddress = Address;
  WriteRunErrorText();
  FaultAddress = nullptr;
  // Only the close of the standard streams, which writes out held output: the other steps may
  // free memory, which a fault may have left in any state.
  if (StartedModules > RuntimeCoreEntry) {
    CloseStream(StdInText);
    CloseStream(StdOutText);
    CloseStream(StdErrText);
  }
  ExitWithProcessExitCode();
}

// ---- The runtime's module steps ----------------------------------------------------------

// Each module's steps do their work only on the first start and the matching last finish.
static int RuntimeCoreStarts = 0;
static int ExceptionStarts = 0;

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
    // The exception hooks are gone by now, so the report is made here.
    EInOutError* Failure = MakeIoFailure();
    ReportException(Failure, __builtin_return_address(0));
    delete Failure;
    if (ProcessExitCode == 0) ProcessExitCode = 1;
  }
  CloseStream(StdErrText); // records 103 when it was never opened; nothing looks at it
}

void InitExceptions() {
  if (--ExceptionStarts != -1) return;
  PreMadeObjects[0] = &OutOfMemoryObject.emplace(LoadResString(IdKindMessageBase + 1));
  PreMadeObjects[1] = &InvalidPointerObject.emplace(LoadResString(IdKindMessageBase + 2));
  RunErrorHook = RunErrorToException;
  UnhandledHook = ReportAndHalt;
  // No host maps a processor fault to an object; faults end through the fault number table.
  FaultObjectHook = nullptr;
}

void FinishExceptions() {
  if (++ExceptionStarts != 0) return;
  OutOfMemoryObject.reset();
  InvalidPointerObject.reset();
  RunErrorHook = nullptr;
  UnhandledHook = nullptr;
  FaultObjectHook = nullptr;
}
