// The quiz: its globals, the question bank, the answer check and the draw loop.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/process.h"
#include "console/run_error.h"

extern std::string Answer;
extern std::string ExpectedAnswer;
extern std::int32_t CorrectCount;
extern std::int32_t WrongCount;
extern std::uint8_t GameOver;

struct TQuestion {
  std::span<const std::string_view> Lines;
  // The last line is a prompt: it ends its statement without a line break, so the answer is
  // typed right after it.
  bool EndsInPrompt;
  std::string_view Answer;
};

inline constexpr int QuestionCount = 12;
// A draw gives 0 to QuestionCount: 0 asks nothing, K asks question K.
inline constexpr std::uint32_t DrawRange = QuestionCount + 1;
extern const TQuestion QuestionBank[QuestionCount];

// The question's statements alone; AskQuestion then has the answer read and judged.
void PrintQuestion(int K);
void AskQuestion(int K);
void CheckAnswer();
void ReleaseAnswerStrings();

// The program's module table, in the order of its entries' start.
extern const std::span<const TModuleStep> ModuleSteps;

[[noreturn]] void QuizMain();
