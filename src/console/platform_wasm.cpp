// The platform interface on WebAssembly: the standard handles are descriptors 0 to 2 of a console
// host written in JavaScript (node's file calls under node, a terminal in a web page), reached
// through the imports of platform_wasm.js; a trap comes back from there as a processor fault.
#include <emscripten.h>

#include <iterator>

#include "platform.h"
#include "platform_errno.h"

// The host's side, in platform_wasm.js. A negative result is a failure: minus its errno.
extern "C" {
// Read and write may wait for the host, which then suspends the program (asyncify).
std::int32_t KvizHostRead(std::int32_t Fd, void* Buffer, std::uint32_t Count);
std::int32_t KvizHostWrite(std::int32_t Fd, const void* Buffer, std::uint32_t Count);
std::int32_t KvizHostFileType(std::int32_t Fd); // as the platform's FileType values
double KvizHostNow();                           // milliseconds, steadily increasing
void KvizHostProgramPath(char* Buffer, std::uint32_t Size);
[[noreturn]] void KvizHostExit(std::uint32_t Code);
}

static std::uint32_t LastError = 0;
static TFaultHandler FaultHandler = nullptr;

// The ways a run of the program ends in JavaScript that stand for processor faults; the order is
// platform_wasm.js's.
static constexpr std::uint32_t TrapCodes[] = {StatusAccessViolation, StatusIntegerDivideByZero,
                                              StatusIntegerOverflow, StatusStackOverflow,
                                              StatusUnknownFault};

// Called by platform_wasm.js once a trap or an overflowed call stack has ended the run, with the
// code offset of the trapping instruction. Returns only when there is no handler yet.
extern "C" EMSCRIPTEN_KEEPALIVE void KvizRaiseFault(std::uint32_t Trap, std::uint32_t Offset) {
  if (FaultHandler == nullptr || Trap >= std::size(TrapCodes)) return;
  FaultHandler(TrapCodes[Trap], reinterpret_cast<const void*>(Offset));
}

static bool Succeeded(std::int32_t Result) {
  if (Result >= 0) return true;
  LastError = ErrorCodeFromErrno(-Result);
  return false;
}

THandle TPlatform::GetStdHandle(std::int32_t Which) {
  std::int32_t Fd = StdInputHandle - Which; // -10, -11, -12 give 0, 1, 2
  if (Fd < 0 || Fd > 2 || KvizHostFileType(Fd) == -EBADF) {
    LastError = ErrorCodeFromErrno(EBADF);
    return InvalidHandle;
  }
  return static_cast<THandle>(Fd);
}

std::uint32_t TPlatform::GetFileType(THandle Handle) {
  std::int32_t Type = KvizHostFileType(static_cast<std::int32_t>(Handle));
  return Succeeded(Type) ? static_cast<std::uint32_t>(Type) : FileTypeUnknown;
}

bool TPlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) {
  std::int32_t Done = KvizHostRead(static_cast<std::int32_t>(Handle), Buffer, Count);
  Read = Done > 0 ? static_cast<std::uint32_t>(Done) : 0;
  return Succeeded(Done);
}

bool TPlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                          std::uint32_t& Written) {
  std::int32_t Done = KvizHostWrite(static_cast<std::int32_t>(Handle), Buffer, Count);
  Written = Done > 0 ? static_cast<std::uint32_t>(Done) : 0;
  return Succeeded(Done);
}

bool TPlatform::CloseHandle(THandle Handle) {
  // The host's descriptors belong to it, and it has no others.
  if (Handle <= 2) return true;
  LastError = ErrorCodeFromErrno(EBADF);
  return false;
}

std::uint32_t TPlatform::GetLastError() {
  return LastError;
}

bool TPlatform::QueryPerformanceCounter(std::int64_t& Count) {
  Count = static_cast<std::int64_t>(KvizHostNow() * 1e6); // nanoseconds, as on Linux
  return true;
}

std::uint32_t TPlatform::GetTickCount() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(KvizHostNow()));
}

TModuleInfo TPlatform::FindModule(const void*) {
  // The program is one module, and a code address is an offset in it: its base is 0. Its path
  // is asked for each time, into a fixed buffer, since a report may run after memory has run
  // out; the reports name the file that the path ends in.
  static char Path[4096];
  KvizHostProgramPath(Path, sizeof Path);
  return {FileNameOf(Path, "/\\"), 0};
}

void TPlatform::AnsiToOem(char*, std::uint32_t) {} // both are ASCII here

void TPlatform::ShowMessage(const char*, const char* Text) {
  std::uint32_t Length = 0;
  while (Text[Length] != 0) ++Length;
  KvizHostWrite(2, Text, Length);
  KvizHostWrite(2, "\n", 1);
}

void TPlatform::PrepareProcess(TFaultHandler OnFault) {
  // The host sees to it that a closed pipe or a size limit fails a write with a code (node
  // ignores SIGPIPE and SIGXFSZ).
  FaultHandler = OnFault;
}

void TPlatform::ExitProcess(std::uint32_t Code) {
  KvizHostExit(Code);
}

static constinit TPlatform HostPlatform;
TPlatform* Platform = &HostPlatform;
