// The game's write statements, issued as the game issues them: each question's lines, its
// verdict, and the closing verdict and counts of the first wrong answer. Shared by the
// output and statement benchmarks.
#pragma once

#include "quiz/quiz.h"

// One question (1 to 12) as AskQuestion writes it, then the verdict of a correct answer.
inline void EmitQuestionAndVerdict(int K) {
  PrintQuestion(K);
  EmitString(StdOutText, "Tacan odgovor.", 0);
  EmitLineBreak(StdOutText);
  CheckIo();
}

// The statements that end a game after Correct right answers.
inline void EmitGameEnd(std::string_view Expected, std::int32_t Correct) {
  EmitString(StdOutText, "Pogresan odgovor, tacan odgovor je ", 0);
  EmitString(StdOutText, Expected, 0);
  EmitChar(StdOutText, '.');
  EmitLineBreak(StdOutText);
  CheckIo();
  EmitString(StdOutText, "Broj netacnih odgovora: ", 0);
  EndWriteStatement(StdOutText);
  CheckIo();
  EmitInteger(StdOutText, 1, 0);
  EndWriteStatement(StdOutText);
  CheckIo();
  EmitString(StdOutText, "Broj tacnih odgovora: ", 0);
  EndWriteStatement(StdOutText);
  CheckIo();
  EmitInteger(StdOutText, Correct, 0);
  EndWriteStatement(StdOutText);
  CheckIo();
  EmitLineBreak(StdOutText);
  CheckIo();
  EmitString(StdOutText, "Pritisni \"Enter\" za izlaz!", 0);
  EmitLineBreak(StdOutText);
  CheckIo();
}

// A whole game's output: Questions questions drawn 1, 2, ..., 12, 1, ... and answered right,
// then a wrong answer; the stream is closed as at the end of the process.
inline void EmitGame(int Questions) {
  for (int I = 0; I < Questions; ++I) EmitQuestionAndVerdict(I % QuestionCount + 1);
  EmitGameEnd(QuestionBank[Questions % QuestionCount].Answer, Questions);
  CloseStream(StdOutText);
  CheckIo();
}
