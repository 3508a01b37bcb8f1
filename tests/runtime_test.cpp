// The runtime where the game cannot take it end to end: the roads out of a process with and
// without the exception hooks, those the game never takes, the run-time error kinds, a line
// read that runs out of memory, a report cut to its buffer. The streams are the fuzz
// target's (fuzz/), whose seeds run here too, and what the player sees is the end-to-end
// table's (e2e/).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "console/process.h"
#include "console/report.h"
#include "console/run_error.h"
#include "console/runtime_core.h"
#include "console/top_level.h"
#include "fake_platform.h"
#include "replaced_new.h"

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

// A process with the runtime's entry 1, entry 5 with the hooks or without, and steps of its own
// in entries 3 and 6, running Body between start and finish. What it shows: its exit code, then
// standard output, standard error and the message boxes, each after a "|".
std::string RunProcess(bool Hooks, TModuleStep Entry6, void (*Body)(), std::uint8_t Console = 1) {
  static std::vector<TModuleStep> Steps;
  static void (*Run)();
  Steps = {{},    {InitRuntimeCore, FinishRuntimeCore},
           {},    {[] { Log += "i3 "; }, [] { Log += "3 "; }},
           {},    Hooks ? TModuleStep{InitExceptions, FinishExceptions} : TModuleStep{},
           Entry6};
  Run = Body;
  TFakePlatform Fake;
  ConsoleApp = Console;
  ProcessExitCode = 0;
  Log.clear();
  std::uint32_t Code = 0;
  try {
    RunUnderTopLevelHandler([] {
      StartProgram(Steps);
      Run();
      FinishProcess();
    });
  } catch (std::uint32_t Exit) {
    Code = Exit;
  }
  // A road that ends without the finalisation leaves entries started, and the next process's
  // start steps would do nothing: they are finished here.
  try {
    FaultAddress = nullptr;
    FinishProcess();
  } catch (...) {
  }
  ConsoleApp = 1;
  return std::to_string(Code) + "|" + Fake.Taken[1] + "|" + Fake.Taken[2] + "|" + Fake.Boxes;
}

struct TRoad {
  const char* Name;
  bool Hooks;
  TModuleStep Entry6;
  void (*Body)();
  std::string Shown;
  std::string Log = "i3 3 ";
  std::uint8_t Console = 1;
};

class Road : public testing::TestWithParam<TRoad> {};

TEST_P(Road, EndsWithItsCodeAndItsReport) {
  const TRoad& Case = GetParam();
  EXPECT_EQ(RunProcess(Case.Hooks, Case.Entry6, Case.Body, Case.Console), Case.Shown);
  EXPECT_EQ(Log, Case.Log);
}

TObject* AccessViolationObject(const TExceptionRecord&) {
  static EAccessViolation Object(LoadResString(IdKindMessageBase + 11));
  return &Object;
}

// The game's own roads (a failed statement, memory running out, a failed final write-out) are
// the end-to-end table's. These are the others.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Process, Road, testing::Values(
    TRoad{"PendingCodeWithoutHooksItsLowByte", false, {}, [] { Raise(1784, 0x10); },
          "248|" + RunError("Runtime error 248 at 00000010") + "||"},
    // A failure must not end with the code of a success.
    TRoad{"NumberZeroWithoutHooksIs255", false, {}, [] { Raise(256, 0x20); },
          "255|" + RunError("Runtime error 255 at 00000020") + "||"},
    // Output still held goes out before the text, down to a single byte.
    TRoad{"OutOfMemoryWithoutHooks", false, {}, [] {
            EmitChar(StdOutText, '>');
            RaiseRunError(1, At(0x30));
          }, "203|>" + RunError("Runtime error 203 at 00000030") + "||"},
    // The report shows the address the error was raised for.
    TRoad{"KindOfSevenBitsWithHooks", true, {}, [] { RaiseRunError(0x84, At(0x400040)); },
          "1||Exception ERangeError in module kviz at 00000040.\r\nRange check error.\r\n\r\n|"},
    TRoad{"KindOfSevenBitsWithoutHooks", false, {}, [] { RaiseRunError(0x84, At(0xDEADBEEF)); },
          "201|" + RunError("Runtime error 201 at DEADBEEF") + "||"},
    // The hooks are gone by the time the exception arrives: the short text, not the report.
    TRoad{"FinalisationStepRaisesLowerOnesRunThen217", true,
          {nullptr, [] { Log += "6 "; Raise(2, 0x60); }}, [] {},
          "217|" + RunError("Runtime error 217 at 00000060") + "||", "i3 6 3 "},
    TRoad{"InitialisationStepRaisesStartedOnesFinishThen217", true,
          {[] { Raise(2, 0x70); }, [] { Log += "6 "; }}, [] { Log += "body "; },
          "217|" + RunError("Runtime error 217 at 00000070") + "||", "i3 6 3 "},
    // A second text keeps no digits of the first.
    TRoad{"RunErrorTextTwice", false, {}, [] {
            WriteRunErrorText(217, At(0x401234));
            WriteRunErrorText(5, At(0x10));
          }, "0|" + RunError("Runtime error 217 at 00401234") +
             RunError("Runtime error   5 at 00000010") + "||"},
    // A platform exception that the runtime did not raise: the fault number table, unless a
    // hook makes an object of it (no host installs one).
    TRoad{"FaultWithoutObject", true, {},
          [] { TopLevelHandler({StatusIntegerOverflow, At(0x80), nullptr}); },
          "215|" + RunError("Runtime error 215 at 00000080") + "||"},
    TRoad{"FaultMadeAnObject", true, {}, [] {
            FaultObjectHook = AccessViolationObject;
            TopLevelHandler({StatusAccessViolation, At(0x400090), nullptr});
          }, "1||Exception EAccessViolation in module kviz at 00000090.\r\nAccess violation.\r\n\r\n|"},
    // A program that is no console program shows both reports in message boxes.
    TRoad{"WithoutConsoleMessageBoxes", true, {}, [] {
            WriteRunErrorText(216, At(0x20));
            RaiseRunError(1, At(0x400010));
          }, "1|||Error: Runtime error 216 at 00000020|Application Error: Exception EOutOfMemory "
             "in module kviz at 00000010.\r\nOut of memory.\r\n|", "i3 3 ", 0}),
    [](const testing::TestParamInfo<TRoad>& Info) { return Info.param.Name; });
