// The one interface through which the runtime reaches the operating system. Its operations
// mirror the Windows services the runtime was designed around. Each host's file defines them
// (platform_posix.cpp, platform_win32.cpp); a test derives its own platform from this one,
// changes the operations it scripts and puts it in `Platform`.
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

// The module whose image holds an address, as the report names it: an address's offset in the
// module is the address minus Base.
struct TModuleInfo {
  const char* Name; // its file's name without the folders; never null, at most 260 characters
  std::uintptr_t Base;
};

// The file name that Path ends in: what follows the last of the host's path separators.
inline const char* FileNameOf(const char* Path, const char* Separators) {
  const char* Name = Path;
  for (const char* P = Path; *P != 0; ++P)
    for (const char* S = Separators; *S != 0; ++S)
      if (*P == *S) Name = P + 1;
  return Name;
}

// Runs on the faulting thread, possibly inside a signal handler: it must not allocate.
using TFaultHandler = void (*)(std::uint32_t Code, const void* Address);

class TPlatform {
public:
  // A failing operation leaves its code for GetLastError, as the Windows services do.
  virtual THandle GetStdHandle(std::int32_t Which);
  virtual std::uint32_t GetFileType(THandle Handle);
  // Reads up to Count bytes; Read 0 with success is the end of input.
  virtual bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read);
  // May write fewer bytes than asked; the caller goes on with the rest.
  virtual bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                         std::uint32_t& Written);
  virtual bool CloseHandle(THandle Handle);
  virtual std::uint32_t GetLastError();
  virtual bool QueryPerformanceCounter(std::int64_t& Count);
  virtual std::uint32_t GetTickCount();
  // An address in no module, null included, counts as the program's own, from a base that the
  // host's image layout gives.
  virtual TModuleInfo FindModule(const void* Address);
  virtual void AnsiToOem(char* Text, std::uint32_t Length);
  // The report road of a program that is not a console program, which the game never takes.
  virtual void ShowMessage(const char* Caption, const char* Text);
  // Once at start-up: the host's own process settings and the fault handler.
  virtual void PrepareProcess(TFaultHandler OnFault);
  [[noreturn]] virtual void ExitProcess(std::uint32_t Code);
};

// The host's own unless a test has put another in place.
extern TPlatform* Platform;
