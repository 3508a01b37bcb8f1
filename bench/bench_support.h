// Shared pieces of the in-process benchmarks: a main that sets kviz's figures beside its
// floor's and prints the ratios, descriptor redirection, the reset of the standard streams,
// and a platform that keeps console traffic in memory.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_text.h"

// Runs the registered benchmarks, then prints, for every pair named "<Case>/kviz" and
// "<Case>/floor", the median CPU times and their ratio against the target of the longest
// prefix of <Case> found in Targets. Unless the command line says otherwise, each benchmark
// runs in several repetitions, interleaved at random with the others, so that a noisy
// neighbour hurts kviz and floor alike. Returns the process exit code.
int RunComparedBenchmarks(int Argc, char** Argv, const std::map<std::string, double>& Targets);

// Puts every standard stream back in the state the run-time start-up leaves: closed, to be
// opened on first use against whatever descriptors 0, 1 and 2 are then.
void ResetStandardStreams();

// Points descriptor Fd at the open file File while the object lives, then restores it.
class TRedirect {
public:
  TRedirect(int Fd, int File);
  ~TRedirect();
  TRedirect(const TRedirect&) = delete;
  TRedirect& operator=(const TRedirect&) = delete;

private:
  int Fd;
  int Saved;
};

// A directory for the benchmarks' scratch files: $KVIZ_BENCH_DIR, else $TMPDIR, else /tmp.
std::string ScratchDirectory();

// Writes Bytes to the file at Path, replacing it; aborts on failure.
void WriteFileOrDie(const std::string& Path, std::string_view Bytes);

// Opens Path for the given flags; aborts on failure.
int OpenOrDie(const std::string& Path, int Flags);

// A platform whose standard input is a byte string, served in full and then cycled from the
// start, and whose standard output only counts, or records, what it is given.
class TMemoryPlatform final : public TPlatform {
public:
  TMemoryPlatform(std::string Input, std::uint32_t OutputType, bool Record);

  THandle GetStdHandle(std::int32_t Which) override;
  std::uint32_t GetFileType(THandle Handle) override;
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override;
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override;
  bool CloseHandle(THandle Handle) override;
  std::uint32_t GetLastError() override;
  bool QueryPerformanceCounter(std::int64_t& Count) override;
  std::uint32_t GetTickCount() override;
  TModuleInfo FindModule(const void* Address) override;
  void AnsiToOem(char* Text, std::uint32_t Length) override;
  void ShowMessage(const char* Caption, const char* Text) override;
  void PrepareProcess(TFaultHandler OnFault) override;
  [[noreturn]] void ExitProcess(std::uint32_t Code) override;

  std::uint64_t ReadCalls = 0;
  std::uint64_t WriteCalls = 0;
  std::uint64_t WrittenBytes = 0;
  // With recording on: every byte written, and the size of each write in turn.
  std::string Output;
  std::vector<std::uint32_t> WriteSizes;

private:
  std::string Input;
  std::size_t InputPos = 0;
  std::uint32_t OutputType;
  bool Record;
};