// clang-format on

[[gnu::noinline]] void HaltHere() {
  HaltWithError(207);
}

// The run-time error of no kind names the place that called for it.
TEST(Process, HaltWithErrorAtItsCaller) {
  EXPECT_EQ(RunProcess(true, {}, [] { HaltHere(); }).substr(0, 25), "207|Runtime error 207 at ");
  auto Where = std::strtoull(RunErrorText + 21, nullptr, 16);
  EXPECT_LT((Where - reinterpret_cast<std::uintptr_t>(&HaltHere)) % (1ull << 32), 64u);
}

// Each kind of the table, 1 to 24, raises an exception of its own with a message, kinds 1 and 2
// the objects made in advance, and has a number of its own; kind 22's number is 0, which would
// pass for success. A pending code's message: from the string table, or the template with the
// code, a negative one too.
TEST(RunError, KindsAndIoMessages) {
  MakePreMadeObjects();
  for (std::uint8_t Kind = 1; Kind <= 24; ++Kind) {
    EXPECT_NE(RunErrorNumber(Kind), Kind);
    try {
      RaiseRunErrorsAsExceptions(true);
      RaiseRunError(Kind, nullptr);
    } catch (const TRaised& Raised) {
      auto* Object = static_cast<Exception*>(Raised.Object);
      EXPECT_NE(Object->Message, "") << int(Kind);
      EXPECT_EQ(dynamic_cast<EInOutError*>(Object), nullptr) << int(Kind);
      EXPECT_EQ(Kind <= 2, Object == &OutOfMemoryObject() || Object == &InvalidPointerObject());
      ReleaseRaised(Raised.Object);
    }
  }
  RaiseRunErrorsAsExceptions(false);
  FreePreMadeObjects();
  EXPECT_EQ(RunErrorNumber(22), 255);
  std::string Shown;
  for (std::int32_t Code : {2, 106, 105, -7}) {
    SetPendingIoError(Code);
    EInOutError* Failure = MakeIoFailure();
    Shown += Failure->Message + (Failure->IoCode == Code && PendingIoError == 0 ? "; " : "! ");
    delete Failure;
  }
  EXPECT_EQ(Shown, "File not found; Invalid numeric input; I/O error 105; I/O error -7; ");
}

// A report is cut to its buffer, an item first or after other text; a directive that the format
// cuts off is text.
TEST(Report, FormatCutToItsBuffer) {
  char Buffer[8];
  EXPECT_EQ(FormatTo(Buffer, sizeof Buffer, "%s!", {"abcdefghij"}), 7u);
  EXPECT_STREQ(Buffer, "abcdefg");
  EXPECT_EQ(FormatTo(Buffer, sizeof Buffer, "ab%s", {"cdefghij"}), 7u);
  EXPECT_STREQ(Buffer, "abcdefg");
  EXPECT_EQ(FormatTo(Buffer, sizeof Buffer, "%d %", {std::int64_t{42}}), 4u);
  EXPECT_STREQ(Buffer, "42 %");
}

// The game's read statement.
[[gnu::noinline]] void ReadAnswer(std::string& Line) {
  ReadLineText(StdInText, Line);
  FinishInputLine(StdInText);
}

// A line read that runs out of memory names its caller, on a short line's quick path as on a
// long line's.
TEST(ReadLineText, OutOfMemoryAtTheCaller) {
  for (std::size_t Length : {20, 300}) {
    TFakePlatform Fake;
    std::string Line, Lines = "\n" + std::string(Length, 'x') + "\n";
    for (std::size_t I = 0; I < Lines.size(); I += StdBufferSize)
      Fake.Loads.push_back({Lines.substr(I, StdBufferSize)});
    ReadAnswer(Line); // the empty line, which loads the buffer
    std::uintptr_t Where = 0;
    FailAllocations = true;
    try {
      ReadAnswer(Line);
    } catch (const TOutOfMemory& Failure) {
      Where = reinterpret_cast<std::uintptr_t>(Failure.Address);
    }
    FailAllocations = false;
    EXPECT_LT(Where - reinterpret_cast<std::uintptr_t>(&ReadAnswer), 64u) << Length;
  }
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
