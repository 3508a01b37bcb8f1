// Starts the runtime as the game does, leaves a line held for standard output, then commits the
// processor fault its argument names (access, divide, trap; none to end normally).
#include <cstring>

#include "quiz/quiz.h"

static const char* Fault = "";

// Left uninstrumented: the fault itself must reach the processor.
[[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) static void Commit() {
  volatile int Zero = 0;
  volatile int* volatile Nowhere = nullptr;
  if (std::strcmp(Fault, "access") == 0) *Nowhere = 1;
  if (std::strcmp(Fault, "divide") == 0) Zero = 100 / Zero;
  if (std::strcmp(Fault, "trap") == 0) __builtin_trap();
}

int main(int Count, char** Arguments) {
  Fault = Count > 1 ? Arguments[1] : "";
  ConsoleApp = 1;
  RunUnderTopLevelHandler([] {
    StartProgram(ModuleSteps);
    EmitString(StdOutText, "held", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
    Commit();
    FinishProcess();
  });
}
