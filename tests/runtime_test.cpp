// The runtime where the game cannot take it end to end: the roads out of a process with and
// without the exception hooks, the run-time error kinds, the run-time error text filled twice,
// and writes that a host takes in part. The streams are the fuzz target's (fuzz/), whose seeds
// run here too, and what the player sees is the end-to-end table's (e2e/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

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

// As a check after a failed statement at Address would.
void Raise(std::int32_t Code, std::uintptr_t Address) {
  SetPendingIoError(Code);
  RaiseRunError(0, At(Address));
}

// A run-time error text as written: its 29 characters, the zero byte and CR LF.
std::string RunError(const char* Text) {
  return Text + "\0\r\n"s;
}

// A process with the runtime's entry 1, entry 5 with the hooks, and steps of its own in entries
// 3 and 6, running Body between start and finish.
struct TRoad {
  const char* Name;
  bool Hooks;
  TModuleStep Entry6;
  void (*Body)();
  std::uint32_t Code;
  std::string Shown; // standard output, "|", standard error
  std::string Log = "i3 3 ";
};

class Road : public testing::TestWithParam<TRoad> {
protected:
  TFakePlatform Fake;
  TPlatform* Host = Platform;

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

TEST_P(Road, EndsWithItsCodeAndItsReport) {
  static TModuleStep Steps[7];
  static const TRoad* Case;
  Case = &GetParam();
  UseFake(Fake);
  ConsoleApp = 1;
  ProcessExitCode = 0;
  Log.clear();
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
  EXPECT_EQ(Fake.Taken[1] + "|" + Fake.Taken[2], Case->Shown);
  EXPECT_EQ(Log, Case->Log);
}

// The game's own roads (a failed statement, memory running out, a failed final write-out) are
// the end-to-end table's. These are the others.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Process, Road, testing::Values(
    TRoad{"PendingCodeWithoutHooksItsLowByte", false, {}, [] { Raise(1784, 0x10); }, 248,
          RunError("Runtime error 248 at 00000010") + "|"},
    // A failure must not end with the code of a success.
    TRoad{"NumberZeroWithoutHooksIs255", false, {}, [] { Raise(256, 0x20); }, 255,
          RunError("Runtime error 255 at 00000020") + "|"},
    TRoad{"OutOfMemoryWithoutHooks", false, {}, [] { RaiseRunError(1, At(0x30)); }, 203,
          RunError("Runtime error 203 at 00000030") + "|"},
    // The report shows the address the error was raised for.
    TRoad{"KindOfSevenBitsWithHooks", true, {}, [] { RaiseRunError(0x84, At(0x400040)); }, 1,
          "|Exception ERangeError in module kviz at 00000040.\r\nRange check error.\r\n\r\n"},
    TRoad{"KindOfSevenBitsWithoutHooks", false, {}, [] { RaiseRunError(0x84, At(0xDEADBEEF)); },
          201, RunError("Runtime error 201 at DEADBEEF") + "|"},
    // The hooks are gone by the time the exception arrives: the short text, not the report.
    TRoad{"FinalisationStepRaisesLowerOnesRunThen217", true,
          {nullptr, [] { Log += "6 "; Raise(2, 0x60); }}, [] {}, 217,
          RunError("Runtime error 217 at 00000060") + "|", "i3 6 3 "},
    TRoad{"InitialisationStepRaisesStartedOnesFinishThen217", true,
          {[] { Raise(2, 0x70); }, [] { Log += "6 "; }}, [] { Log += "body "; }, 217,
          RunError("Runtime error 217 at 00000070") + "|", "i3 6 3 "},
    // A second text keeps no digits of the first.
    TRoad{"RunErrorTextTwice", false, {}, [] {
            WriteRunErrorText(217, At(0x401234));
            WriteRunErrorText(5, At(0x10));
          }, 0, RunError("Runtime error 217 at 00401234") +
                RunError("Runtime error   5 at 00000010") + "|"}),
    [](const testing::TestParamInfo<TRoad>& Info) { return Info.param.Name; });
// clang-format on

// Kinds 1 to 24: the number without the hooks (kind 22's is 0, which would pass for success),
// the class and a message with them; and the messages of the I/O codes.
TEST(RunError, KindsAndIoMessages) {
  const std::int32_t Numbers[] = {203, 204, 200, 201, 215, 207, 200, 205, 206, 219, 216, 218,
                                  217, 202, 220, 221, 222, 223, 224, 225, 227, 255, 228, 229};
  std::string Classes;
  MakePreMadeObjects();
  for (std::uint8_t Kind = 1; Kind <= 24; ++Kind) {
    EXPECT_EQ(RunErrorNumber(Kind), Numbers[Kind - 1]) << int(Kind);
    try {
      RunErrorToException(Kind, nullptr);
    } catch (const TRaised& Raised) {
      Classes += Raised.Object->ClassName() + " "s;
      EXPECT_NE(static_cast<Exception*>(Raised.Object)->Message, "") << int(Kind);
      ReleaseRaised(Raised.Object);
    }
  }
  FreePreMadeObjects();
  EXPECT_EQ(Classes, "EOutOfMemory EInvalidPointer EDivByZero ERangeError EIntOverflow EInvalidOp "
                     "EZeroDivide EOverflow EUnderflow EInvalidCast EAccessViolation EPrivilege "
                     "EControlC EStackOverflow EVariantError EVariantError EVariantError "
                     "EVariantError EVariantError EVariantError EAssertionFailed "
                     "EExternalException EIntfCastError ESafecallException ");
  EXPECT_EQ(RunErrorNumber(25), 25); // above the table, the kind itself
  std::string Shown;
  for (std::int32_t Code : {2, 3, 4, 5, 100, 101, 106, 105, -7}) {
    SetPendingIoError(Code);
    std::unique_ptr<EInOutError> Failure(MakeIoFailure());
    Shown += Failure->Message + (Failure->IoCode == Code && PendingIoError == 0 ? "; " : "! ");
  }
  EXPECT_EQ(Shown, "File not found; Invalid filename; Too many open files; File access denied; "
                   "Read beyond end of file; Disk full; Invalid numeric input; I/O error 105; "
                   "I/O error -7; ");
}

// A short write goes on with the rest; a host that takes nothing yet reports success is a
// write fault, where asking again would never end.
TEST(WriteWhole, ShortWritesGoOnEmptyOnesFail) {
  TFakePlatform Fake;
  TPlatform* Host = std::exchange(Platform, &Fake);
  Fake.WriteMost = 3;
  EXPECT_EQ(WriteWhole(1, "abcdefgh", 8), 0u);
  EXPECT_EQ(Fake.Taken[1], "abcdefgh");
  Fake.WriteMost = 0;
  EXPECT_EQ(WriteWhole(1, "ij", 2), ErrorWriteFault);
  Platform = Host;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

// Each seed of the fuzz target once, where libFuzzer is not at hand.
TEST(FuzzCorpus, AgreesWithTheModels) {
  for (const auto& Seed : std::filesystem::directory_iterator(KVIZ_FUZZ_CORPUS)) {
    std::ifstream In(Seed.path(), std::ios::binary);
    std::string Bytes{std::istreambuf_iterator<char>(In), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
  }
}
