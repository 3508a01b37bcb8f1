// Starts the runtime as the game does, then commits the processor fault that its argument names
// (access, divide, trap, illegal, stack) in a routine of its own, after a held line that names
// an address inside that routine.
#include <cstdint>
#include <cstring>
#include <utility>

#include "console/report.h"
#include "console/top_level.h"
#include "quiz/quiz.h"

static volatile int Zero = 0;
// Where no memory is. WebAssembly's memory starts at 0 and never reaches the top of the 32-bit
// space.
#if defined(__EMSCRIPTEN__)
static volatile int* volatile Nowhere = reinterpret_cast<int*>(0xFFFFFFF0u);
#else
static volatile int* volatile Nowhere = nullptr;
#endif

// Leaves a line held for standard output that names the return point in the faulting routine, as
// the report writes an address: its low 32 bits in 8 hexadecimal digits. The report must name
// the faulting instruction, a few bytes further on (the stack's fault is wherever the stack runs
// out). A return point is a code address on every target; on WebAssembly a function pointer is
// an index in the module's table instead.
[[gnu::noinline]] static void HoldAddress() {
  char Held[32];
  auto Address =
      static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  EmitString(StdOutText, {Held, FormatTo(Held, sizeof Held, "held at %p", {Address})}, 0);
  EmitLineBreak(StdOutText);
  CheckIo();
}

// Left uninstrumented: the fault itself must reach the processor.
#define KVIZ_FAULT [[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) static
KVIZ_FAULT void Access() {
  HoldAddress();
  *Nowhere = 1;
}
KVIZ_FAULT void Divide() {
  HoldAddress();
  Zero = 100 / Zero;
}
KVIZ_FAULT void Trap() {
  HoldAddress();
  __builtin_trap();
}
KVIZ_FAULT void Illegal() { // an instruction that is undefined, not a trap
  HoldAddress();
#if defined(__i386__) || defined(__x86_64__)
  asm volatile("ud2");
#elif defined(__aarch64__) || defined(__arm__)
  asm volatile("udf #0");
#elif defined(__s390x__)
  asm volatile(".short 0"); // opcode 0 (0x0001 is the debuggers' breakpoint)
#elif defined(__powerpc64__)
  asm volatile(".long 0");
#elif defined(__riscv)
  asm volatile("unimp");
#elif defined(__EMSCRIPTEN__)
  __builtin_trap(); // WebAssembly's one trap that no operand causes, unreachable
#else
#error "no undefined instruction named for this processor"
#endif
}
// Recursion without end, which the compilers would warn about if it were plain.
KVIZ_FAULT void Stack() {
  static bool Held = false;
  if (!Held) {
    Held = true;
    HoldAddress();
  }
  if (Zero == 0) Stack();
  Zero = 0;
}

int main(int Count, char** Arguments) {
  static constexpr std::pair<const char*, void (*)()> Faults[] = {{"access", Access},
                                                                  {"divide", Divide},
                                                                  {"trap", Trap},
                                                                  {"illegal", Illegal},
                                                                  {"stack", Stack}};
  static void (*Commit)() = [] {};
  for (auto [Name, Routine] : Faults)
    if (Count > 1 && std::strcmp(Arguments[1], Name) == 0) Commit = Routine;
  ConsoleApp = 1;
  RunUnderTopLevelHandler([] {
    StartProgram(ModuleSteps);
    Commit();
    FinishProcess();
  });
}
