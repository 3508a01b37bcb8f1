// kviz with a scripted clock, for tests and benchmarks that need to know the questions in
// advance: the host platform serves everything except the counter, which yields, draw by
// draw, the question numbers listed in KVIZ_DRAWS (for example "4,2,0,12"), cycling through
// the list. Without the variable it behaves as kviz does.
#include <cstdlib>
#include <string>
#include <vector>

#include "quiz/quiz.h"

namespace {

// The counter value whose draw below 13 gives Draw: the generator's step inverted.
std::int64_t CounterForDraw(std::uint32_t Draw) {
  // The smallest state whose draw is Draw, then the seed that steps to it.
  std::uint32_t State = static_cast<std::uint32_t>(((std::uint64_t{Draw} << 32) + 12) / 13);
  std::uint32_t Inverse = 1;
  for (int I = 0; I < 5; ++I) Inverse *= 2 - 0x08088405u * Inverse; // Newton: exact mod 2^32
  return static_cast<std::int64_t>((State - 1u) * Inverse);
}

class TScriptedClock final : public TPlatform {
public:
  TScriptedClock(TPlatform& Host, std::vector<std::int64_t> Counts)
      : Host(Host), Counts(std::move(Counts)) {}
  THandle GetStdHandle(std::int32_t Which) override { return Host.GetStdHandle(Which); }
  std::uint32_t GetFileType(THandle H) override { return Host.GetFileType(H); }
  bool ReadFile(THandle H, void* B, std::uint32_t C, std::uint32_t& R) override {
    return Host.ReadFile(H, B, C, R);
  }
  bool WriteFile(THandle H, const void* B, std::uint32_t C, std::uint32_t& W) override {
    return Host.WriteFile(H, B, C, W);
  }
  bool CloseHandle(THandle H) override { return Host.CloseHandle(H); }
  std::uint32_t GetLastError() override { return Host.GetLastError(); }
  bool QueryPerformanceCounter(std::int64_t& Count) override {
    Count = Counts[Next];
    Next = (Next + 1) % Counts.size();
    return true;
  }
  std::uint32_t GetTickCount() override { return Host.GetTickCount(); }
  TModuleInfo FindModule(const void* A) override { return Host.FindModule(A); }
  void AnsiToOem(char* T, std::uint32_t L) override { Host.AnsiToOem(T, L); }
  void ShowMessage(const char* C, const char* T) override { Host.ShowMessage(C, T); }
  void PrepareProcess(TFaultHandler F) override { Host.PrepareProcess(F); }
  void ExitProcess(std::uint32_t Code) override { Host.ExitProcess(Code); }

private:
  TPlatform& Host;
  std::vector<std::int64_t> Counts;
  std::size_t Next = 0;
};

} // namespace

int main() {
  const char* Draws = std::getenv("KVIZ_DRAWS");
  if (Draws != nullptr && *Draws != 0) {
    std::vector<std::int64_t> Counts;
    for (const char* P = Draws; *P != 0;) {
      char* End;
      unsigned long Draw = std::strtoul(P, &End, 10);
      if (End == P || Draw > 12) return 2;
      Counts.push_back(CounterForDraw(static_cast<std::uint32_t>(Draw)));
      P = *End == ',' ? End + 1 : End;
    }
    static TScriptedClock Clock(*Platform, std::move(Counts));
    Platform = &Clock;
  }
  QuizMain();
}
