// The runtime where the game cannot take it end to end: the roads out of a process with and
// without the exception hooks, the report's form, the run-time error text filled twice, and
// the tables of fault numbers and Linux error codes. The streams are the fuzz target's
// (fuzz/), and what the player sees is the end-to-end table's (e2e/).
#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <regex>
#include <string>

#include "console/console_text.h"
#include "console/platform_posix.h"
#include "console/process.h"
#include "console/run_error.h"
#include "console/top_level.h"
#include "fake_platform.h"

namespace {

using namespace std::string_literals;

std::string Log;
TModuleTable Steps;

const void* At(std::uintptr_t Address) {
  return reinterpret_cast<const void*>(Address);
}

// A run-time error text as written: its 29 characters, the zero byte and CR LF.
std::string RunError(const char* Text) {
  return Text + "\0\r\n"s;
}

class Process : public testing::Test {
protected:
  TFakePlatform Fake;
  TPlatform* Host = Platform;

  void SetUp() override {
    UseFake(Fake);
    ConsoleApp = 1;
    ProcessExitCode = 0;
    FaultAddress = nullptr;
    Log.clear();
  }
  void TearDown() override {
    // A road that ends without the finalisation leaves entries started; finishing them here
    // lets the next test's start steps do their work again.
    try {
      FaultAddress = nullptr;
      FinishProcess();
    } catch (...) {
    }
    Platform = Host;
  }
  // Starts a process with the runtime's entries 1 and (with Hooks) 5 and the given entry 6,
  // runs Body and finishes, all under the outermost handler; returns the exit code.
  std::uint32_t Run(bool Hooks, TModuleStep Entry6, void (*Body)()) {
    for (TModuleStep& Step : Steps) Step = {nullptr, nullptr};
    Steps[1] = {InitRuntimeCore, FinishRuntimeCore};
    Steps[3] = {[] { Log += "i3 "; }, [] { Log += "3 "; }};
    if (Hooks) Steps[5] = {InitExceptions, FinishExceptions};
    Steps[6] = Entry6;
    static void (*Program)();
    Program = Body;
    try {
      RunUnderTopLevelHandler([] {
        StartProgram(Steps);
        Program();
        FinishProcess();
      });
    } catch (const TFakeExit& Exit) {
      return Exit.Code;
    }
  }
};

void Pending(std::int32_t Code) {
  SetPendingIoError(Code);
  CheckIo();
}

struct TRoad {
  const char* Name;
  bool Hooks;
  TModuleStep Entry6;
  void (*Body)();
  std::uint32_t Code;
  std::string Shown; // standard output, "|", standard error; addresses not 000000xx show as X
  std::string Log = "i3 3 ";
};

class Road : public Process, public testing::WithParamInterface<TRoad> {};

TEST_P(Road, EndsWithItsCodeAndReport) {
  const TRoad& Case = GetParam();
  EXPECT_EQ(Run(Case.Hooks, Case.Entry6, Case.Body), Case.Code);
  const std::string Shown = Fake.Taken[1] + "|" + Fake.Taken[2];
  EXPECT_EQ(std::regex_replace(Shown, std::regex("at (?!000000)[0-9A-F]{8}"), "at X"), Case.Shown);
  EXPECT_EQ(Log, Case.Log);
}

// The game's own roads (a failed statement, memory running out, a failed final write-out) are
// the end-to-end table's. These are the others.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Process, Road, testing::Values(
    TRoad{"PendingCodeWithoutHooksItsLowByte", false, {}, [] { Pending(1784); }, 248,
          RunError("Runtime error 248 at X") + "|"},
    // A failure must not end with the code of a success.
    TRoad{"NumberZeroWithoutHooksIs255", false, {}, [] { Pending(256); }, 255,
          RunError("Runtime error 255 at X") + "|"},
    TRoad{"OutOfMemoryWithoutHooks", false, {}, [] { std::get_new_handler()(); }, 203,
          RunError("Runtime error 203 at X") + "|"},
    TRoad{"KindOfSevenBitsWithHooks", true, {}, [] { RaiseRunError(0x84, At(0x400010)); }, 1,
          "|Exception ERangeError in module kviz at 00000010.\r\nRange check error.\r\n\r\n"},
    TRoad{"KindOfSevenBitsWithoutHooks", false, {}, [] { RaiseRunError(0x84, At(0x10)); }, 201,
          RunError("Runtime error 201 at 00000010") + "|"},
    TRoad{"KindNumberedZeroIs255", false, {}, [] { RaiseRunError(22, At(1)); }, 255,
          RunError("Runtime error 255 at 00000001") + "|"},
    TRoad{"KindAboveTheTable", false, {}, [] { RaiseRunError(100, At(1)); }, 100,
          RunError("Runtime error 100 at 00000001") + "|"},
    // The hooks are gone by the time the exception arrives: the short text, not the report.
    TRoad{"FinalisationStepRaisesLowerOnesRunThen217", true,
          {nullptr, [] { Log += "6 "; Pending(2); }}, [] {}, 217,
          RunError("Runtime error 217 at X") + "|", "i3 6 3 "},
    TRoad{"InitialisationStepRaisesStartedOnesFinishThen217", true,
          {[] { Pending(2); }, [] { Log += "6 "; }}, [] { Log += "body "; }, 217,
          RunError("Runtime error 217 at X") + "|", "i3 6 3 "}),
    [](const testing::TestParamInfo<TRoad>& Info) { return Info.param.Name; });
