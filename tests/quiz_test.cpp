// The game in-process over the scripted platform, with the clock chosen so that the draws
// are known: every question's exact text, the answer rules, the waits, and whole games.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_text.h"
#include "console/random.h"
#include "draws.h"
#include "fake_platform.h"
#include "quiz/quiz.h"

namespace {

// The questions as the player must see them, written out independently of the bank.
const char* const QuestionText[13] = {
    "",
    "Kako se zove programski jezik u kome je ova igra napisana? \r\n",
    "Koji tip varijabli ima samo cjelobrojne vrijednosti?\r\n",
    "DIV u integeru oznacava:\r\n1) Podjeli dva broja a ostatak zanemari.\r\n"
    "2) Podjeli dva broja a ispisi ostatak.\r\n1/2?",
    "Koji tip varijabli korisimo za rad sa realnim brojevima?\r\n",
    "Koju naredbu korisimo za korjenovanje izraza?\r\n",
    "Koji tip varijabli ima samo 2 stanja (TRUE i FALSE)?\r\n",
    "Varijablom tipa CHAR mozemo da zapamtimo svaki unos sa tastature\r\n"
    "u duzini od jednog znaka.\r\n1) Da.\r\n2) Ne.\r\n",
    "Da li u INTEGERU mozemo da koristimo znak za djeljenje (/)?\r\n1) Da.\r\n2) Ne.\r\n",
    "Program napisan u Paskalu se:\r\n1) Kompajlira.\r\n2) Interpretira.\r\n",
    "U izrazu s:=1000*1000, varijabla \"s\" mora biti iz skupa:\r\n1) Integer.\r\n2) Real.\r\n",
    "Svaka procedure moze da zamjeni funkciju.\r\n1) Da.\r\n2) Ne.\r\n",
    "Funkcija moze sadrzavati naredbu \"write\" i \"raed\"?\r\n1) Da.\r\n2) Ne.\r\n",
};
const char* const AcceptedAnswer[13] = {"",  "paskal", "integer", "1", "real", "sqrt", "boolean",
                                        "1", "2",      "1",       "2", "1",    "2"};

const std::string Correct = "Tacan odgovor.\r\n";

std::string WrongReport(const std::string& Expected, int Right) {
  return "Pogresan odgovor, tacan odgovor je " + Expected + ".\r\nBroj netacnih odgovora: 1" +
         "Broj tacnih odgovora: " + std::to_string(Right) + "\r\nPritisni \"Enter\" za izlaz!\r\n";
}

class QuizTest : public FakeTest {
protected:
  void SetUp() override {
    FakeTest::SetUp();
    Answer.clear();
    ExpectedAnswer.clear();
    CorrectCount = WrongCount = 0;
    GameOver = 0;
    RandomSeed = 0;
  }
  void Draws(std::initializer_list<std::uint32_t> List) {
    for (std::uint32_t Draw : List) Fake.Counters.push_back(CounterForDraw(Draw));
  }
  // Plays one whole game; returns the exit code.
  std::uint32_t Play(const std::string& Input) {
    if (!Input.empty()) Fake.QueueInput(Input);
    return RunProcess(QuizMain);
  }
  const std::string& Out() const { return Fake.Written[1]; }
};

class EveryQuestionTest : public QuizTest, public testing::WithParamInterface<int> {};

TEST_P(EveryQuestionTest, AskedExactlyAndJudgedRightThenWrong) {
  const int K = GetParam();
  Draws({static_cast<std::uint32_t>(K), static_cast<std::uint32_t>(K)});
  std::string Input = std::string(AcceptedAnswer[K]) + "\r\n\r\n" + "x\n\n\n";
  EXPECT_EQ(Play(Input), 0u);
  EXPECT_EQ(Out(), QuestionText[K] + Correct + QuestionText[K] + WrongReport(AcceptedAnswer[K], 1));
  EXPECT_EQ(Fake.Written[2], "");
}

INSTANTIATE_TEST_SUITE_P(Bank, EveryQuestionTest, testing::Range(1, 13));

TEST_F(QuizTest, RunOfCorrectAnswersThenAWrongOne) {
  Draws({4, 0, 3, 4, 12});
  EXPECT_EQ(Play("real\n\n1\r\n\r\nreal\nanything\nint\nEnter\n\n"), 0u);
  EXPECT_EQ(Out(), QuestionText[4] + Correct + QuestionText[3] + Correct + QuestionText[4] +
                       Correct + QuestionText[12] + WrongReport("2", 3));
  EXPECT_EQ(CorrectCount, 3);
  EXPECT_EQ(WrongCount, 1);
  EXPECT_TRUE(Fake.Counters.empty()); // one reseed per draw, a draw of 0 included
}

TEST_F(QuizTest, DrawsOfZeroAskNothing) {
  Draws({0, 0, 0, 5});
  EXPECT_EQ(Play(""), 0u);
  EXPECT_EQ(Out(), QuestionText[5] + WrongReport("sqrt", 0));
}

TEST_F(QuizTest, EmptyInputGivesTheFirstQuestionAndTheReport) {
  Draws({9});
  EXPECT_EQ(Play(""), 0u);
  EXPECT_EQ(Out(), QuestionText[9] + WrongReport("1", 0));
  // Standard input is read once: the end-of-input marker answers the waits.
  int Reads = 0;
  for (const std::string& Call : Fake.Calls) Reads += Call.rfind("ReadFile", 0) == 0;
  EXPECT_EQ(Reads, 1);
}

TEST_F(QuizTest, ClockFailureFallsBackToTheTickCount) {
  Fake.Ticks = static_cast<std::uint32_t>(CounterForDraw(6));
  EXPECT_EQ(Play(""), 0u); // no counters queued: every read of the counter fails
  EXPECT_EQ(Out(), QuestionText[6] + WrongReport("boolean", 0));
}

struct TAnswerCase {
  const char* Name;
  int Question;
  std::string Line; // the answer as typed, with its line end if any
  bool Accepted;
};

class AnswerRuleTest : public QuizTest, public testing::WithParamInterface<TAnswerCase> {};

TEST_P(AnswerRuleTest, ComparedByteForByte) {
  const TAnswerCase& Case = GetParam();
  Draws({static_cast<std::uint32_t>(Case.Question), 2});
  // After a line end: the continue line, then a wrong answer to question 2 and its waits.
  const bool HasLineEnd = !Case.Line.empty() && Case.Line.back() == '\n';
  Play(Case.Line + (HasLineEnd ? "\nint\n\n\n" : ""));
  EXPECT_EQ(CorrectCount, Case.Accepted ? 1 : 0);
  EXPECT_EQ(WrongCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AnswerRuleTest,
    testing::Values(
        TAnswerCase{"Exact", 1, "paskal\n", true}, TAnswerCase{"CrLf", 1, "paskal\r\n", true},
        TAnswerCase{"EndOfInputWithoutLineEnd", 1, "paskal", true},
        TAnswerCase{"CapitalLetter", 1, "Paskal\n", false},
        TAnswerCase{"TrailingBlank", 1, "paskal \n", false},
        TAnswerCase{"LeadingBlank", 1, " paskal\n", false},
        TAnswerCase{"DigitWithFullStop", 3, "1.\n", false},
        TAnswerCase{"DigitWithBlank", 8, "2 \n", false}, TAnswerCase{"Digit", 8, "2\n", true},
        TAnswerCase{"EmptyLine", 1, "\n", false}, TAnswerCase{"LoneCrDropped", 4, "re\ral\n", true},
        TAnswerCase{"LongerThanAChunk", 1, "paskal" + std::string(300, 'x') + "\n", false}),
    [](const testing::TestParamInfo<TAnswerCase>& Info) { return Info.param.Name; });

TEST_F(QuizTest, LongLineIsOneAnswerAndEachWaitOneLine) {
  Draws({1});
  Play(std::string(600, 'p') + "\na\nb\ntail\n");
  EXPECT_EQ(Out(), QuestionText[1] + WrongReport("paskal", 0));
  const auto* Unread = reinterpret_cast<const char*>(StdInText.BufferData + StdInText.BufferPos);
  EXPECT_EQ(std::string(Unread, StdInText.BufferEnd - StdInText.BufferPos), "tail\n");
}

TEST_F(QuizTest, TextTypedDuringTheWaitsIsNeverJudged) {
  // The continue line after a correct answer holds the next answer's text; then both waits
  // after the wrong answer hold correct answers.
  Draws({2, 2});
  EXPECT_EQ(Play("integer\ninteger\nreal\ninteger\ninteger\n"), 0u);
  EXPECT_EQ(CorrectCount, 1);
  EXPECT_EQ(WrongCount, 1);
  EXPECT_EQ(Out(), QuestionText[2] + Correct + QuestionText[2] + WrongReport("integer", 1));
}

TEST_F(QuizTest, OnAConsoleEveryStatementIsOutBeforeTheGameWaits) {
  Fake.FileType[1] = FileTypeChar;
  Draws({3});
  Play("");
  std::vector<std::string> Expected = {
      "GetStdHandle -11", "GetFileType 1",    "WriteFile 1 26", "WriteFile 1 42", "WriteFile 1 40",
      "WriteFile 1 4",    "GetStdHandle -10", "ReadFile 0 128", "WriteFile 1 39", "WriteFile 1 24",
      "WriteFile 1 1",    "WriteFile 1 22",   "WriteFile 1 1",  "WriteFile 1 2",  "WriteFile 1 28"};
  EXPECT_EQ(Fake.Calls, Expected);
}

TEST_F(QuizTest, ToAFileOutputGoesInWholeBuffersAndAtTheEnd) {
  Draws({7, 7, 7});
  Play("1\n\n1\n\n2\n\n\n");
  std::vector<std::string> Writes = Fake.WriteCalls();
  ASSERT_GE(Writes.size(), 2u);
  for (std::size_t I = 0; I + 1 < Writes.size(); ++I) EXPECT_EQ(Writes[I], "WriteFile 1 128");
  EXPECT_EQ(Out(), QuestionText[7] + Correct + QuestionText[7] + Correct + QuestionText[7] +
                       WrongReport("1", 2));
}

TEST_F(QuizTest, FailingOutputEndsTheGameWithTheReport) {
  Fake.FileType[1] = FileTypeChar;
  Fake.Writes.push_back({0, 232});
  Draws({5});
  EXPECT_EQ(Play("sqrt\n\n"), 1u);
  EXPECT_NE(Fake.Written[2].find("\r\nI/O error 232.\r\n\r\n"), std::string::npos);
  EXPECT_EQ(Answer, ""); // the question's read never ran
}

TEST(RandomTest, StepEdges) {
  struct {
    std::uint32_t Seed, NewSeed, Draw;
  } const Cases[] = {{0, 1, 0}, {1, 0x08088406u, 0}, {0xFFFFFFFFu, 0xF7F77BFCu, 12}};
  for (const auto& Case : Cases) {
    RandomSeed = Case.Seed;
    EXPECT_EQ(DrawBelow(13), Case.Draw);
    EXPECT_EQ(RandomSeed, Case.NewSeed);
  }
  RandomSeed = 12345;
  EXPECT_EQ(DrawBelow(0), 0u);
  EXPECT_EQ(DrawBelow(1), 0u);
  EXPECT_EQ(RandomSeed, 12345u * 0x08088405u * 0x08088405u + 0x08088405u + 1u);
}

TEST(RandomTest, EachValueTakesAnEqualShare) {
  constexpr std::uint32_t PerValue = 200000;
  std::uint32_t Count[13] = {};
  for (std::uint32_t Seed = 0; Seed < 13 * PerValue; ++Seed) {
    RandomSeed = Seed * 2654435761u; // spread over the whole range of states
    ++Count[DrawBelow(13)];
  }
  for (std::uint32_t N : Count) {
    EXPECT_GT(N, PerValue * 98 / 100);
    EXPECT_LT(N, PerValue * 102 / 100);
  }
}

TEST(RandomTest, CounterForDrawHitsEveryQuestion) {
  for (std::uint32_t K = 0; K <= 12; ++K) {
    RandomSeed = static_cast<std::uint32_t>(CounterForDraw(K));
    EXPECT_EQ(DrawBelow(13), K);
  }
}

} // namespace
