// Starts the runtime as the game does, leaves a line held for standard output that names the
// address of the routine about to run, then commits in that routine the processor fault its
// argument names (access, divide, trap, illegal; none to end normally). The report must name
// the faulting instruction, inside the routine.
#include <cstdint>
#include <cstring>

#include "console/report.h"
#include "console/top_level.h"
#include "quiz/quiz.h"

static volatile int Zero = 0;
static volatile int* volatile Nowhere = nullptr;

// Left uninstrumented: the fault itself must reach the processor.
#define KVIZ_FAULT [[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) static
KVIZ_FAULT void Access() {
  *Nowhere = 1;
}
KVIZ_FAULT void Divide() {
  Zero = 100 / Zero;
}
KVIZ_FAULT void Trap() {
  __builtin_trap();
}
KVIZ_FAULT void Illegal() { // an instruction that is undefined, not a trap
#if defined(__i386__) || defined(__x86_64__)
  asm volatile("ud2");
#elif defined(__aarch64__)
  asm volatile("udf #0");
#elif defined(__s390x__)
  asm volatile(".short 0"); // opcode 0 (0x0001 is the debuggers' breakpoint)
#else
  __builtin_trap();
#endif
}
KVIZ_FAULT void None() {}

int main(int Count, char** Arguments) {
  static void (*Commit)() = None;
  const char* Fault = Count > 1 ? Arguments[1] : "";
  if (std::strcmp(Fault, "access") == 0) Commit = Access;
  if (std::strcmp(Fault, "divide") == 0) Commit = Divide;
  if (std::strcmp(Fault, "trap") == 0) Commit = Trap;
  if (std::strcmp(Fault, "illegal") == 0) Commit = Illegal;
  ConsoleApp = 1;
  RunUnderTopLevelHandler([] {
    StartProgram(ModuleSteps);
    char Held[32]; // the address as the report writes one
    auto Address = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(Commit));
    EmitString(StdOutText, {Held, FormatTo(Held, sizeof Held, "held at %p", {Address})}, 0);
    EmitLineBreak(StdOutText);
    CheckIo();
    Commit();
    FinishProcess();
  });
}
