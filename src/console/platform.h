// The one interface through which the runtime reaches the operating system.
// Its operations mirror the Windows services the runtime was designed around; each host
// supplies an implementation, and tests swap in a scripted fake through `Platform`.
#pragma once

#include <cstdint>

using THandle = std::uint32_t;

inline constexpr THandle InvalidHandle = 0xFFFFFFFFu;

inline constexpr std::int32_t StdInputHandle = -10;
inline constexpr std::int32_t StdOutputHandle = -11;
inline constexpr std::int32_t StdErrorHandle = -12;

// File types as the runtime distinguishes them.
inline constexpr std::uint32_t FileTypeUnknown = 0;
inline constexpr std::uint32_t FileTypeDisk = 1;
inline constexpr std::uint32_t FileTypeChar = 2;
inline constexpr std::uint32_t FileTypePipe = 3;

// Error codes the runtime itself looks at; hosts report theirs in the same numbering.
inline constexpr std::uint32_t ErrorInvalidHandle = 6;
inline constexpr std::uint32_t ErrorWriteFault = 29;
inline constexpr std::uint32_t ErrorBrokenPipe = 109;

// Codes of the processor faults that the host turns into a call of the fault handler.
inline constexpr std::uint32_t StatusAccessViolation = 0xC0000005u;
inline constexpr std::uint32_t StatusArrayBoundsExceeded = 0xC000008Cu;
inline constexpr std::uint32_t StatusFloatDenormalOperand = 0xC000008Du;
inline constexpr std::uint32_t StatusFloatDivideByZero = 0xC000008Eu;
inline constexpr std::uint32_t StatusFloatInexactResult = 0xC000008Fu;
inline constexpr std::uint32_t StatusFloatInvalidOperation = 0xC0000090u;
inline constexpr std::uint32_t StatusFloatOverflow = 0xC0000091u;
inline constexpr std::uint32_t StatusFloatStackCheck = 0xC0000092u;
inline constexpr std::uint32_t StatusFloatUnderflow = 0xC0000093u;
inline constexpr std::uint32_t StatusIntegerDivideByZero = 0xC0000094u;
inline constexpr std::uint32_t StatusIntegerOverflow = 0xC0000095u;
inline constexpr std::uint32_t StatusPrivilegedInstruction = 0xC0000096u;
inline constexpr std::uint32_t StatusStackOverflow = 0xC00000FDu;
inline constexpr std::uint32_t StatusControlCExit = 0xC000013Au;
inline constexpr std::uint32_t StatusUnknownFault = 0xFFFFFFFFu;

struct TModuleInfo {
  const char* Path; // full path of the module's file; never null
  std::uintptr_t Base;
  bool Found; // false: Path is the program's own file and Base is meaningless
};

// Runs on the faulting thread, possibly inside a signal handler: it must not allocate.
using TFaultHandler = void (*)(std::uint32_t Code, const void* Address);

class TPlatform {
public:
  // A failing operation leaves its code for GetLastError, as the Windows services do.
  virtual THandle GetStdHandle(std::int32_t Which) = 0;
  virtual std::uint32_t GetFileType(THandle Handle) = 0;
  // Reads up to Count bytes; Read 0 with success is the end of input.
  virtual bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) = 0;
  // May write fewer bytes than asked; the caller goes on with the rest.
  virtual bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                         std::uint32_t& Written) = 0;
  virtual bool CloseHandle(THandle Handle) = 0;
  virtual std::uint32_t GetLastError() = 0;
  virtual bool QueryPerformanceCounter(std::int64_t& Count) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual TModuleInfo FindModule(const void* Address) = 0;
  virtual void AnsiToOem(char* Text, std::uint32_t Length) = 0;
  // The report path of a program that is not a console program.
  virtual void ShowMessage(const char* Caption, const char* Text) = 0;
  // Once at start-up: the host's own process settings and the fault handler.
  virtual void PrepareProcess(TFaultHandler OnFault) = 0;
  [[noreturn]] virtual void ExitProcess(std::uint32_t Code) = 0;

protected:
  ~TPlatform() = default;
};

// The host's implementation unless a test has put its own in place.
extern TPlatform* Platform;
