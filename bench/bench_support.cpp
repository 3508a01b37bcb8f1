// The shared benchmark pieces declared in bench_support.h.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct TMedians {
  double Cpu = 0;
  double Real = 0;
  benchmark::TimeUnit Unit = benchmark::kNanosecond;
};

// Passes everything to the console and keeps the medians (or the single figure of a run
// without repetitions) for the comparison at the end.
class TComparingReporter final : public benchmark::ConsoleReporter {
public:
  std::map<std::string, TMedians> Figures;

  void ReportRuns(const std::vector<Run>& Reports) override {
    ConsoleReporter::ReportRuns(Reports);
    for (const Run& R : Reports) {
      if (R.error_occurred) continue;
      bool Single = R.run_type == Run::RT_Iteration && R.repetitions <= 1;
      bool Median = R.run_type == Run::RT_Aggregate && R.aggregate_name == "median";
      if (Single || Median)
        Figures[R.run_name.function_name] = {R.GetAdjustedCPUTime(), R.GetAdjustedRealTime(),
                                             R.time_unit};
    }
  }
};

bool HasOption(int Argc, char** Argv, std::string_view Name) {
  for (int I = 1; I < Argc; ++I)
    if (std::string_view(Argv[I]).starts_with(Name)) return true;
  return false;
}

double TargetFor(const std::string& Case, const std::map<std::string, double>& Targets) {
  double Target = 0;
  std::size_t Longest = 0;
  for (const auto& [Prefix, Value] : Targets)
    if (Case.starts_with(Prefix) && Prefix.size() >= Longest) {
      Longest = Prefix.size();
      Target = Value;
    }
  return Target;
}

} // namespace

int RunComparedBenchmarks(int Argc, char** Argv, const std::map<std::string, double>& Targets) {
  std::vector<char*> Args(Argv, Argv + Argc);
  std::string Repetitions = "--benchmark_repetitions=9";
  std::string Interleave = "--benchmark_enable_random_interleaving=true";
  std::string AggregatesOnly = "--benchmark_report_aggregates_only=true";
  if (!HasOption(Argc, Argv, "--benchmark_repetitions")) Args.push_back(Repetitions.data());
  if (!HasOption(Argc, Argv, "--benchmark_enable_random_interleaving"))
    Args.push_back(Interleave.data());
  if (!HasOption(Argc, Argv, "--benchmark_report_aggregates_only"))
    Args.push_back(AggregatesOnly.data());
  int Count = static_cast<int>(Args.size());
  Args.push_back(nullptr);
  benchmark::Initialize(&Count, Args.data());
  if (benchmark::ReportUnrecognizedArguments(Count, Args.data())) return 1;

  TComparingReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();

  std::printf("\n%-28s %14s %14s %8s %8s %s\n", "case (median CPU time)", "kviz", "floor", "ratio",
              "target", "verdict");
  for (const auto& [Name, Kviz] : Reporter.Figures) {
    if (!Name.ends_with("/kviz")) continue;
    std::string Case = Name.substr(0, Name.size() - 5);
    auto Floor = Reporter.Figures.find(Case + "/floor");
    if (Floor == Reporter.Figures.end()) continue;
    const char* Unit = benchmark::GetTimeUnitString(Kviz.Unit);
    double Ratio = Kviz.Cpu / Floor->second.Cpu;
    double Target = TargetFor(Case, Targets);
    const char* Verdict = Target == 0 ? "-" : Ratio <= Target ? "met" : "MISSED";
    std::string TargetText = Target == 0 ? "-" : std::to_string(Target).substr(0, 4);
    std::printf("%-28s %11.3f %-2s %11.3f %-2s %8.3f %8s %s\n", Case.c_str(), Kviz.Cpu, Unit,
                Floor->second.Cpu, benchmark::GetTimeUnitString(Floor->second.Unit), Ratio,
                TargetText.c_str(), Verdict);
  }
  std::fflush(stdout);
  // A missed target is a finding to record, not a failure of the program.
  return 0;
}

