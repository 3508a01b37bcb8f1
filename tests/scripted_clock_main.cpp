// The game with a scripted clock, for tests and benchmarks that must know the questions in
// advance: KVIZ_DRAWS (for example "4,2,0,12") lists what the draws give, in turn and over
// again. The host's platform serves everything else, on purpose; without the variable this is
// kviz.
#include <cstdlib>
#include <vector>

#include "console/platform.h"
#include "console/random.h"
#include "quiz/quiz.h"

namespace {

// The counter whose reseed makes the game's next draw give Draw: a state at an edge of the
// draw's share (the lowest for an even draw, the highest for an odd one, so that a step or a
// range off by one draws another question), stepped back through the generator with the
// multiplier's inverse (by Newton's iteration).
std::int64_t CounterForDraw(std::uint32_t Draw) {
  const std::uint64_t Odd = Draw % 2;
  auto State = static_cast<std::uint32_t>((((Draw + Odd) << 32) + DrawRange - 1) / DrawRange - Odd);
  std::uint32_t Inverse = 1;
  for (int I = 0; I < 5; ++I) Inverse *= 2 - RandomMultiplier * Inverse;
  return (State - 1u) * Inverse;
}

// The host's services, with a clock whose counts give the chosen draws.
struct TScriptedClock final : THostPlatform {
  std::vector<std::int64_t> Counts;
  std::size_t Next = 0;

  bool QueryPerformanceCounter(std::int64_t& Count) override {
    Count = Counts[Next++ % Counts.size()];
    return true;
  }
} Clock;

} // namespace

int main() {
  for (const char* P = std::getenv("KVIZ_DRAWS"); P != nullptr && *P != 0; P += *P == ',') {
    char* End;
    unsigned long Draw = std::strtoul(P, &End, 10);
    if (End == P || Draw >= DrawRange) return 2;
    Clock.Counts.push_back(CounterForDraw(static_cast<std::uint32_t>(Draw)));
    P = End;
  }
  if (!Clock.Counts.empty()) Platform = &Clock;
  QuizMain();
}
