// Line input over the scripted platform: the line-end rules, lines across buffer loads, the
// end-of-input marker, and read failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_text.h"
#include "fake_platform.h"

namespace {

class InputTest : public FakeTest {
protected:
  std::string ReadLine() {
    std::string Line;
    ReadLineText(StdInText, Line);
    return Line;
  }
  // Reads the line and skips its end, as the game's answer statement does.
  std::string ReadAnswer() {
    std::string Line = ReadLine();
    FinishInputLine(StdInText);
    return Line;
  }
  int ReadCalls() const {
    int N = 0;
    for (const std::string& Call : Fake.Calls) N += Call.rfind("ReadFile", 0) == 0;
    return N;
  }
};

struct TLineCase {
  const char* Name;
  std::vector<std::string> Loads; // what each read returns
  std::vector<std::string> Lines; // what successive answer reads give
};

class LineEndTest : public InputTest, public testing::WithParamInterface<TLineCase> {};

TEST_P(LineEndTest, GivesTheLinesAndConsumesTheirEnds) {
  for (const std::string& Load : GetParam().Loads) Fake.QueueInput(Load);
  for (const std::string& Expected : GetParam().Lines) EXPECT_EQ(ReadAnswer(), Expected);
  EXPECT_EQ(PendingIoError, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LineEndTest,
    testing::Values(TLineCase{"Lf", {"real\nnext\n"}, {"real", "next", ""}},
                    TLineCase{"CrLf", {"real\r\nnext\r\n"}, {"real", "next", ""}},
                    TLineCase{"LoneCrDropped", {"re\ral\r\nx\n"}, {"real", "x"}},
                    TLineCase{"CrLfSplitAcrossLoads", {"real\r", "\nnext\n"}, {"real", "next"}},
                    TLineCase{"LoneCrMidLine", {"a\n", "b\rc\nd\n"}, {"a", "bc", "d"}},
                    TLineCase{"EndOfInputWithoutLineEnd", {"abc"}, {"abc", "", ""}},
                    TLineCase{"NoInput", {}, {"", ""}},
                    TLineCase{"EmptyLines", {"\n\r\n\n"}, {"", "", "", ""}},
                    TLineCase{"MarkerInBufferConsumedByLineRead",
                              {"ab\x1a"
                               "cd\r\nef\n"},
                              {"ab", "ef"}},
                    TLineCase{"NulAndHighBytesPass",
                              {std::string("a\0\xff\x80z\n", 6)},
                              {std::string("a\0\xff\x80z", 5)}}),
    [](const testing::TestParamInfo<TLineCase>& Info) { return Info.param.Name; });

TEST_F(InputTest, CrBeforeLfInTheBufferLeavesBothUnread) {
  Fake.QueueInput("real\r\nx");
  EXPECT_EQ(ReadLine(), "real");
  EXPECT_EQ(StdInText.BufferPos, 4u);
  FinishInputLine(StdInText);
  EXPECT_EQ(StdInText.BufferPos, 6u);
}

TEST_F(InputTest, SkipGoesOnPastLoneCrs) {
  Fake.QueueInput("x\r\ry\r\nnext\n");
  FinishInputLine(StdInText);
  EXPECT_EQ(ReadAnswer(), "next");
}

TEST_F(InputTest, MarkerAtStartOfFreshLoadStaysUnread) {
  Fake.QueueInput("ab");
  Fake.QueueInput("\x1a"
                  "cd\n");
  EXPECT_EQ(ReadLine(), "ab");
  FinishInputLine(StdInText); // meets the 26 and leaves it
  EXPECT_EQ(StdInText.BufferPos, 0u);
  FinishInputLine(StdInText);
  EXPECT_EQ(StdInText.BufferPos, 0u);
  EXPECT_EQ(ReadLine(), ""); // now taken straight from the buffer, so consumed
  EXPECT_EQ(ReadAnswer(), "cd");
  EXPECT_EQ(ReadCalls(), 2);
}

TEST_F(InputTest, EndOfInputIsReadOnceThenTheMarkerAnswers) {
  EXPECT_EQ(ReadLine(), "");
  for (int I = 0; I < 3; ++I) FinishInputLine(StdInText);
  EXPECT_EQ(ReadCalls(), 1);
  EXPECT_EQ(StdInText.BufferEnd, 1u);
  EXPECT_EQ(StdInText.InlineBuffer[0], 26);
  // A line read consumes the marker, so the one after it asks the handle again.
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(ReadCalls(), 1);
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(ReadCalls(), 2);
}

TEST_F(InputTest, ByteReadAfterEndReturnsTheMarkerWithoutReading) {
  TInputChar First = NextInputChar(StdInText);
  TInputChar Second = NextInputChar(StdInText);
  EXPECT_TRUE(First.End && Second.End);
  EXPECT_EQ(First.Byte, 26);
  EXPECT_EQ(ReadCalls(), 1);
}

TEST_F(InputTest, OpensOnFirstReadWithoutLookingAtTheFileType) {
  Fake.QueueInput("x\n");
  ReadAnswer();
  EXPECT_EQ(Fake.Calls, (std::vector<std::string>{"GetStdHandle -10", "ReadFile 0 128"}));
  EXPECT_EQ(StdInText.OpenMode, ModeInput);
  EXPECT_EQ(StdInText.TextFlags, CrLfFlag);
  EXPECT_EQ(StdInText.BufferData, StdInText.InlineBuffer);
  EXPECT_EQ(StdInText.TransferHandler, FillInputBuffer);
  EXPECT_EQ(StdInText.CloseHandler, NoOpHandler);
}

class LineLengthTest : public InputTest, public testing::WithParamInterface<int> {};

TEST_P(LineLengthTest, ArrivesWholeAcrossLoadsAndChunks) {
  std::string Line;
  for (int I = 0; I < GetParam(); ++I) Line += static_cast<char>('a' + I % 26);
  Fake.QueueInput(Line + "\r\nnext\r\n"); // handed out 128 bytes a read
  EXPECT_EQ(ReadAnswer(), Line);
  EXPECT_EQ(ReadAnswer(), "next");
}

INSTANTIATE_TEST_SUITE_P(Lengths, LineLengthTest,
                         testing::Values(0, 1, 126, 127, 128, 129, 254, 255, 256, 300, 510,
                                         100000));

TEST_F(InputTest, ChunkStopsAtMaxWithoutLookingFurther) {
  Fake.QueueInput("abcdef\n");
  std::uint8_t Dest[4];
  EXPECT_EQ(ReadLineChunk(StdInText, Dest, 4), 4);
  EXPECT_EQ(StdInText.BufferPos, 4u);
  EXPECT_EQ(ReadLineChunk(StdInText, Dest, 0), 0);
  EXPECT_EQ(ReadLineChunk(StdInText, Dest, 4), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Dest), 2), "ef");
}

