// Judging one answer: the verdict, the counts, the end of the game on the first wrong answer,
// and the waits for Enter. Each block below is one console statement, checked at once.
#include "quiz.h"

void CheckAnswer() {
  ReadLineText(StdInText, Answer);
  FinishInputLine(StdInText);
  CheckIo();

  if (Answer == ExpectedAnswer) {
    EmitString(StdOutText, "Tacan odgovor.", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
    ++CorrectCount;
  } else {
    EmitString(StdOutText, "Pogresan odgovor, tacan odgovor je ", 0);
    EmitString(StdOutText, ExpectedAnswer, 0);
    EmitChar(StdOutText, '.');
    EmitLineBreak(StdOutText);
    CheckIo();
    ++WrongCount;
    GameOver = 1;

    EmitString(StdOutText, "Broj netacnih odgovora: ", 0);
    EndWriteStatement(StdOutText);
    CheckIo();
    EmitInteger(StdOutText, WrongCount, 0);
    EndWriteStatement(StdOutText);
    CheckIo();

    FinishInputLine(StdInText);
    CheckIo();

    EmitString(StdOutText, "Broj tacnih odgovora: ", 0);
    EndWriteStatement(StdOutText);
    CheckIo();
    EmitInteger(StdOutText, CorrectCount, 0);
    EndWriteStatement(StdOutText);
    CheckIo();
    EmitLineBreak(StdOutText);
    CheckIo();
    EmitString(StdOutText, "Pritisni \"Enter\" za izlaz!", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  }

  FinishInputLine(StdInText);
  CheckIo();
}
