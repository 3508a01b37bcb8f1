// The process around the program: start-up and finalisation through the module steps, the
// check after every console statement, run-time errors, the outermost handler with its two
// fatal reports, and the exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "console_text.h"
#include "exceptions.h"

// The code of an exception raised by the runtime, as the outermost handler tells it apart
// from a processor fault.
inline constexpr std::uint32_t RaisedExceptionCode = 0x0EEDFADEu;

struct TExceptionRecord {
  std::uint32_t Code;
  const void* Address; // for a raised exception, the address it was raised for
  TObject* Object;     // for a raised exception, its object
};

struct TModuleStep {
  void (*Initialise)();
  void (*Finalise)();
};

inline constexpr int ModuleCount = 7;
using TModuleTable = TModuleStep[ModuleCount];

// Steps that the runtime contributes to the program's module table.
inline constexpr int RuntimeCoreEntry = 1;
inline constexpr int ExceptionEntry = 5;
inline constexpr int ProgramEntry = 6;
void InitRuntimeCore();
void FinishRuntimeCore();
void InitExceptions();
void FinishExceptions();

extern std::uint8_t ConsoleApp;
extern std::int32_t ProcessExitCode;
extern const void* FaultAddress;
extern void (*RunErrorHook)(std::uint8_t Kind, const void* Address);
extern void (*UnhandledHook)(TObject* Object, const void* Address);
extern TObject* (*FaultObjectHook)(const TExceptionRecord& Record);
extern std::int32_t StartedModules;
inline constexpr std::size_t RunErrorTextSize = 30;
extern char RunErrorText[RunErrorTextSize];

[[noreturn]] void RaiseRunError(std::uint8_t Kind, const void* Address);
[[noreturn]] void RunErrorToException(std::uint8_t Kind, const void* Address);
EInOutError* MakeIoFailure();

// The rare half of CheckIo, kept out of line so that its return address is the point right
// after the check in the statement's caller. Site differs from one check to the next, which
// keeps the compiler from merging the calls of one routine into one, and so one address.
[[noreturn]] void RaiseIoCheck(std::uint32_t Site);

// After every console statement. With nothing pending this is one thread-local load and one
// comparison.
[[gnu::always_inline]] inline void CheckIo(std::uint32_t Site = __builtin_LINE()) {
  if (PendingIoError != 0) [[unlikely]]
    RaiseIoCheck(Site);
}

[[noreturn]] void TopLevelHandler(const TExceptionRecord& Record);
[[noreturn]] void ReportAndHalt(TObject* Object, const void* Address);
void ReportException(TObject* Object, const void* Address);
std::uint32_t FormatExceptionReport(TObject* Object, const void* Address, char* Buffer,
                                    std::uint32_t Capacity);
// Fills RunErrorText from ProcessExitCode and FaultAddress and writes it out.
void WriteRunErrorText();

[[noreturn]] void EndProcess(std::int32_t Code);
[[noreturn]] void HaltWithError(std::int32_t Number);
[[noreturn]] void FinishProcess();
void StartProgram(const TModuleTable& Steps);

// Runs Body inside the outermost handler: every exception that escapes Body, or that a report
// raises in turn, goes to TopLevelHandler. Never returns; Body ends the process itself.
[[noreturn]] void RunUnderTopLevelHandler(void (*Body)());

// The processor-fault path: no allocation, only the run-time core's finalisation, then exit.
[[noreturn]] void HandleProcessorFault(std::uint32_t Code, const void* Address);

// Number that a processor fault or run-time error kind ends the process with.
std::int32_t FaultNumber(std::uint32_t Code);
std::int32_t RunErrorNumber(std::uint8_t Kind);

// Fills Buffer (Capacity bytes, zero-terminated, cut to fit) from Format, taking the arguments
// in order: %s inserts a text, %d a signed number in decimal, %p the low 32 bits of a number as
// exactly eight uppercase hexadecimal digits. Returns the length without the zero.
struct TFormatArg {
  TFormatArg(std::string_view T) : Text(T) {}
  TFormatArg(const char* T) : Text(T) {}
  TFormatArg(std::int64_t N) : Number(N) {}
  std::string_view Text;
  std::int64_t Number = 0;
};
std::uint32_t FormatTo(char* Buffer, std::uint32_t Capacity, std::string_view Format,
                       std::initializer_list<TFormatArg> Args);
