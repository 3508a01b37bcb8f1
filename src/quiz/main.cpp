// The process entry: arguments and environment have no effect on the game.
#include "quiz.h"

int main() {
  QuizMain();
}
