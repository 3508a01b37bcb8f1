// The cost of single statements on a warm buffer, with console traffic kept in memory: the
// check after a statement with nothing pending, one write statement, one line read, and one
// whole question with its answer and verdict. Global operator new is replaced by a counting
// one (counting_allocator.cpp), so each figure comes with the heap allocations it made.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "counting_allocator.h"
#include "game_statements.h"

namespace {

// The game's input for questions 1 to 12 in turn: each answer and the Enter after it.
std::string AnswerCycle() {
  std::string Input;
  for (const TQuestion& Question : QuestionBank) {
    Input += Question.Answer;
    Input += "\n\n";
  }
  return Input;
}

// Runs the benchmark over a memory platform, reporting allocations per iteration and per
// console statement.
template <class TBody>
void OverMemory(benchmark::State& State, std::uint32_t OutputType, double Statements, TBody Body) {
  TMemoryPlatform Memory(AnswerCycle(), OutputType, false);
  TPlatform* Host = Platform;
  Platform = &Memory;
  ResetStandardStreams();
  int K = 0;
  // Warm-up: the streams open and the answer string reaches its capacity.
  for (int I = 0; I < 2 * QuestionCount; ++I) Body(K);
  std::uint64_t Before = AllocationCount;
  for (auto _ : State) Body(K);
  std::uint64_t Allocations = AllocationCount - Before;
  Platform = Host;
  auto Iterations = static_cast<double>(State.iterations());
  State.counters["allocs/iter"] = static_cast<double>(Allocations) / Iterations;
  State.counters["allocs/stmt"] = static_cast<double>(Allocations) / Iterations / Statements;
  State.counters["ns/stmt"] = benchmark::Counter(
      Statements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void CheckIoNothingPending(benchmark::State& State) {
  PendingIoError = 0;
  std::uint64_t Before = AllocationCount;
  for (auto _ : State) {
    CheckIo();
    benchmark::ClobberMemory(); // the next check loads the code again
  }
  State.counters["allocs/iter"] =
      static_cast<double>(AllocationCount - Before) / static_cast<double>(State.iterations());
}

void EmptyLoop(benchmark::State& State) {
  for (auto _ : State) benchmark::ClobberMemory();
}

// Statements per question 1..12 in turn, with its verdict, its answer and its Enter: the
// lines written, one for the verdict, one line read and one wait for Enter.
double StatementsPerQuestion() {
  double Total = 0;
  for (const TQuestion& Question : QuestionBank)
    Total += static_cast<double>(Question.Lines.size()) + 3;
  return Total / QuestionCount;
}

void WholeQuestion(benchmark::State& State, std::uint32_t OutputType) {
  OverMemory(State, OutputType, StatementsPerQuestion(), [](int& K) {
    K = K % QuestionCount + 1;
    AskQuestion(K);
  });
}

void WriteStatement(benchmark::State& State) {
  OverMemory(State, FileTypeDisk, 1, [](int&) {
    EmitString(StdOutText, "Tacan odgovor.", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  });
}

void ReadStatement(benchmark::State& State) {
  OverMemory(State, FileTypeDisk, 1, [](int&) {
    ReadLineText(StdInText, Answer);
    FinishInputLine(StdInText);
    CheckIo();
  });
}

} // namespace

int main(int Argc, char** Argv) {
  benchmark::RegisterBenchmark("CheckIo/kviz", CheckIoNothingPending);
  benchmark::RegisterBenchmark("CheckIo/floor", EmptyLoop);
  benchmark::RegisterBenchmark("Statement/Write", WriteStatement);
  benchmark::RegisterBenchmark("Statement/ReadLine", ReadStatement);
  benchmark::RegisterBenchmark("Question/File", WholeQuestion, FileTypeDisk);
  benchmark::RegisterBenchmark("Question/Console", WholeQuestion, FileTypeChar);
  return RunComparedBenchmarks(Argc, Argv, {});
}