TEST_F(InputTest, ReadErrorIsPendingAndTheLineKeepsItsBytes) {
  Fake.QueueInput("abc");
  Fake.QueueReadError(1117);
  Fake.QueueInput("de\n");
  EXPECT_EQ(ReadLine(), "abc");
  EXPECT_EQ(PendingIoError, 1117);
  EXPECT_EQ(StdInText.BufferPos, 0u);
  EXPECT_EQ(StdInText.BufferEnd, 0u);
  PendingIoError = 0;
  EXPECT_EQ(ReadAnswer(), "de"); // the next read asks the handle again
}

TEST_F(InputTest, BrokenPipeIsTheEndOfInput) {
  Fake.QueueInput("abc");
  Fake.QueueReadError(ErrorBrokenPipe);
  EXPECT_EQ(ReadAnswer(), "abc");
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(StdInText.InlineBuffer[0], 26);
}

TEST_F(InputTest, MissingHandleRecords104AndTriesAgainNextTime) {
  Fake.HandleMissing[0] = true;
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForInput);
  EXPECT_EQ(StdInText.OpenMode, ModeClosed);
  Fake.HandleMissing[0] = false;
  PendingIoError = 0;
  Fake.QueueInput("x\n");
  EXPECT_EQ(ReadAnswer(), "x");
}

TEST_F(InputTest, OtherRecordIsNeverOpenedByARead) {
  TConsoleText Other{};
  Other.OpenMode = ModeClosed;
  EXPECT_TRUE(NextInputChar(Other).End);
  EXPECT_EQ(PendingIoError, ErrorNotOpenForInput);
  EXPECT_TRUE(Fake.Calls.empty());
}

TEST_F(InputTest, WithoutCrLfFlagByte26IsOrdinaryAndNoMarkerIsLeft) {
  Fake.QueueInput("a\n");
  ReadAnswer();
  StdInText.TextFlags = 0;
  Fake.QueueInput("b\x1a"
                  "c\n");
  EXPECT_EQ(ReadAnswer(), "b\x1a"
                          "c");
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(StdInText.BufferEnd, 0u);
}

TEST_F(InputTest, OpenAndCloseCodes) {
  TConsoleText Unset{}; // never set up: its mode is outside the known range
  EXPECT_EQ(OpenStream(Unset, ModeInput), ErrorBadRecord);
  EXPECT_EQ(PendingIoError, ErrorBadRecord);

  PendingIoError = 0;
  EXPECT_EQ(CloseStream(StdInText), 0); // not open, but standard input is exempt
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(CloseStream(StdErrText), 0);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);
}

} // namespace
