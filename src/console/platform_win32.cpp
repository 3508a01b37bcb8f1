// The platform interface on Windows: each operation is the kernel or user service of the same
// name, called as it is, with its error codes passed on unchanged; and the pending I/O code's
// place in the per-thread block. This is the only file that sees <windows.h>.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// An old alias of CharToOemA that would rename the interface's operation of the same name.
#undef AnsiToOem

#include <cstdint>

#include "platform.h"
#include "platform_tls.h"

#if KVIZ_PENDING_IN_TLS_BLOCK
// Between the C runtime's start (.tls) and end (.tls$ZZZ) of the block's template. Reached
// only from inline assembly, so link-time optimisation must keep its name.
__attribute__((section(".tls$KVIZ"), used, externally_visible)) std::int32_t KvizPendingIoError = 0;
#endif

// The runtime keeps a handle in 32 bits. Kernel handles fit in 32 bits on every Windows, and
// sign extension keeps INVALID_HANDLE_VALUE intact in the 64-bit build.
static HANDLE ToHandle(THandle Handle) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(static_cast<std::int32_t>(Handle)));
}

static THandle FromHandle(HANDLE Handle) {
  return static_cast<THandle>(reinterpret_cast<std::uintptr_t>(Handle));
}

static TFaultHandler FaultHandler = nullptr;

// The reports may run after memory has run out, so their paths live in fixed buffers; a path
// is at most MAX_PATH characters, and so is the name it ends in.
static char ModulePath[MAX_PATH + 1];

// The name of the file of Module (null: the program), from a path in ModulePath; null if
// Windows does not know the module.
static const char* ModuleName(HMODULE Module) {
  DWORD Length = GetModuleFileNameA(Module, ModulePath, MAX_PATH + 1);
  if (Length == 0) return nullptr;
  // A path cut at the buffer's end comes without its zero on older systems.
  ModulePath[Length <= MAX_PATH ? Length : MAX_PATH] = 0;
  return FileNameOf(ModulePath, "\\");
}

// Reached for every processor fault that nothing else handles; the runtime's handler ends the
// process, so the search never continues past this point.
static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* Pointers) {
  const EXCEPTION_RECORD* Record = Pointers->ExceptionRecord;
  FaultHandler(static_cast<std::uint32_t>(Record->ExceptionCode), Record->ExceptionAddress);
  return EXCEPTION_EXECUTE_HANDLER; // only if the handler returned after all
}

THandle THostPlatform::GetStdHandle(std::int32_t Which) {
  return FromHandle(::GetStdHandle(static_cast<DWORD>(Which)));
}

std::uint32_t THostPlatform::GetFileType(THandle Handle) {
  return ::GetFileType(ToHandle(Handle));
}

bool THostPlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count,
                             std::uint32_t& Read) {
  DWORD Done = 0;
  BOOL Ok = ::ReadFile(ToHandle(Handle), Buffer, Count, &Done, nullptr);
  Read = Ok ? Done : 0;
  return Ok != FALSE;
}

bool THostPlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Written) {
  DWORD Done = 0;
  BOOL Ok = ::WriteFile(ToHandle(Handle), Buffer, Count, &Done, nullptr);
  Written = Ok ? Done : 0;
  return Ok != FALSE;
}

bool THostPlatform::CloseHandle(THandle Handle) {
  return ::CloseHandle(ToHandle(Handle)) != FALSE;
}

std::uint32_t THostPlatform::GetLastError() {
  return ::GetLastError();
}

bool THostPlatform::QueryPerformanceCounter(std::int64_t& Count) {
  LARGE_INTEGER Now;
  if (!::QueryPerformanceCounter(&Now)) return false;
  Count = Now.QuadPart;
  return true;
}

std::uint32_t THostPlatform::GetTickCount() {
  return ::GetTickCount();
}

TModuleInfo THostPlatform::FindModule(const void* Address) {
  MEMORY_BASIC_INFORMATION Region;
  if (VirtualQuery(Address, &Region, sizeof Region) != 0 && Region.State == MEM_COMMIT) {
    auto* Module = static_cast<HMODULE>(Region.AllocationBase);
    if (const char* Name = ModuleName(Module))
      return {Name, reinterpret_cast<std::uintptr_t>(Region.AllocationBase)};
  }
  // Counted as if in the program's code, which starts 0x1000 into its image; null stays 0.
  const char* Name = ModuleName(nullptr);
  return {Name != nullptr ? Name : "", Address != nullptr ? 0x1000u : 0u};
}

void THostPlatform::AnsiToOem(char* Text, std::uint32_t) {
  // The report is zero-terminated, and the conversion may work in place.
  CharToOemA(Text, Text);
}

void THostPlatform::ShowMessage(const char* Caption, const char* Text) {
  MessageBoxA(nullptr, Text, Caption, MB_TASKMODAL | MB_ICONERROR);
}

void THostPlatform::PrepareProcess(TFaultHandler OnFault) {
  FaultHandler = OnFault;
  // Room left on the stack after an overflow, so that the handler can still write its text.
  // Looked up by name: systems before Vista lack the service and do without the reserve.
  using TSetThreadStackGuarantee = BOOL(WINAPI*)(ULONG*);
  if (HMODULE Kernel = GetModuleHandleA("kernel32.dll")) {
    if (FARPROC Found = GetProcAddress(Kernel, "SetThreadStackGuarantee")) {
      ULONG Reserve = 64 * 1024;
      reinterpret_cast<TSetThreadStackGuarantee>(reinterpret_cast<void*>(Found))(&Reserve);
    }
  }
  SetUnhandledExceptionFilter(OnUnhandledException);
}

void THostPlatform::ExitProcess(std::uint32_t Code) {
  ::ExitProcess(Code);
}

static constinit THostPlatform HostPlatform;
TPlatform* Platform = &HostPlatform;
