// Buffered output over the scripted platform: when bytes reach the handle on a console, a file
// and a pipe, at every fill level; blanks, widths and decimal text; failed opens and writes.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "console/console_text.h"
#include "fake_platform.h"

namespace {

using Calls = std::vector<std::string>;

class OutputTest : public FakeTest {
protected:
  void UseConsole() { Fake.FileType[1] = FileTypeChar; }
  // Leaves N bytes held in a freshly opened StdOutText, with nothing written yet. A string
  // that fills the buffer goes out at once, so the 128th byte comes alone.
  void Hold(int N) {
    EmitString(StdOutText, std::string(N < 128 ? N : 127, 'h'), 0);
    if (N == 128) EmitChar(StdOutText, 'h');
    Fake.Calls.clear();
  }
  const std::string& Out() const { return Fake.Written[1]; }
};

TEST_F(OutputTest, ConsoleWritesEachStatementAtItsEnd) {
  UseConsole();
  EmitString(StdOutText, "Tacan odgovor.", 0);
  EXPECT_TRUE(Fake.WriteCalls().empty());
  EmitLineBreak(StdOutText);
  EXPECT_EQ(Fake.Calls, (Calls{"GetStdHandle -11", "GetFileType 1", "WriteFile 1 16"}));
  EXPECT_EQ(Out(), "Tacan odgovor.\r\n");
  EmitString(StdOutText, "1/2?", 0);
  EndWriteStatement(StdOutText);
  EXPECT_EQ(Out(), "Tacan odgovor.\r\n1/2?");
}

TEST_F(OutputTest, FileAndPipeWriteOnlyWholeBuffersUntilClosed) {
  for (std::uint32_t Type : {FileTypeDisk, FileTypePipe}) {
    ResetStreams();
    Fake.FileType[1] = Type;
    Fake.Written[1].clear();
    Fake.Calls.clear();
    for (int I = 0; I < 10; ++I) {
      EmitString(StdOutText, "Tacan odgovor.", 0);
      EmitLineBreak(StdOutText); // 16 bytes a statement
    }
    EXPECT_EQ(Fake.WriteCalls(), Calls{"WriteFile 1 128"});
    EXPECT_EQ(CloseStream(StdOutText), 0);
    EXPECT_EQ(Fake.WriteCalls(), (Calls{"WriteFile 1 128", "WriteFile 1 32"}));
    EXPECT_EQ(Out().size(), 160u);
  }
}

struct TFillCase {
  int Held;
  int Added;
  Calls Writes;  // during the emit
  unsigned Left; // held afterwards
};

class FillLevelTest : public OutputTest, public testing::WithParamInterface<TFillCase> {};

TEST_P(FillLevelTest, BufferGoesOutEachTimeItFills) {
  const TFillCase& Case = GetParam();
  Hold(Case.Held);
  EmitString(StdOutText, std::string(Case.Added, 'x'), 0);
  EXPECT_EQ(Fake.WriteCalls(), Case.Writes);
  EXPECT_EQ(StdOutText.BufferPos, Case.Left);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), std::string(Case.Held, 'h') + std::string(Case.Added, 'x'));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, FillLevelTest,
    testing::Values(TFillCase{0, 1, {}, 1}, TFillCase{0, 127, {}, 127},
                    TFillCase{0, 128, {"WriteFile 1 128"}, 0},
                    TFillCase{0, 300, {"WriteFile 1 128", "WriteFile 1 128"}, 44},
                    TFillCase{1, 127, {"WriteFile 1 128"}, 0}, TFillCase{1, 126, {}, 127},
                    TFillCase{127, 1, {"WriteFile 1 128"}, 0},
                    TFillCase{127, 2, {"WriteFile 1 128"}, 1},
                    // A full buffer goes out at the next emit, even one of no bytes.
                    TFillCase{128, 0, {"WriteFile 1 128"}, 0},
                    TFillCase{128, 1, {"WriteFile 1 128"}, 1}));

TEST_F(OutputTest, ByteThatFillsTheBufferLeavesItFull) {
  Hold(127);
  EmitChar(StdOutText, '!');
  EXPECT_TRUE(Fake.WriteCalls().empty());
  EXPECT_EQ(StdOutText.BufferPos, 128u);
  EmitChar(StdOutText, '?');
  EXPECT_EQ(Fake.WriteCalls(), Calls{"WriteFile 1 128"});
  EXPECT_EQ(StdOutText.BufferPos, 1u);
}

TEST_F(OutputTest, EmptyStringOpensTheStream) {
  EmitString(StdOutText, "", 0);
  EXPECT_EQ(StdOutText.OpenMode, ModeOutput);
  EXPECT_EQ(StdOutText.BufferPos, 0u);
}

TEST_F(OutputTest, LineBreakIsCrLfEvenAsTheFirstWrite) {
  EmitLineBreak(StdOutText);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), "\r\n");
}

TEST_F(OutputTest, StandardErrorBindsItsOwnHandle) {
  Fake.FileType[2] = FileTypeChar;
  EmitString(StdErrText, "e", 0);
  EmitLineBreak(StdErrText);
  EXPECT_EQ(Fake.Written[2], "e\r\n");
  EXPECT_EQ(Fake.Calls.front(), "GetStdHandle -12");
}

struct TFieldCase {
  std::int32_t Value;
  std::int32_t Width;
  const char* Text;
};

class IntegerFieldTest : public OutputTest, public testing::WithParamInterface<TFieldCase> {};

