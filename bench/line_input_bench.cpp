// Line input against its floor: ReadLineText, FinishInputLine and CheckIo over a 64 MiB file
// of short lines and one of 10 KiB lines, against a loop that makes the same 128-byte reads
// and finds the line ends with memchr.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "bench_support.h"
#include "console/process.h"

namespace {

constexpr std::size_t FileSize = 64u << 20;

struct TInputFile {
  std::string Path;
  std::uint64_t Lines;
};

// Whole lines of the pattern's shapes, repeated until the file holds FileSize bytes.
TInputFile MakeInputFile(const std::string& Name, const std::vector<std::string>& Pattern) {
  std::string Bytes;
  Bytes.reserve(FileSize + 16 * 1024);
  std::uint64_t Lines = 0;
  for (std::size_t I = 0; Bytes.size() < FileSize; I = (I + 1) % Pattern.size()) {
    Bytes += Pattern[I];
    Bytes += '\n';
    ++Lines;
  }
  TInputFile File{ScratchDirectory() + "/" + Name, Lines};
  WriteFileOrDie(File.Path, Bytes);
  return File;
}

// The game's own input: each answer, then the Enter that continues the game.
std::vector<std::string> AnswerLines() {
  std::vector<std::string> Lines;
  for (const char* Answer :
       {"paskal", "integer", "1", "real", "sqrt", "boolean", "1", "2", "1", "2", "1", "2"}) {
    Lines.emplace_back(Answer);
    Lines.emplace_back();
  }
  return Lines;
}

// Printable lines of 1 to 32 bytes (16.5 on average).
std::vector<std::string> ShortLines() {
  std::vector<std::string> Lines;
  for (int Length = 1; Length <= 32; ++Length) {
    std::string Line;
    for (int I = 0; I < Length; ++I) Line += static_cast<char>('a' + (Length * 7 + I) % 26);
    Lines.push_back(Line);
  }
  return Lines;
}

std::vector<std::string> LongLines() {
  std::string Line;
  for (int I = 0; I < 10 * 1024 - 1; ++I) Line += static_cast<char>(' ' + (I * 31) % 95);
  return {Line};
}

bool AtEndMarker(const TConsoleText& Stream) {
  return Stream.BufferPos < Stream.BufferEnd && Stream.BufferData[Stream.BufferPos] == 26;
}

void KvizLines(benchmark::State& State, const TInputFile& File) {
  int Fd = OpenOrDie(File.Path, O_RDONLY);
  TRedirect Input(0, Fd);
  std::string Line;
  std::uint64_t Lines = 0;
  for (auto _ : State) {
    lseek(0, 0, SEEK_SET);
    ResetStandardStreams();
    Lines = 0;
    // The last round meets the end of input and reads an empty line.
    do {
      ReadLineText(StdInText, Line);
      FinishInputLine(StdInText);
      CheckIo();
      ++Lines;
    } while (!AtEndMarker(StdInText));
    benchmark::DoNotOptimize(Line.data());
  }
  close(Fd);
  if (Lines != File.Lines + 1) State.SkipWithError("wrong line count");
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * FileSize));
  State.counters["lines"] = static_cast<double>(Lines);
}

void FloorLines(benchmark::State& State, const TInputFile& File) {
  int Fd = OpenOrDie(File.Path, O_RDONLY);
  TRedirect Input(0, Fd);
  std::uint64_t Lines = 0;
  char Buffer[StdBufferSize];
  for (auto _ : State) {
    lseek(0, 0, SEEK_SET);
    Lines = 0;
    for (;;) {
      ssize_t N = read(0, Buffer, sizeof Buffer);
      if (N <= 0) break;
      const char* End = Buffer + N;
      for (const char* P = Buffer; (P = static_cast<const char*>(std::memchr(P, '\n', End - P)));
           ++P)
        ++Lines;
    }
    benchmark::DoNotOptimize(Lines);
  }
  close(Fd);
  if (Lines != File.Lines) State.SkipWithError("wrong line count");
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * FileSize));
  State.counters["lines"] = static_cast<double>(Lines);
}

} // namespace

int main(int Argc, char** Argv) {
  Platform->PrepareProcess([](std::uint32_t, const void*) { std::abort(); });
  static const TInputFile Files[] = {
      MakeInputFile("kviz-bench-answers.txt", AnswerLines()),
      MakeInputFile("kviz-bench-short.txt", ShortLines()),
      MakeInputFile("kviz-bench-long.txt", LongLines()),
  };
  const char* Names[] = {"LineInput/Answers", "LineInput/Short", "LineInput/Long10K"};
  for (int I = 0; I < 3; ++I) {
    const TInputFile& File = Files[I];
    benchmark::RegisterBenchmark((std::string(Names[I]) + "/kviz").c_str(),
                                 [&File](benchmark::State& S) { KvizLines(S, File); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string(Names[I]) + "/floor").c_str(),
                                 [&File](benchmark::State& S) { FloorLines(S, File); })
        ->Unit(benchmark::kMillisecond);
  }
  int Result = RunComparedBenchmarks(Argc, Argv, {{"LineInput", 1.10}});
  for (const TInputFile& File : Files) unlink(File.Path.c_str());
  return Result;
}
