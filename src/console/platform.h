// The one interface through which the runtime reaches its host, TPlatform: its operations mirror
// the Windows services the runtime was designed around. THostPlatform is the host's own
// implementation, which one host's files define: Windows (platform_win32.cpp), Linux
// (platform_posix.cpp) or WebAssembly (platform_wasm.cpp), the last two with what hosts of
// descriptors share (platform_descriptors.cpp). A test implements the interface itself, or
// changes some of the host's operations on purpose, and puts its platform in `Platform`.
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

// The standard handle Which as a descriptor, on the hosts whose standard handles are descriptors
// 0 to 2 (and a test's): -10, -11 and -12 give 0, 1 and 2, anything else -1.
inline int StdDescriptorOf(std::int32_t Which) {
  return Which <= StdInputHandle && Which >= StdErrorHandle ? StdInputHandle - Which : -1;
}

// Error codes in the Windows numbering, which every host reports its failures in.
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorPathNotFound = 3;
inline constexpr std::uint32_t ErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorInvalidHandle = 6;
inline constexpr std::uint32_t ErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t ErrorWriteFault = 29;
inline constexpr std::uint32_t ErrorGenFailure = 31;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;
inline constexpr std::uint32_t ErrorBrokenPipe = 109;
inline constexpr std::uint32_t ErrorDiskFull = 112;
inline constexpr std::uint32_t ErrorFileTooLarge = 223;
inline constexpr std::uint32_t ErrorNoData = 232;
inline constexpr std::uint32_t ErrorIoDevice = 1117;

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
  // An address in no module, null included, counts as the program's own, from a base that the
  // host's image layout gives.
  virtual TModuleInfo FindModule(const void* Address) = 0;
  virtual void AnsiToOem(char* Text, std::uint32_t Length) = 0;
  // The report road of a program that is not a console program, which the game never takes.
  virtual void ShowMessage(const char* Caption, const char* Text) = 0;
  // Once at start-up: the host's own process settings and the fault handler.
  virtual void PrepareProcess(TFaultHandler OnFault) = 0;
  [[noreturn]] virtual void ExitProcess(std::uint32_t Code) = 0;

protected:
  ~TPlatform() = default;
};

// The host's own implementation, which `Platform` starts as.
class THostPlatform : public TPlatform {
public:
  THandle GetStdHandle(std::int32_t Which) override;
  std::uint32_t GetFileType(THandle Handle) override;
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override;
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override;
  bool CloseHandle(THandle Handle) override;
  std::uint32_t GetLastError() override;
  bool QueryPerformanceCounter(std::int64_t& Count) override;
  std::uint32_t GetTickCount() override;
  TModuleInfo FindModule(const void* Address) override;
  void AnsiToOem(char* Text, std::uint32_t Length) override;
  void ShowMessage(const char* Caption, const char* Text) override;
  void PrepareProcess(TFaultHandler OnFault) override;
  [[noreturn]] void ExitProcess(std::uint32_t Code) override;
};

// The host's own unless a test has put another in place.
extern TPlatform* Platform;