// clang-format on

TEST_F(Process, RunErrorTextKeepsNoDigitsOfAnEarlierOne) {
  WriteRunErrorText(217, At(0x401234));
  WriteRunErrorText(5, At(0x10));
  EXPECT_EQ(Fake.Taken[1],
            RunError("Runtime error 217 at 00401234") + RunError("Runtime error   5 at 00000010"));
}

TEST_F(Process, ReportForm) {
  EInOutError Failure("File not found", 2);
  EDivByZero Dotted("Ends in a period.");
  Exception Empty("");
  Exception Long(std::string(2000, 'm'));
  TObject Plain;
  const std::string Head = "Exception Exception in module k at 00000000.\r\n";
  const struct {
    TModuleInfo Module;
    TObject* Object;
    std::uintptr_t Address;
    std::string Text;
  } Cases[] = {
      {{"/opt/kviz", 0x400000, true},
       &Failure,
       0x401234,
       "Exception EInOutError in module kviz at 00001234.\r\nFile not found.\r\n"},
      {{"C:\\Games\\kviz.exe", 0x400000, true},
       &Dotted,
       0x400010,
       "Exception EDivByZero in module kviz.exe at 00000010.\r\nEnds in a period.\r\n"},
      // Not found: the program's own path, the address less 4096.
      {{"noseparator", 0, false},
       &Empty,
       0x2000,
       "Exception Exception in module noseparator at 00001000.\r\n\r\n"},
      {{"/k", 0, false}, &Plain, 0, "Exception TObject in module k at 00000000.\r\n\r\n"},
      {{"/k", 0, true},
       &Plain,
       std::uintptr_t(0x12345678ABCDEF01u),
       "Exception TObject in module k at ABCDEF01.\r\n\r\n"},
      {{"/k", 0, true}, &Long, 0, Head + std::string(1023 - Head.size(), 'm')},
  };
  for (const auto& Case : Cases) {
    char Buffer[1024];
    Fake.Module = Case.Module;
    std::uint32_t Length = FormatExceptionReport(Case.Object, At(Case.Address), Buffer, 1024);
    EXPECT_EQ(std::string(Buffer, Length + 1), Case.Text + '\0');
  }
}

TEST(FaultNumber, OneForEachFaultAnd255ForOthers) {
  const std::pair<std::uint32_t, std::int32_t> Table[] = {{StatusAccessViolation, 216},
                                                          {StatusArrayBoundsExceeded, 201},
                                                          {StatusFloatDenormalOperand, 206},
                                                          {StatusFloatDivideByZero, 200},
                                                          {StatusFloatInexactResult, 207},
                                                          {StatusFloatInvalidOperation, 207},
                                                          {StatusFloatOverflow, 205},
                                                          {StatusFloatStackCheck, 207},
                                                          {StatusFloatUnderflow, 206},
                                                          {StatusIntegerDivideByZero, 200},
                                                          {StatusIntegerOverflow, 215},
                                                          {StatusPrivilegedInstruction, 218},
                                                          {StatusStackOverflow, 202},
                                                          {StatusControlCExit, 217},
                                                          {0xC0000006u, 255}};
  for (auto [Code, Number] : Table) EXPECT_EQ(FaultNumber(Code), Number) << std::hex << Code;
}

TEST(PosixErrorCode, AsTheMessagesAreWrittenFor) {
  const std::pair<int, std::uint32_t> Table[] = {
      {ENOENT, 2},  {EMFILE, 4}, {ENFILE, 4},  {EACCES, 5},   {EPERM, 5},    {EISDIR, 5},
      {EBADF, 6},   {ENOMEM, 8}, {EINVAL, 87}, {ENOSPC, 112}, {EDQUOT, 112}, {EFBIG, 223},
      {EPIPE, 232}, {EIO, 1117}, {ENXIO, 31},  {0, 31}};
  for (auto [Errno, Code] : Table) EXPECT_EQ(ErrorCodeFromErrno(Errno), Code) << Errno;
}

} // namespace
