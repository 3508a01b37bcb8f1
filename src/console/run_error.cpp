// Run-time errors: the check's rare half, the kinds' numbers and classes, and the turning of a
// kind into an exception. Kind 0 is an I/O failure, whose message comes from the pending code.
#include "run_error.h"

#include "console_text.h"
#include "platform.h"
#include "process.h"
#include "report.h"

// Set while the exception machinery is started.
static void (*RunErrorHook)(std::uint8_t, const void*) = nullptr;

struct TIoMessage {
  std::int64_t Code; // wide enough for the hosts' codes and the runtime's alike
  std::uint16_t Id;
};

// The codes with messages of their own: the host's, then the runtime's (which no statement of
// this runtime records, but a caller's own may).
static constexpr TIoMessage IoMessages[] = {
    {ErrorFileNotFound, 65522},   {ErrorPathNotFound, 65523},  {ErrorTooManyOpenFiles, 65524},
    {ErrorAccessDenied, 65525},   {ErrorReadBeyondEnd, 65526}, {ErrorDiskWrite, 65527},
    {ErrorInvalidNumeric, 65528},
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

// The kinds that processor faults stand for. The floating-point rows are for a host that lets
// floating-point operations trap; every host here keeps those traps masked, as a process starts
// with them, so nothing reaches them but the table's own lookup.
struct TFaultKind {
  std::uint32_t Code;
  std::uint8_t Kind;
};
static constexpr TFaultKind FaultKinds[] = {
    {StatusAccessViolation, 11},       // EAccessViolation
    {StatusArrayBoundsExceeded, 4},    // ERangeError
    {StatusFloatDenormalOperand, 9},   // EUnderflow
    {StatusFloatDivideByZero, 7},      // EZeroDivide
    {StatusFloatInexactResult, 6},     // EInvalidOp
    {StatusFloatInvalidOperation, 6},  // EInvalidOp
    {StatusFloatOverflow, 8},          // EOverflow
    {StatusFloatStackCheck, 6},        // EInvalidOp
    {StatusFloatUnderflow, 9},         // EUnderflow
    {StatusIntegerDivideByZero, 3},    // EDivByZero
    {StatusIntegerOverflow, 5},        // EIntOverflow
    {StatusPrivilegedInstruction, 12}, // EPrivilege
    {StatusStackOverflow, 14},         // EStackOverflow
    {StatusControlCExit, 13},          // EControlC
};

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

std::int32_t FaultNumber(std::uint32_t Code) {
  for (const TFaultKind& Entry : FaultKinds)
    if (Entry.Code == Code) return RunErrorNumber(Entry.Kind);
  return 255;
}

[[gnu::noinline]] void RaiseIoCheck(std::uint32_t) {
  RaiseRunError(0, __builtin_return_address(0));
}

void RaiseRunError(std::uint8_t Kind, const void* Address) {
  Kind &= 0x7F;
  if (RunErrorHook != nullptr) RunErrorHook(Kind, Address);
  HaltAt(RunErrorNumber(Kind), Address);
}

[[noreturn]] static void RunErrorToException(std::uint8_t Kind, const void* Address) {
  TObject* Object;
  if (Kind == 1)
    Object = &OutOfMemoryObject();
  else if (Kind == 2)
    Object = &InvalidPointerObject();
  else if (Kind >= 3 && Kind <= LastTableKind)
    Object = RunErrors[Kind].Make(LoadResString(IdKindMessageBase + Kind));
  else
    Object = MakeIoFailure();
  throw TRaised{Object, Address};
}

void RaiseRunErrorsAsExceptions(bool On) {
  RunErrorHook = On ? RunErrorToException : nullptr;
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
