// The scripted platform and the fixture that installs it.
#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "console/console_text.h"
#include "console/process.h"
#include "console/run_error.h"
#include "console/top_level.h"

std::vector<std::string> TFakePlatform::WriteCalls() const {
  std::vector<std::string> Result;
  for (const std::string& Call : Calls)
    if (Call.rfind("WriteFile", 0) == 0) Result.push_back(Call);
  return Result;
}

THandle TFakePlatform::GetStdHandle(std::int32_t Which) {
  Calls.push_back("GetStdHandle " + std::to_string(Which));
  int Index = StdInputHandle - Which;
  if (Index < 0 || Index > 2 || HandleMissing[Index]) {
    LastError = ErrorInvalidHandle;
    return InvalidHandle;
  }
  return static_cast<THandle>(Index);
}

std::uint32_t TFakePlatform::GetFileType(THandle Handle) {
  Calls.push_back("GetFileType " + std::to_string(Handle));
  return Handle <= 2 ? FileType[Handle] : FileTypeUnknown;
}

bool TFakePlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count,
                             std::uint32_t& Read) {
  Calls.push_back("ReadFile " + std::to_string(Handle) + " " + std::to_string(Count));
  Read = 0;
  if (Reads.empty()) return true;
  TReadStep& Step = Reads.front();
  if (Step.Error != 0) {
    LastError = Step.Error;
    Reads.pop_front();
    return false;
  }
  Read = static_cast<std::uint32_t>(std::min<std::size_t>(Count, Step.Bytes.size()));
  std::memcpy(Buffer, Step.Bytes.data(), Read);
  Step.Bytes.erase(0, Read);
  if (Step.Bytes.empty()) Reads.pop_front();
  return true;
}

bool TFakePlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Taken) {
  Calls.push_back("WriteFile " + std::to_string(Handle) + " " + std::to_string(Count));
  Taken = 0;
  TWriteStep Step;
  if (!Writes.empty()) {
    Step = Writes.front();
    Writes.pop_front();
  }
  if (Handle > 2) Step.Error = ErrorInvalidHandle;
  if (Step.Error != 0) {
    LastError = Step.Error;
    return false;
  }
  Taken = std::min(Count, Step.Accept);
  Written[Handle].append(static_cast<const char*>(Buffer), Taken);
  return true;
}

bool TFakePlatform::CloseHandle(THandle Handle) {
  Calls.push_back("CloseHandle " + std::to_string(Handle));
  return true;
}

bool TFakePlatform::QueryPerformanceCounter(std::int64_t& Count) {
  if (Counters.empty()) return false;
  Count = Counters.front();
  Counters.pop_front();
  return true;
}

TModuleInfo TFakePlatform::FindModule(const void*) {
  return Module;
}

void TFakePlatform::ShowMessage(const char* Caption, const char* Text) {
  Messages.push_back(std::string(Caption) + ": " + Text);
}

void ResetStreams() {
  for (TConsoleText* Stream : {&StdInText, &StdOutText, &StdErrText}) {
    *Stream = TConsoleText{};
    Stream->OpenMode = ModeClosed;
  }
}

void FakeTest::SetUp() {
  Saved = Platform;
  Platform = &Fake;
  ResetStreams();
  PendingIoError = 0;
  ConsoleApp = 1;
  ProcessExitCode = 0;
  FaultAddress = nullptr;
  RunErrorHook = nullptr;
  UnhandledHook = nullptr;
  FaultObjectHook = nullptr;
  StartedModules = 0;
  std::memcpy(RunErrorText, "Runtime error     at 00000000", RunErrorTextSize);
}

void FakeTest::TearDown() {
  Platform = Saved;
}

std::uint32_t FakeTest::RunProcess(void (*Body)()) {
  try {
    RunUnderTopLevelHandler(Body);
  } catch (const TFakeExit& Exit) {
    return Exit.Code;
  }
}
