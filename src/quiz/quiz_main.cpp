// The program's entry routine, its module table and the draw loop: reseed from the clock
// before every draw, ask the drawn question, stop after the first wrong answer.
#include "quiz.h"

#include "console/random.h"

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

const TModuleStep ModuleSteps[7] = {
    {nullptr, nullptr},
    {InitRuntimeCore, FinishRuntimeCore},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {InitExceptions, FinishExceptions},
    {nullptr, ReleaseAnswerStrings},
};

static void Play() {
  StartProgram(ModuleSteps);
  do {
    SeedFromClock();
    std::uint32_t K = DrawBelow(QuestionCount + 1);
    if (K != 0) AskQuestion(static_cast<int>(K));
  } while (GameOver != 1);
  FinishProcess();
}

void QuizMain() {
  ConsoleApp = 1;
  RunUnderTopLevelHandler(Play);
}
