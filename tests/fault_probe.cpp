// Starts the runtime as the game does, leaves a line held for standard output, then commits the
// processor fault named by its argument, so that the fault path can be watched end to end.
#include <cstring>

#include "quiz/quiz.h"

static const char* Fault = "";

// Left uninstrumented: the fault itself must reach the processor.
[[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) static void Commit() {
  volatile int Zero = 0, Hundred = 100;
  volatile int* Nowhere = nullptr;
  if (std::strcmp(Fault, "access") == 0) *Nowhere = 1;
  if (std::strcmp(Fault, "divide") == 0) Zero = Hundred / Zero;
  if (std::strcmp(Fault, "trap") == 0) __builtin_trap();
}

static void Body() {
  StartProgram(ModuleSteps);
  EmitString(StdOutText, "held", 0);
  EmitLineBreak(StdOutText);
  CheckIo();
  Commit();
  FinishProcess();
}

int main(int Argc, char** Argv) {
  if (Argc > 1) Fault = Argv[1];
  ConsoleApp = 1;
  RunUnderTopLevelHandler(Body);
}
