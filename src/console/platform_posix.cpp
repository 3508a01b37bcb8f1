// The platform interface on Linux: standard descriptors stand in for the standard handles.
// Interrupted and would-block calls are waited out here, so the runtime sees only data, the
// end of input, or a failure with a Windows-numbered error code.
#include <cerrno>
#include <csignal>
#include <ctime>
#include <initializer_list>

#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform.h"
#include "platform_descriptors.h"

static TFaultHandler FaultHandler = nullptr;

// A descriptor that a parent left non-blocking: wait until it is ready rather than treating
// "not yet" as the end of input or a failure. False, with errno set, when the wait itself fails.
static bool WaitUntilReady(int Fd, short Events) {
  pollfd Poll{Fd, Events, 0};
  for (;;) {
    if (poll(&Poll, 1, -1) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

// Makes one read or write: an interrupted call is made again and a descriptor that is not ready
// is waited for, so the caller sees only bytes moved, the end of input, or a failure.
template <class TCall>
[[gnu::always_inline]] static inline bool Transfer(int Fd, short Events, std::uint32_t& Done,
                                                   TCall Call) {
  for (;;) {
    ssize_t N = Call();
    if (N >= 0) {
      Done = static_cast<std::uint32_t>(N);
      return true;
    }
    if (errno == EINTR) continue;
    // A wait that fails would fail again on every retry: it is the call's failure.
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitUntilReady(Fd, Events)) continue;
    Done = 0;
    return FailWithErrno(errno);
  }
}

static const char* ProgramName() {
  static char Path[4096];
  ssize_t N = readlink("/proc/self/exe", Path, sizeof Path - 1);
  Path[N > 0 ? N : 0] = 0;
  return FileNameOf(Path, "/");
}

// The faulting instruction's address, which the report names: from the processor context where
// this file knows it, since si_addr is the data's address for an access fault (and only its
// page on s390x). On s390x the context points at the instruction only for an access fault,
// which is made again once mended; for the others it points past it and si_addr names it.
// Elsewhere si_addr, which Linux sets to the instruction for all but an access fault.
static const void* InstructionAddress(int Signal, [[maybe_unused]] const siginfo_t* Info,
                                      const void* Context) {
  [[maybe_unused]] const auto& Machine = static_cast<const ucontext_t*>(Context)->uc_mcontext;
  [[maybe_unused]] const bool Access = Signal == SIGSEGV || Signal == SIGBUS;
#if defined(__x86_64__)
  return reinterpret_cast<const void*>(Machine.gregs[REG_RIP]);
#elif defined(__i386__)
  return reinterpret_cast<const void*>(Machine.gregs[REG_EIP]);
#elif defined(__aarch64__)
  return reinterpret_cast<const void*>(Machine.pc);
#elif defined(__s390x__)
  return Access ? reinterpret_cast<const void*>(Machine.psw.addr) : Info->si_addr;
#elif defined(__arm__)
  return reinterpret_cast<const void*>(Machine.arm_pc);
#elif defined(__powerpc64__)
  return reinterpret_cast<const void*>(Machine.gp_regs[PT_NIP]);
#elif defined(__riscv)
  return reinterpret_cast<const void*>(Machine.__gregs[REG_PC]);
#else
  return Access ? nullptr : Info->si_addr; // unknown rather than the data's
#endif
}

#if defined(__arm__)
// The 32-bit ARM code of Debian's compilers (ARMv7-A for armhf, ARMv5TE for armel) has no
// division instruction: the EABI's division routines, libgcc's, call these on a zero divisor,
// and libgcc's own raise SIGFPE as a signal that the process sent itself, which names neither
// the fault nor its place (si_addr then holds the sender's process id). The routines branch here
// without a link, so the return address lies in the routine that divided, just past its call;
// in Thumb code its lowest bit is set, and cleared here. Before the runtime has a handler, the
// signal as libgcc raises it.
static void DivisionByZero(const void* ReturnAddress) {
  if (FaultHandler == nullptr) {
    raise(SIGFPE);
    return;
  }
  auto Address = reinterpret_cast<std::uintptr_t>(ReturnAddress) & ~std::uintptr_t{1};
  FaultHandler(StatusIntegerDivideByZero, reinterpret_cast<const void*>(Address));
  _exit(255); // as OnFaultSignal does, should the handler return
}
extern "C" int __aeabi_idiv0(int) {
  DivisionByZero(__builtin_return_address(0));
  return 0;
}
extern "C" long long __aeabi_ldiv0(long long) {
  DivisionByZero(__builtin_return_address(0));
  return 0;
}
#endif

static std::uint32_t FloatingPointFault(int Code) {
  switch (Code) {
  case FPE_INTDIV:
    return StatusIntegerDivideByZero;
  case FPE_INTOVF:
    return StatusIntegerOverflow;
  case FPE_FLTDIV:
    return StatusFloatDivideByZero;
  case FPE_FLTOVF:
    return StatusFloatOverflow;
  case FPE_FLTUND:
    return StatusFloatUnderflow;
  case FPE_FLTRES:
    return StatusFloatInexactResult;
  case FPE_FLTINV:
    return StatusFloatInvalidOperation;
  case FPE_FLTSUB:
    return StatusArrayBoundsExceeded;
  default:
    return StatusUnknownFault;
  }
}

static void OnFaultSignal(int Signal, siginfo_t* Info, void* Context) {
  std::uint32_t Code = StatusUnknownFault;
  if (Signal == SIGSEGV || Signal == SIGBUS)
    Code = StatusAccessViolation;
  else if (Signal == SIGFPE)
    Code = FloatingPointFault(Info->si_code);
  FaultHandler(Code, InstructionAddress(Signal, Info, Context));
  _exit(255); // the handler exits; this only guards against one that returns
}

bool IsOpenDescriptor(int Fd) {
  return fcntl(Fd, F_GETFD) != -1;
}

std::uint32_t THostPlatform::GetFileType(THandle Handle) {
  struct stat Status;
  if (fstat(static_cast<int>(Handle), &Status) != 0) return FailWithErrno(errno), FileTypeUnknown;
  if (S_ISCHR(Status.st_mode)) return FileTypeChar;
  if (S_ISREG(Status.st_mode) || S_ISBLK(Status.st_mode)) return FileTypeDisk;
  if (S_ISFIFO(Status.st_mode) || S_ISSOCK(Status.st_mode)) return FileTypePipe;
  return FileTypeUnknown;
}

bool THostPlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count,
                             std::uint32_t& Read) {
  const int Fd = static_cast<int>(Handle);
  return Transfer(Fd, POLLIN, Read, [&] { return read(Fd, Buffer, Count); });
}

bool THostPlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Written) {
  const int Fd = static_cast<int>(Handle);
  return Transfer(Fd, POLLOUT, Written, [&] { return write(Fd, Buffer, Count); });
}

