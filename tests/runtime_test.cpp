// The runtime where the game cannot take it end to end: the roads out of a process with and
// without the exception hooks, the run-time error kinds, the report's form, the run-time error
// text filled twice, and the tables of fault numbers and Linux error codes. The streams are
// the fuzz target's (fuzz/), and what the player sees is the end-to-end table's (e2e/).
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <new>
#include <regex>

#include "console/platform_posix.h"
#include "console/process.h"
#include "console/run_error.h"
#include "console/top_level.h"
#include "fake_platform.h"

namespace {

using namespace std::string_literals;

std::string Log;

const void* At(std::uintptr_t Address) {
  return reinterpret_cast<const void*>(Address);
}

void Pending(std::int32_t Code) {
  SetPendingIoError(Code);
  CheckIo();
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
    // A road that ends without the finalisation would leave entries started, and the next
    // test's start steps would do nothing: finish them here.
    try {
      FaultAddress = nullptr;
      FinishProcess();
    } catch (...) {
    }
    Platform = Host;
  }
};

// A process with the runtime's entry 1, entry 5 with the hooks, and steps of its own in entries
// 3 and 6, running Body between start and finish.
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

TEST_P(Road, EndsWithItsCodeAndItsReport) {
  static TModuleTable Steps;
  static const TRoad* Case;
  Case = &GetParam();
  for (TModuleStep& Step : Steps) Step = {nullptr, nullptr};
  Steps[1] = {InitRuntimeCore, FinishRuntimeCore};
  Steps[3] = {[] { Log += "i3 "; }, [] { Log += "3 "; }};
  Steps[5] = Case->Hooks ? TModuleStep{InitExceptions, FinishExceptions} : TModuleStep{};
  Steps[6] = Case->Entry6;
  try {
    RunUnderTopLevelHandler([] {
      StartProgram(Steps);
      Case->Body();
      FinishProcess();
    });
  } catch (const TFakeExit& Exit) {
    EXPECT_EQ(Exit.Code, Case->Code);
  }
  const std::string Shown = Fake.Taken[1] + "|" + Fake.Taken[2];
  EXPECT_EQ(std::regex_replace(Shown, std::regex("at (?!000000)[0-9A-F]{8}"), "at X"), Case->Shown);
  EXPECT_EQ(Log, Case->Log);
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
    // The report shows the address the error was raised for.
    TRoad{"KindOfSevenBitsWithHooks", true, {}, [] { RaiseRunError(0x84, At(0x400010)); }, 1,
          "|Exception ERangeError in module kviz at 00000010.\r\nRange check error.\r\n\r\n"},
    TRoad{"KindOfSevenBitsWithoutHooks", false, {}, [] { RaiseRunError(0x84, At(0x10)); }, 201,
          RunError("Runtime error 201 at 00000010") + "|"},
    // The hooks are gone by the time the exception arrives: the short text, not the report.
    TRoad{"FinalisationStepRaisesLowerOnesRunThen217", true,
          {nullptr, [] { Log += "6 "; Pending(2); }}, [] {}, 217,
          RunError("Runtime error 217 at X") + "|", "i3 6 3 "},
    TRoad{"InitialisationStepRaisesStartedOnesFinishThen217", true,
          {[] { Pending(2); }, [] { Log += "6 "; }}, [] { Log += "body "; }, 217,
          RunError("Runtime error 217 at X") + "|", "i3 6 3 "}),
    [](const testing::TestParamInfo<TRoad>& Info) { return Info.param.Name; });
// clang-format on