void ResetStandardStreams() {
  // As at process start: every field zero, then closed.
  for (TConsoleText* Stream : {&StdInText, &StdOutText, &StdErrText}) {
    *Stream = TConsoleText{};
    Stream->OpenMode = ModeClosed;
  }
  PendingIoError = 0;
}

TRedirect::TRedirect(int Fd, int File) : Fd(Fd), Saved(dup(Fd)) {
  // The benchmark library's own output must not land in the file.
  std::cout.flush();
  std::fflush(stdout);
  if (Saved < 0 || dup2(File, Fd) < 0) {
    std::perror("redirect");
    std::abort();
  }
}

TRedirect::~TRedirect() {
  dup2(Saved, Fd);
  close(Saved);
}

std::string ScratchDirectory() {
  for (const char* Name : {"KVIZ_BENCH_DIR", "TMPDIR"})
    if (const char* Value = std::getenv(Name); Value != nullptr && *Value != 0) return Value;
  return "/tmp";
}

void WriteFileOrDie(const std::string& Path, std::string_view Bytes) {
  std::FILE* File = std::fopen(Path.c_str(), "wb");
  if (File == nullptr || std::fwrite(Bytes.data(), 1, Bytes.size(), File) != Bytes.size() ||
      std::fclose(File) != 0) {
    std::perror(Path.c_str());
    std::abort();
  }
}

int OpenOrDie(const std::string& Path, int Flags) {
  int Fd = open(Path.c_str(), Flags, 0644);
  if (Fd < 0) {
    std::perror(Path.c_str());
    std::abort();
  }
  return Fd;
}

TMemoryPlatform::TMemoryPlatform(std::string Input, std::uint32_t OutputType, bool Record)
    : Input(std::move(Input)), OutputType(OutputType), Record(Record) {}

THandle TMemoryPlatform::GetStdHandle(std::int32_t Which) {
  return static_cast<THandle>(StdInputHandle - Which);
}

std::uint32_t TMemoryPlatform::GetFileType(THandle Handle) {
  return Handle == 0 ? FileTypePipe : OutputType;
}

bool TMemoryPlatform::ReadFile(THandle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) {
  ++ReadCalls;
  if (Input.empty()) {
    Read = 0;
    return true;
  }
  if (InputPos == Input.size()) InputPos = 0;
  std::size_t N = std::min<std::size_t>(Count, Input.size() - InputPos);
  std::memcpy(Buffer, Input.data() + InputPos, N);
  InputPos += N;
  Read = static_cast<std::uint32_t>(N);
  return true;
}

bool TMemoryPlatform::WriteFile(THandle, const void* Buffer, std::uint32_t Count,
                                std::uint32_t& Written) {
  ++WriteCalls;
  WrittenBytes += Count;
  if (Record) {
    Output.append(static_cast<const char*>(Buffer), Count);
    WriteSizes.push_back(Count);
  }
  Written = Count;
  return true;
}

bool TMemoryPlatform::CloseHandle(THandle) {
  return true;
}
std::uint32_t TMemoryPlatform::GetLastError() {
  return 0;
}

bool TMemoryPlatform::QueryPerformanceCounter(std::int64_t& Count) {
  Count = 0;
  return true;
}

std::uint32_t TMemoryPlatform::GetTickCount() {
  return 0;
}
TModuleInfo TMemoryPlatform::FindModule(const void*) {
  return {"kviz-bench", 0, false};
}
void TMemoryPlatform::AnsiToOem(char*, std::uint32_t) {}
void TMemoryPlatform::ShowMessage(const char*, const char*) {}
void TMemoryPlatform::PrepareProcess(TFaultHandler) {}
void TMemoryPlatform::ExitProcess(std::uint32_t) {
  std::abort();
}