bool THostPlatform::QueryPerformanceCounter(std::int64_t& Count) {
  timespec Now;
  if (clock_gettime(CLOCK_MONOTONIC, &Now) != 0) return false;
  Count = std::int64_t{Now.tv_sec} * 1000000000 + Now.tv_nsec;
  return true;
}

std::uint32_t THostPlatform::GetTickCount() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return static_cast<std::uint32_t>(std::int64_t{Now.tv_sec} * 1000 + Now.tv_nsec / 1000000);
}

TModuleInfo THostPlatform::FindModule(const void* Address) {
  // The loader's own list of the loaded files, which a static program has too: its one entry
  // is the program. A module's base is where its file's first byte is mapped, as on Windows.
  // An address in no module counts as the Windows program's would, from where its code starts
  // (0x1000 into its image), so that a report reads alike on every host; null stays 0.
  struct TSearch {
    std::uintptr_t Address;
    TModuleInfo Found;
  } Search{reinterpret_cast<std::uintptr_t>(Address), {ProgramName(), Address ? 0x1000u : 0u}};
  if (Address == nullptr) return Search.Found;
  dl_iterate_phdr(
      [](dl_phdr_info* Module, std::size_t, void* Data) {
        auto& Search = *static_cast<TSearch*>(Data);
        const ElfW(Phdr)* First = nullptr;
        bool Inside = false;
        for (const ElfW(Phdr)* Segment = Module->dlpi_phdr;
             Segment != Module->dlpi_phdr + Module->dlpi_phnum; ++Segment) {
          if (Segment->p_type != PT_LOAD) continue;
          if (First == nullptr) First = Segment;
          Inside |= Search.Address - (Module->dlpi_addr + Segment->p_vaddr) < Segment->p_memsz;
        }
        if (!Inside) return 0;
        Search.Found.Base = Module->dlpi_addr + First->p_vaddr - First->p_offset;
        // The program itself comes without a name.
        if (Module->dlpi_name != nullptr && Module->dlpi_name[0] != 0)
          Search.Found.Name = FileNameOf(Module->dlpi_name, "/");
        return 1;
      },
      &Search);
  return Search.Found;
}

void THostPlatform::PrepareProcess(TFaultHandler OnFault) {
  // A closed pipe or a file-size limit must fail the write with a code, not kill the process.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);

  FaultHandler = OnFault;
  // Its own stack, so that a stack overflow can still be reported.
  static char AltStack[64 * 1024];
  stack_t Stack{};
  Stack.ss_sp = AltStack;
  Stack.ss_size = sizeof AltStack;
  sigaltstack(&Stack, nullptr);
  struct sigaction Action {};
  Action.sa_sigaction = OnFaultSignal;
  Action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&Action.sa_mask);
  // SIGTRAP: a trap instruction such as aarch64's brk, POWER's trap or RISC-V's ebreak, which
  // __builtin_trap gives there.
  for (int Signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP}) sigaction(Signal, &Action, nullptr);
}

void THostPlatform::ExitProcess(std::uint32_t Code) {
  _exit(static_cast<int>(Code));
}