// Kinds 1 to 24: the number without the hooks, the class and message with them (kind 22's
// number is 0, which would pass for success); and the messages of the I/O codes.
TEST(RunError, KindsAndIoMessages) {
  std::string Shown;
  MakePreMadeObjects();
  for (std::uint8_t Kind = 1; Kind <= 24; ++Kind) {
    try {
      RunErrorToException(Kind, nullptr);
    } catch (const TRaised& Raised) {
      const auto* Object = static_cast<Exception*>(Raised.Object);
      Shown += std::to_string(RunErrorNumber(Kind)) + " " + Object->ClassName() + ": " +
               Object->Message + "\n";
      ReleaseRaised(Raised.Object);
    }
  }
  FreePreMadeObjects();
  EXPECT_EQ("\n" + Shown, R"(
203 EOutOfMemory: Out of memory
204 EInvalidPointer: Invalid pointer operation
200 EDivByZero: Division by zero
201 ERangeError: Range check error
215 EIntOverflow: Integer overflow
207 EInvalidOp: Invalid floating point operation
200 EZeroDivide: Floating point division by zero
205 EOverflow: Floating point overflow
206 EUnderflow: Floating point underflow
219 EInvalidCast: Invalid class typecast
216 EAccessViolation: Access violation
218 EPrivilege: Privileged instruction
217 EControlC: Control-C hit
202 EStackOverflow: Stack overflow
220 EVariantError: Invalid variant type conversion
221 EVariantError: Invalid variant operation
222 EVariantError: Variant method calls not supported
223 EVariantError: Error creating variant or safe array
224 EVariantError: Invalid argument
225 EVariantError: Variant or safe array index out of bounds
227 EAssertionFailed: Assertion failed
255 EExternalException: External exception %x
228 EIntfCastError: Interface not supported
229 ESafecallException: Exception in safecall method
)");
  EXPECT_EQ(RunErrorNumber(100), 100); // above the table, the kind itself
  Shown.clear();
  for (std::int32_t Code : {2, 3, 4, 5, 100, 101, 106, 105, -7}) {
    SetPendingIoError(Code);
    std::unique_ptr<EInOutError> Failure(MakeIoFailure());
    Shown += Failure->Message + (Failure->IoCode == Code && PendingIoError == 0 ? "; " : "! ");
  }
  EXPECT_EQ(Shown, "File not found; Invalid filename; Too many open files; File access denied; "
                   "Read beyond end of file; Disk full; Invalid numeric input; I/O error 105; "
                   "I/O error -7; ");
}

TEST_F(Process, RunErrorTextKeepsNoDigitsOfAnEarlierOne) {
  WriteRunErrorText(217, At(0x401234));
  WriteRunErrorText(5, At(0x10));
  EXPECT_EQ(Fake.Taken[1],
            RunError("Runtime error 217 at 00401234") + RunError("Runtime error   5 at 00000010"));
}

TEST_F(Process, ReportForm) {
  char Buffer[1024];
  EDivByZero Dotted("Ends in a period.");
  Fake.Module = {"C:\\Games\\kviz.exe", 0x400000, true};
  std::uint32_t Length = FormatExceptionReport(&Dotted, At(0x400010), Buffer, 1024);
  EXPECT_EQ(std::string(Buffer, Length + 1),
            "Exception EDivByZero in module kviz.exe at 00000010.\r\nEnds in a period.\r\n\0"s);
  // Not found: the program's own path, the address less 4096; the text cut at 1023.
  Exception Long(std::string(2000, 'm'));
  Fake.Module = {"noseparator", 0, false};
  Length = FormatExceptionReport(&Long, At(0x2000), Buffer, 1024);
  const std::string Head = "Exception Exception in module noseparator at 00001000.\r\n";
  EXPECT_EQ(std::string(Buffer, Length + 1), Head + std::string(1023 - Head.size(), 'm') + '\0');
}

TEST(Tables, FaultNumbersAndPosixErrorCodes) {
  const std::pair<std::uint32_t, std::int32_t> Faults[] = {{StatusAccessViolation, 216},
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
  for (auto [Code, Number] : Faults) EXPECT_EQ(FaultNumber(Code), Number) << std::hex << Code;
  const std::pair<int, std::uint32_t> Errors[] = {
      {ENOENT, 2},  {EMFILE, 4}, {ENFILE, 4},  {EACCES, 5},   {EPERM, 5},    {EISDIR, 5},
      {EBADF, 6},   {ENOMEM, 8}, {EINVAL, 87}, {ENOSPC, 112}, {EDQUOT, 112}, {EFBIG, 223},
      {EPIPE, 232}, {EIO, 1117}, {ENXIO, 31},  {0, 31}};
  for (auto [Errno, Code] : Errors) EXPECT_EQ(ErrorCodeFromErrno(Errno), Code) << Errno;
}

} // namespace
