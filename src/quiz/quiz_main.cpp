// The program's entry routine, its module table and the draw loop: reseed from the clock
// before every draw, ask the drawn question, stop after the first wrong answer.
#include "quiz.h"

#include "console/random.h"
#include "console/report.h"
#include "console/runtime_core.h"
#include "console/top_level.h"

std::string Answer;
std::string ExpectedAnswer;
std::int32_t CorrectCount = 0;
std::int32_t WrongCount = 0;
std::uint8_t GameOver = 0;

void ReleaseAnswerStrings() {
  // Swapped with empty strings so that their storage is given back, not only emptied.
  std::string().swap(ExpectedAnswer);
  std::string().swap(Answer);
}

// The module table: for each module the program is built of, in the order they start, the step
// that starts it and the one that finishes it ({start, finish}; null where there is nothing to
// do). The modules of entries 0, 2, 3 and 4 have nothing to do at either end.
static constexpr TModuleStep Steps[] = {
    {nullptr, nullptr},
    {InitRuntimeCore, FinishRuntimeCore}, // the run-time core: the streams and the faults
    {nullptr, nullptr},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {InitExceptions, FinishExceptions}, // the exception machinery: its objects and hooks
    {nullptr, ReleaseAnswerStrings},    // the quiz
};
const std::span<const TModuleStep> ModuleSteps = Steps;

static void Play() {
  StartProgram(ModuleSteps);
  do {
    SeedFromClock();
    std::uint32_t K = DrawBelow(DrawRange);
    if (K != 0) AskQuestion(static_cast<int>(K));
  } while (GameOver != 1);
  FinishProcess();
}

void QuizMain() {
  ConsoleApp = 1;
  RunUnderTopLevelHandler(Play);
}
