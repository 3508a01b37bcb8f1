// The platform interface on WebAssembly: the standard handles are descriptors 0 to 2 of a console
// host written in JavaScript (node's file calls under node, the page's console in a browser),
// reached through the imports of platform_wasm.js; a trap comes back from there as a processor
// fault.
#include <emscripten.h>

#include <cerrno>
#include <string_view>

#include "platform.h"
#include "platform_descriptors.h"

// The host's side, in platform_wasm.js. A negative result is a failure: minus its errno.
extern "C" {
// Read and write may wait for the host, which then suspends the program (asyncify).
std::int32_t KvizHostRead(std::int32_t Fd, void* Buffer, std::uint32_t Count);
std::int32_t KvizHostWrite(std::int32_t Fd, const void* Buffer, std::uint32_t Count);
std::int32_t KvizHostFileType(std::int32_t Fd, char* Name, std::uint32_t Size); // the host's name
double KvizHostNow(); // milliseconds, steadily increasing
void KvizHostProgramPath(char* Buffer, std::uint32_t Size);
void KvizHostTrapKind(char* Name, std::uint32_t Size);
[[noreturn]] void KvizHostExit(std::uint32_t Code);
}

static TFaultHandler FaultHandler = nullptr;

// A host's name and the runtime's code for it; a name not listed stands for Otherwise.
struct TNamedCode {
  std::string_view Name;
  std::uint32_t Code;
};
template <std::size_t Count>
static std::uint32_t CodeNamed(const char* Name, const TNamedCode (&Codes)[Count],
                               std::uint32_t Otherwise) {
  for (const TNamedCode& Entry : Codes)
    if (Entry.Name == Name) return Entry.Code;
  return Otherwise;
}

// The file types by the names that hosts give them (platform_wasm.js).
static constexpr TNamedCode FileTypes[] = {
    {"file", FileTypeDisk}, {"char", FileTypeChar}, {"pipe", FileTypePipe}};

// The ends of a run in JavaScript that stand for processor faults, by the names that
// platform_wasm.js gives them; another trap is a fault of no known kind.
static constexpr TNamedCode TrapKinds[] = {{"access", StatusAccessViolation},
                                           {"divide", StatusIntegerDivideByZero},
                                           {"overflow", StatusIntegerOverflow},
                                           {"stack", StatusStackOverflow}};

// Called by platform_wasm.js once a trap or an overflowed call stack has ended the run, with the
// code offset of the trapping instruction. Returns only when there is no handler yet.
extern "C" EMSCRIPTEN_KEEPALIVE void KvizRaiseFault(std::uint32_t Offset) {
  if (FaultHandler == nullptr) return;
  char Kind[16];
  KvizHostTrapKind(Kind, sizeof Kind);
  FaultHandler(CodeNamed(Kind, TrapKinds, StatusUnknownFault),
               reinterpret_cast<const void*>(Offset));
}

static bool Succeeded(std::int32_t Result) {
  return Result >= 0 || FailWithErrno(-Result);
}

bool IsOpenDescriptor(int Fd) {
  char Name[16];
  return KvizHostFileType(Fd, Name, sizeof Name) != -EBADF;
}

std::uint32_t THostPlatform::GetFileType(THandle Handle) {
  char Name[16];
  if (!Succeeded(KvizHostFileType(static_cast<std::int32_t>(Handle), Name, sizeof Name)))
    return FileTypeUnknown;
  return CodeNamed(Name, FileTypes, FileTypeUnknown);
}

bool THostPlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count,
                             std::uint32_t& Read) {
  std::int32_t Done = KvizHostRead(static_cast<std::int32_t>(Handle), Buffer, Count);
  Read = Done > 0 ? static_cast<std::uint32_t>(Done) : 0;
  return Succeeded(Done);
}

bool THostPlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Written) {
  std::int32_t Done = KvizHostWrite(static_cast<std::int32_t>(Handle), Buffer, Count);
  Written = Done > 0 ? static_cast<std::uint32_t>(Done) : 0;
  return Succeeded(Done);
}

bool THostPlatform::QueryPerformanceCounter(std::int64_t& Count) {
  Count = static_cast<std::int64_t>(KvizHostNow() * 1e6); // nanoseconds, as on Linux
  return true;
}

std::uint32_t THostPlatform::GetTickCount() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(KvizHostNow()));
}

TModuleInfo THostPlatform::FindModule(const void*) {
  // The program is one module, and a code address is an offset in it: its base is 0. Its path
  // is asked for each time, into a fixed buffer, since a report may run after memory has run
  // out; the reports name the file that the path ends in.
  static char Path[4096];
  KvizHostProgramPath(Path, sizeof Path);
  return {FileNameOf(Path, "/\\"), 0};
}

void THostPlatform::PrepareProcess(TFaultHandler OnFault) {
  // The host sees to it that a closed pipe or a size limit fails a write with a code (node
  // ignores SIGPIPE and SIGXFSZ).
  FaultHandler = OnFault;
}

void THostPlatform::ExitProcess(std::uint32_t Code) {
  KvizHostExit(Code);
}