TEST_P(IntegerFieldTest, RightAlignsWithoutEverCutting) {
  EmitInteger(StdOutText, GetParam().Value, GetParam().Width);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), GetParam().Text);
  EXPECT_EQ(FormatDecimal(GetParam().Value).View(),
            std::string(GetParam().Text).substr(Out().find_first_not_of(' ')));
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerFieldTest,
    testing::Values(TFieldCase{0, 0, "0"}, TFieldCase{-1, 0, "-1"}, TFieldCase{9, 0, "9"},
                    TFieldCase{10, 0, "10"}, TFieldCase{-10, 0, "-10"},
                    TFieldCase{INT_MAX, 0, "2147483647"}, TFieldCase{INT_MIN, 0, "-2147483648"},
                    TFieldCase{42, 5, "   42"}, TFieldCase{42, 2, "42"}, TFieldCase{42, 1, "42"},
                    TFieldCase{-7, 3, " -7"}, TFieldCase{5, -3, "5"},
                    TFieldCase{INT_MIN, INT_MIN, "-2147483648"},
                    TFieldCase{INT_MIN, 12, " -2147483648"}));

TEST_F(OutputTest, StringWidths) {
  EmitString(StdOutText, "abc", 2);
  EmitString(StdOutText, "abc", 3);
  EmitString(StdOutText, "abc", 5);
  EmitString(StdOutText, "", INT_MIN);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), "abcabc  abc");
}

TEST_F(OutputTest, WideFieldTakesBlanksInPiecesOf64) {
  EmitString(StdOutText, "0123456789", 200);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), std::string(190, ' ') + "0123456789");
  // A failure stops the blanks after the piece that met it.
  ResetStreams();
  Hold(100);
  Fake.Writes.push_back({0, 112});
  EmitBlanks(StdOutText, 200);
  EXPECT_EQ(Fake.WriteCalls(), Calls{"WriteFile 1 128"});
  EXPECT_EQ(PendingIoError, 112);
  EXPECT_EQ(StdOutText.BufferPos, 0u);
}

TEST_F(OutputTest, FailedWriteDropsTheBufferAndTheRestOfTheItem) {
  Hold(100);
  Fake.Writes.push_back({0, 232});
  EmitString(StdOutText, std::string(300, 'x'), 0);
  EXPECT_EQ(Fake.WriteCalls(), Calls{"WriteFile 1 128"});
  EXPECT_EQ(PendingIoError, 232);
  EXPECT_EQ(StdOutText.BufferPos, 0u);
  EXPECT_EQ(Out(), "");
  // The stream goes on afterwards with what comes next.
  EmitString(StdOutText, "y", 0);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), "y");
}

TEST_F(OutputTest, FailedWriteDropsTheByte) {
  Hold(128);
  Fake.Writes.push_back({0, 112});
  EmitChar(StdOutText, 'z');
  EXPECT_EQ(PendingIoError, 112);
  EXPECT_EQ(StdOutText.BufferPos, 0u);
}

TEST_F(OutputTest, ShortWritesGoOnWithTheRest) {
  Fake.Writes.push_back({50, 0});
  Fake.Writes.push_back({1, 0});
  EmitString(StdOutText, std::string(128, 'x'), 0);
  EXPECT_EQ(Fake.WriteCalls(), (Calls{"WriteFile 1 128", "WriteFile 1 78", "WriteFile 1 77"}));
  EXPECT_EQ(Out(), std::string(128, 'x'));
  EXPECT_EQ(PendingIoError, 0);
}

TEST_F(OutputTest, WriteThatTakesNothingFails) {
  Fake.Writes.push_back({0, 0});
  EmitString(StdOutText, std::string(128, 'x'), 0);
  EXPECT_EQ(PendingIoError, static_cast<std::int32_t>(ErrorWriteFault));
}

TEST_F(OutputTest, MissingHandleRecords105AndOpensAgainNextTime) {
  Fake.HandleMissing[1] = true;
  EmitString(StdOutText, "lost", 0);
  EXPECT_EQ(PendingIoError, ErrorNotOpenForOutput);
  EXPECT_EQ(StdOutText.OpenMode, ModeClosed);
  PendingIoError = 0;
  Fake.HandleMissing[1] = false;
  EmitString(StdOutText, "kept", 0);
  FlushOutput(StdOutText);
  EXPECT_EQ(Out(), "kept");
}

TEST_F(OutputTest, UnknownFileTypeFailsTheOpen) {
  Fake.FileType[1] = FileTypeUnknown;
  EmitChar(StdOutText, 'x');
  EXPECT_EQ(Fake.Calls, (Calls{"GetStdHandle -11", "GetFileType 1", "CloseHandle 1"}));
  EXPECT_EQ(PendingIoError, ErrorNotOpenForOutput);
  EXPECT_EQ(StdOutText.OpenMode, ModeClosed);
}

TEST_F(OutputTest, StatementEndOnStreamsThatAreNotOpenForOutput) {
  EXPECT_EQ(EndWriteStatement(StdOutText), 0);
  EXPECT_EQ(FlushOutput(StdErrText), 0);
  EXPECT_EQ(StdOutText.OpenMode, ModeClosed); // not opened by it
  TConsoleText Other{};
  Other.OpenMode = ModeClosed;
  EXPECT_EQ(EndWriteStatement(Other), ErrorNotOpen);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);
  PendingIoError = 0;
  EmitChar(Other, 'x'); // never opened by a write either
  EXPECT_EQ(PendingIoError, ErrorNotOpenForOutput);
  PendingIoError = 0;
  Fake.QueueInput("a");
  NextInputChar(StdInText);
  EXPECT_EQ(FlushOutput(StdInText), 0);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_TRUE(Fake.WriteCalls().empty());
}

} // namespace
