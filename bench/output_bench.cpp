// Output against its floor: a game's write statements (questions, verdicts, counts) into a
// file and into /dev/null, against a loop that makes the same writes of the same bytes: the
// 128-byte pieces of a file, and on a character device the pieces each statement ends with.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "bench_support.h"
#include "game_statements.h"

namespace {

constexpr int GameQuestions = 10000;

struct TTarget {
  std::string Path;
  bool Truncate;
  // What kviz hands the device, recorded once: the bytes and the size of each write.
  std::string Bytes;
  std::vector<std::uint32_t> Pieces;
};

void Record(TTarget& Target, std::uint32_t FileType) {
  TMemoryPlatform Memory("", FileType, true);
  TPlatform* Host = Platform;
  Platform = &Memory;
  ResetStandardStreams();
  EmitGame(GameQuestions);
  Platform = Host;
  Target.Bytes = std::move(Memory.Output);
  Target.Pieces = std::move(Memory.WriteSizes);
}

void Restart(benchmark::State& State, const TTarget& Target) {
  if (!Target.Truncate) return;
  State.PauseTiming();
  if (ftruncate(1, 0) != 0) std::abort();
  lseek(1, 0, SEEK_SET);
  State.ResumeTiming();
}

void Finish(benchmark::State& State, const TTarget& Target) {
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * Target.Bytes.size()));
  State.counters["writes"] = static_cast<double>(Target.Pieces.size());
}

void KvizOutput(benchmark::State& State, const TTarget& Target) {
  int Fd = OpenOrDie(Target.Path, O_WRONLY | O_CREAT);
  {
    TRedirect Output(1, Fd);
    for (auto _ : State) {
      Restart(State, Target);
      ResetStandardStreams();
      EmitGame(GameQuestions);
    }
  }
  close(Fd);
  Finish(State, Target);
}

void FloorOutput(benchmark::State& State, const TTarget& Target) {
  int Fd = OpenOrDie(Target.Path, O_WRONLY | O_CREAT);
  {
    TRedirect Output(1, Fd);
    for (auto _ : State) {
      Restart(State, Target);
      const char* Next = Target.Bytes.data();
      for (std::uint32_t Size : Target.Pieces) {
        if (write(1, Next, Size) != static_cast<ssize_t>(Size)) std::abort();
        Next += Size;
      }
    }
  }
  close(Fd);
  Finish(State, Target);
}

std::string Contents(const std::string& Path) {
  std::string Bytes;
  if (std::FILE* File = std::fopen(Path.c_str(), "rb")) {
    char Block[65536];
    for (std::size_t N; (N = std::fread(Block, 1, sizeof Block, File)) > 0;) Bytes.append(Block, N);
    std::fclose(File);
  }
  return Bytes;
}

// kviz through the real platform must give the file exactly the bytes the floor replays.
void CheckFileOutput(const TTarget& Target) {
  int Fd = OpenOrDie(Target.Path, O_WRONLY | O_CREAT | O_TRUNC);
  {
    TRedirect Output(1, Fd);
    ResetStandardStreams();
    EmitGame(GameQuestions);
  }
  close(Fd);
  if (Contents(Target.Path) != Target.Bytes) {
    std::fprintf(stderr, "output_bench: kviz wrote other bytes than the recording\n");
    std::exit(1);
  }
}

} // namespace

int main(int Argc, char** Argv) {
  Platform->PrepareProcess([](std::uint32_t, const void*) { std::abort(); });
  static TTarget File{ScratchDirectory() + "/kviz-bench-output.txt", true, {}, {}};
  static TTarget Null{"/dev/null", false, {}, {}};
  Record(File, FileTypeDisk);
  Record(Null, FileTypeChar);
  CheckFileOutput(File);
  for (TTarget* Target : {&File, &Null}) {
    std::string Name = Target == &File ? "Output/File" : "Output/DevNull";
    benchmark::RegisterBenchmark((Name + "/kviz").c_str(), [Target](benchmark::State& S) {
      KvizOutput(S, *Target);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((Name + "/floor").c_str(), [Target](benchmark::State& S) {
      FloorOutput(S, *Target);
    })->Unit(benchmark::kMillisecond);
  }
  int Result = RunComparedBenchmarks(Argc, Argv, {{"Output", 1.15}});
  unlink(File.Path.c_str());
  return Result;
}
