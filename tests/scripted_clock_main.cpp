// kviz with a scripted clock, for tests and benchmarks that need to know the questions in
// advance: the host platform serves everything except the counter, which yields, draw by
// draw, the question numbers listed in KVIZ_DRAWS (for example "4,2,0,12"), cycling through
// the list. Without the variable it behaves as kviz does.
#include <cstdlib>
#include <string>
#include <vector>

#include "console/platform.h"
#include "draws.h"
#include "quiz/quiz.h"

namespace {

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
