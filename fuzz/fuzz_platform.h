// A small scripted platform for the fuzz targets: reads hand out the loads a target queues,
// writes take what a target allows, and a few counters let the targets check the runtime.
// It stands alone (no test framework), since the fuzz build links nothing else.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "console/console_text.h"
#include "console/platform.h"

// A difference from the reference is a crash, which is how libFuzzer learns of it.
#define FUZZ_CHECK(Condition)                                                                      \
  do {                                                                                             \
    if (!(Condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Condition);           \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// What one ReadFile call gives.
struct TLoad {
  enum TKind { Data, End, Error } Kind = End;
  std::string Bytes;      // Data: 1 to 128 bytes
  std::uint32_t Code = 0; // Error: the code the call fails with
};

// What one WriteFile call does.
struct TWriteStep {
  std::uint32_t Accept = 0xFFFFFFFFu; // takes at most this many bytes
  std::uint32_t Error = 0;            // non-zero: fails with this code, taking nothing
};

class TFuzzPlatform final : public TPlatform {
public:
  // Standard handles are 0, 1 and 2.
  bool HandleMissing[3] = {};
  std::uint32_t FileType[3] = {FileTypePipe, FileTypeDisk, FileTypeDisk};

  std::deque<TLoad> Loads; // none left: end of input
  std::size_t ReadCalls = 0;

  std::deque<TWriteStep> WriteSteps; // none left: every byte taken
  std::string Written[3];
  std::size_t WriteCalls = 0;
  std::uint32_t LargestWrite = 0;
  std::size_t EmptyWrites = 0;
  // How much the handle had taken when a call first failed or took nothing; a target resets it.
  std::size_t TakenBeforeFailure = NoFailure;
  static constexpr std::size_t NoFailure = ~std::size_t{0};

  // Back to a fresh process: scripts, records and the three standard streams.
  void Reset();

  THandle GetStdHandle(std::int32_t Which) override;
  std::uint32_t GetFileType(THandle Handle) override;
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override;
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Taken) override;
  bool CloseHandle(THandle) override { return true; }
  std::uint32_t GetLastError() override { return LastError; }
  bool QueryPerformanceCounter(std::int64_t&) override { return false; }
  std::uint32_t GetTickCount() override { return 0; }
  TModuleInfo FindModule(const void*) override { return {"fuzz", 0, false}; }
  void AnsiToOem(char*, std::uint32_t) override {}
  void ShowMessage(const char*, const char*) override {}
  void PrepareProcess(TFaultHandler) override {}
  [[noreturn]] void ExitProcess(std::uint32_t) override { std::abort(); }

private:
  std::uint32_t LastError = 0;
};

extern TFuzzPlatform FuzzHost;
