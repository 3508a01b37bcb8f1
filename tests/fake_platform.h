// A scripted platform for the unit tests: reads return the pieces a test queues, writes take
// what a test allows, and every call is logged so that tests can assert the exact sequence.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "console/platform.h"

// What the fake's ExitProcess throws, so that a test can see the end of a process.
struct TFakeExit {
  std::uint32_t Code;
};

class TFakePlatform final : public TPlatform {
public:
  // Standard handles are 0, 1 and 2, as the descriptors they stand for.
  bool HandleMissing[3] = {false, false, false};
  std::uint32_t FileType[3] = {FileTypePipe, FileTypeDisk, FileTypeDisk};

  struct TReadStep {
    std::string Bytes;       // handed out up to the asked count per call; the rest stays queued
    std::uint32_t Error = 0; // non-zero: the call fails with this code
  };
  std::deque<TReadStep> Reads; // none left: end of input

  struct TWriteStep {
    std::uint32_t Accept = 0xFFFFFFFF; // at most this many bytes taken
    std::uint32_t Error = 0;           // non-zero: the call fails with this code, taking nothing
  };
  std::deque<TWriteStep> Writes; // none left: every byte taken

  std::string Written[3];         // the bytes each handle has taken
  std::vector<std::string> Calls; // "ReadFile 0 128", "WriteFile 1 16", ...

  std::deque<std::int64_t> Counters; // none left: the counter read fails
  std::uint32_t Ticks = 0;
  TModuleInfo Module{"/opt/games/kviz", 0x400000, true};
  std::vector<std::string> Messages; // ShowMessage texts
  bool Prepared = false;

  void QueueInput(std::string Bytes) { Reads.push_back({std::move(Bytes), 0}); }
  void QueueReadError(std::uint32_t Code) { Reads.push_back({{}, Code}); }
  // The write calls only, in order.
  std::vector<std::string> WriteCalls() const;

  THandle GetStdHandle(std::int32_t Which) override;
  std::uint32_t GetFileType(THandle Handle) override;
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override;
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override;
  bool CloseHandle(THandle Handle) override;
  std::uint32_t GetLastError() override { return LastError; }
  bool QueryPerformanceCounter(std::int64_t& Count) override;
  std::uint32_t GetTickCount() override { return Ticks; }
  TModuleInfo FindModule(const void* Address) override;
  void AnsiToOem(char*, std::uint32_t) override {}
  void ShowMessage(const char* Caption, const char* Text) override;
  void PrepareProcess(TFaultHandler) override { Prepared = true; }
  [[noreturn]] void ExitProcess(std::uint32_t Code) override { throw TFakeExit{Code}; }

private:
  std::uint32_t LastError = 0;
};

// Puts the fake in place and every piece of process-wide runtime state back to its start.
class FakeTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Runs Body under the outermost handler, as a process would; returns the exit code.
  std::uint32_t RunProcess(void (*Body)());

  TFakePlatform Fake;

private:
  TPlatform* Saved = nullptr;
};

// The standard streams as a fresh process has them after the run-time core's start.
void ResetStreams();
