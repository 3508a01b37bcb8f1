// The process around the program, over the scripted platform: the check after a statement,
// the report's text, the run-time error text, the order of the module steps, and the roads
// by which failures end the process.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "console/console_text.h"
#include "console/process.h"
#include "console/run_error.h"
#include "console/top_level.h"
#include "fake_platform.h"

namespace {

std::vector<std::string> StepLog;

// Runs the body with the runtime's own steps in entries 1 and 5, as the game does, and the
// test's steps in entry 6.
TModuleTable Steps;
void (*Body)();

void SetSteps(void (*Init6)(), void (*Finish6)()) {
  Steps[0] = {nullptr, nullptr};
  Steps[1] = {InitRuntimeCore, FinishRuntimeCore};
  for (int I = 2; I < 5; ++I) Steps[I] = {nullptr, nullptr};
  Steps[5] = {InitExceptions, FinishExceptions};
  Steps[6] = {Init6, Finish6};
}

void StartThenBody() {
  StartProgram(Steps);
  Body();
  FinishProcess();
}

class ProcessTest : public FakeTest {
protected:
  void SetUp() override {
    FakeTest::SetUp();
    StepLog.clear();
    SetSteps(nullptr, nullptr);
  }
  std::uint32_t Run(void (*TheBody)()) {
    Body = TheBody;
    return RunProcess(StartThenBody);
  }
  const std::string& Out() const { return Fake.Written[1]; }
  const std::string& Err() const { return Fake.Written[2]; }
};

std::string Report(TObject& Object, const void* Address) {
  char Buffer[1024];
  std::uint32_t Length = FormatExceptionReport(&Object, Address, Buffer, sizeof Buffer);
  EXPECT_EQ(Buffer[Length], 0);
  return std::string(Buffer, Length);
}

const void* At(std::uintptr_t Address) {
  return reinterpret_cast<const void*>(Address);
}

TEST_F(ProcessTest, CheckIoWithNothingPendingChangesNothing) {
  CheckIo();
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_TRUE(Fake.Calls.empty());
}

TEST_F(ProcessTest, IoFailureMessages) {
  struct {
    std::int32_t Code;
    const char* Message;
  } const Cases[] = {{2, "File not found"},  {5, "File access denied"}, {101, "Disk full"},
                     {105, "I/O error 105"}, {-7, "I/O error -7"},      {1117, "I/O error 1117"}};
  for (const auto& Case : Cases) {
    SetPendingIoError(Case.Code);
    EInOutError* Failure = MakeIoFailure();
    EXPECT_EQ(Failure->Message, Case.Message);
    EXPECT_EQ(Failure->IoCode, Case.Code);
    EXPECT_EQ(PendingIoError, 0);
    delete Failure;
  }
}

TEST_F(ProcessTest, ReportLinesAndPeriod) {
  EInOutError NotFound("File not found", 2);
  EXPECT_EQ(Report(NotFound, At(0x401234)),
            "Exception EInOutError in module kviz at 00001234.\r\nFile not found.\r\n");
  EDivByZero Dotted("Ends in a period.");
  EXPECT_EQ(Report(Dotted, At(0x400010)),
            "Exception EDivByZero in module kviz at 00000010.\r\nEnds in a period.\r\n");
  Exception Empty("");
  EXPECT_EQ(Report(Empty, At(0x400000)), "Exception Exception in module kviz at 00000000.\r\n\r\n");
  TObject Plain;
  EXPECT_EQ(Report(Plain, At(0x400000)), "Exception TObject in module kviz at 00000000.\r\n\r\n");
}

TEST_F(ProcessTest, ReportModuleAndOffset) {
  EInOutError Failure("x", 0);
  Fake.Module = {"C:\\Games\\kviz.exe", 0x400000, true};
  EXPECT_EQ(Report(Failure, At(0x40ABCD)).substr(0, 45),
            "Exception EInOutError in module kviz.exe at 0");
  Fake.Module = {"noseparator", 0, false}; // not found: the program's path, offset less 4096
  EXPECT_EQ(Report(Failure, At(0x2000)),
            "Exception EInOutError in module noseparator at 00001000.\r\nx.\r\n");
  EXPECT_EQ(Report(Failure, nullptr).substr(0, 56),
            "Exception EInOutError in module noseparator at 00000000.");
  // A 64-bit offset shows its low 32 bits, in exactly eight digits.
  Fake.Module = {"/k", 0, true};
  EXPECT_EQ(Report(Failure, At(std::uintptr_t(0x12345678ABCDEF01ull))).substr(0, 45),
            "Exception EInOutError in module k at ABCDEF01");
}

TEST_F(ProcessTest, ReportIsCutAt1023Characters) {
  Exception Long(std::string(2000, 'm'));
  std::string Text = Report(Long, At(0x400000));
  EXPECT_EQ(Text.size(), 1023u);
  EXPECT_EQ(Text.back(), 'm');
}

TEST_F(ProcessTest, FormatDirectives) {
  char Buffer[8];
  EXPECT_EQ(FormatTo(Buffer, sizeof Buffer, "%d|%s", {std::int64_t{-42}, "abcdef"}), 7u);
  EXPECT_STREQ(Buffer, "-42|abc");
  EXPECT_EQ(FormatTo(Buffer, sizeof Buffer, "%x %", {}), 4u); // not ours: plain text
  EXPECT_STREQ(Buffer, "%x %");
}

TEST_F(ProcessTest, RunErrorTextIsFilledInPlaceFromTheRight) {
  struct {
    std::int32_t Number;
    std::uintptr_t Address;
    const char* Text;
  } const Cases[] = {
      // Longest first: a later, shorter fill must not keep an earlier one's digits.
      {248, 0xDEADBEEF, "Runtime error 248 at DEADBEEF"},
      {42, 0x1, "Runtime error  42 at 00000001"},
      {5, 0xABCD, "Runtime error   5 at 0000ABCD"},
  };
  Fake.FileType[1] = FileTypeChar;
  for (const auto& Case : Cases) {
    Fake.Written[1].clear();
    WriteRunErrorText(Case.Number, At(Case.Address));
    EXPECT_EQ(Out(), std::string(Case.Text, 29) + std::string(1, '\0') + "\r\n");
  }
}

TEST_F(ProcessTest, FinalisationRunsTopDownCountingFirst) {
  static TModuleTable Logged;
  for (int I = 0; I < ModuleCount; ++I) Logged[I] = {nullptr, nullptr};
  Logged[2].Initialise = [] { StepLog.push_back("init 2 at " + std::to_string(StartedModules)); };
  Logged[2].Finalise = [] { StepLog.push_back("fini 2 at " + std::to_string(StartedModules)); };
  Logged[6].Finalise = [] { StepLog.push_back("fini 6 at " + std::to_string(StartedModules)); };
  Logged[0].Finalise = [] { StepLog.push_back("fini 0 at " + std::to_string(StartedModules)); };
  std::uint32_t Code = RunProcess([] {
    StartProgram(Logged);
    StepLog.push_back("started " + std::to_string(StartedModules));
    FinishProcess();
  });
  EXPECT_EQ(Code, 0u);
  EXPECT_EQ(StepLog, (std::vector<std::string>{"init 2 at 3", "started 7", "fini 6 at 6",
                                               "fini 2 at 2", "fini 0 at 0"}));
  EXPECT_TRUE(Fake.Prepared);
}

TEST_F(ProcessTest, NormalEndWritesOutHeldOutputAndExitsZero) {
  std::uint32_t Code = Run([] {
    EmitString(StdOutText, "held", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  });
  EXPECT_EQ(Code, 0u);
  EXPECT_EQ(Out(), "held\r\n");
  EXPECT_EQ(Err(), "");
  EXPECT_EQ(PendingIoError, ErrorNotOpen); // standard error's close, harmless
}

TEST_F(ProcessTest, IoFailureReportsAfterWritingHeldOutput) {
  Fake.QueueReadError(1117);
  std::uint32_t Code = Run([] {
    EmitString(StdOutText, "before", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
    std::string Line;
    ReadLineText(StdInText, Line);
    CheckIo();
    ADD_FAILURE() << "CheckIo returned";
  });
  EXPECT_EQ(Code, 1u);
  EXPECT_EQ(Out(), "before\r\n");
  EXPECT_EQ(Err().substr(0, 40), "Exception EInOutError in module kviz at ");
  EXPECT_EQ(Err().substr(48), ".\r\nI/O error 1117.\r\n\r\n");
  // Standard output first, then the report.
  EXPECT_EQ(Fake.WriteCalls().front(), "WriteFile 1 8");
}

TEST_F(ProcessTest, IoFailureReportHasThreeLines) {
  Fake.HandleMissing[1] = true;
  std::uint32_t Code = Run([] {
    EmitString(StdOutText, "x", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  });
  EXPECT_EQ(Code, 1u);
  ASSERT_GE(Err().size(), 51u);
  EXPECT_EQ(Err().substr(0, 40), "Exception EInOutError in module kviz at ");
  EXPECT_EQ(Err().substr(48), ".\r\nI/O error 105.\r\n\r\n");
  // Written as the report text, then CR LF by itself.
  EXPECT_EQ(Fake.WriteCalls(), (std::vector<std::string>{"WriteFile 2 67", "WriteFile 2 2"}));
}

TEST_F(ProcessTest, FailedFlushInTheReportRaisesASecondReportInstead) {
  Fake.Writes.push_back({0, 112}); // the flush of held output fails
  std::uint32_t Code = Run([] {
    EmitString(StdOutText, "held", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
    SetPendingIoError(2);
    CheckIo();
  });
  EXPECT_EQ(Code, 1u);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Err().find("File not found"), std::string::npos);
  EXPECT_NE(Err().find("\r\nI/O error 112.\r\n\r\n"), std::string::npos);
  EXPECT_EQ(Err().find("Exception"), Err().rfind("Exception")); // one report only
}

TEST_F(ProcessTest, FailedFinalWriteOutIsReportedNotPassedAsSuccess) {
  Fake.Writes.push_back({0, 223});
  std::uint32_t Code = Run([] {
    EmitString(StdOutText, "lost", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  });
  EXPECT_EQ(Code, 1u);
  EXPECT_NE(Err().find("\r\nI/O error 223.\r\n\r\n"), std::string::npos);
}

TEST_F(ProcessTest, WithoutHooksAPendingCodeEndsWithItsLowByte) {
  Fake.FileType[1] = FileTypeChar;
  SetSteps(nullptr, nullptr);
  Steps[5] = {nullptr, nullptr};
  SetPendingIoError(1784);
  EXPECT_EQ(Run([] { CheckIo(); }), 248u);
  EXPECT_EQ(Out().substr(0, 18), "Runtime error 248 ");
  EXPECT_EQ(Out().substr(29), std::string(1, '\0') + "\r\n");
  EXPECT_EQ(Err(), "");
}

TEST_F(ProcessTest, WithoutHooksANumberOfZeroBecomes255) {
  Steps[5] = {nullptr, nullptr};
  SetPendingIoError(256);
  EXPECT_EQ(Run([] { CheckIo(); }), 255u);
  EXPECT_EQ(Out().substr(0, 18), "Runtime error 255 ");
  EXPECT_EQ(RunErrorNumber(22), 255);
  EXPECT_EQ(RunErrorNumber(5), 215);
  EXPECT_EQ(RunErrorNumber(100), 100);
  EXPECT_EQ(RunErrorNumber(0x80 | 3), 0x83); // callers pass kinds already cut to 7 bits
}

TEST_F(ProcessTest, RunErrorKindsBecomeTheirClassesWithHooks) {
  std::uint32_t Code = Run([] { RaiseRunError(0x80 | 4, At(0x400000)); });
  EXPECT_EQ(Code, 1u);
  EXPECT_EQ(Err(),
            "Exception ERangeError in module kviz at 00000000.\r\nRange check error.\r\n\r\n");
}

TEST_F(ProcessTest, OutOfMemoryRaisesThePreMadeObject) {
  EXPECT_EQ(Run([] { throw std::bad_alloc(); }), 1u);
  EXPECT_NE(Err().find("Exception EOutOfMemory in module "), std::string::npos);
  EXPECT_NE(Err().find("\r\nOut of memory.\r\n\r\n"), std::string::npos);
}

TEST_F(ProcessTest, OutOfMemoryWithoutHooksEndsWith203) {
  Steps[5] = {nullptr, nullptr};
  EXPECT_EQ(Run([] { throw std::bad_alloc(); }), 203u);
}

TEST_F(ProcessTest, RaisingFinalisationStepLetsLowerStepsRunThenEndsWith217) {
  SetSteps(nullptr, [] {
    StepLog.push_back("fini 6");
    SetPendingIoError(2);
    CheckIo();
  });
  Steps[3].Finalise = [] { StepLog.push_back("fini 3"); };
  Fake.FileType[1] = FileTypeChar;
  EXPECT_EQ(Run([] {}), 217u);
  EXPECT_EQ(StepLog, (std::vector<std::string>{"fini 6", "fini 3"}));
  // The hooks were gone by the time it arrived: the short text, not the report.
  EXPECT_EQ(Out().substr(0, 18), "Runtime error 217 ");
  EXPECT_EQ(Err(), "");
}

TEST_F(ProcessTest, RaisingInitialisationStepFinalisesWhatStarted) {
  Steps[3] = {[] { StepLog.push_back("init 3"); }, [] { StepLog.push_back("fini 3"); }};
  Steps[6].Initialise = [] {
    SetPendingIoError(5);
    CheckIo();
  };
  Steps[6].Finalise = [] { StepLog.push_back("fini 6"); };
  Fake.FileType[1] = FileTypeChar;
  EXPECT_EQ(Run([] { ADD_FAILURE() << "body ran"; }), 217u);
  EXPECT_EQ(StepLog, (std::vector<std::string>{"init 3", "fini 6", "fini 3"}));
}

TEST_F(ProcessTest, ProcessorFaultEndsThroughTheFaultNumberTable) {
  EXPECT_EQ(FaultNumber(StatusAccessViolation), 216);
  EXPECT_EQ(FaultNumber(StatusIntegerDivideByZero), 200);
  EXPECT_EQ(FaultNumber(StatusStackOverflow), 202);
  EXPECT_EQ(FaultNumber(0x12345678), 255);

  EmitString(StdOutText, "held", 0);
  StartedModules = ModuleCount; // the run-time core is started, so its close runs
  try {
    HandleProcessorFault(StatusIntegerDivideByZero, At(0x1234));
  } catch (const TFakeExit& Exit) {
    EXPECT_EQ(Exit.Code, 200u);
  }
  EXPECT_EQ(Out(), "held" + std::string("Runtime error 200 at 00001234", 29) + '\0' + "\r\n");
}

TEST_F(ProcessTest, WithoutTheConsoleFlagReportsGoToAMessage) {
  ConsoleApp = 0;
  EInOutError Failure("Disk full", 101);
  ReportException(&Failure, At(0x400000));
  ASSERT_EQ(Fake.Messages.size(), 1u);
  EXPECT_EQ(Fake.Messages[0].substr(0, 28), "Application Error: Exception");
  EXPECT_TRUE(Fake.WriteCalls().empty());
}

} // namespace
