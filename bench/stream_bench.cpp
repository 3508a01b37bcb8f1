// The runtime's streams in process, each against its floor: line input against 128-byte reads
// and a memchr per line, a game's write statements against the same write calls of the same
// bytes. Case "X/kviz" has its floor in "X/floor"; bench/run.sh sets their medians side by side.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "console/console_text.h"
#include "quiz/quiz.h"
#include "replaced_new.h" // counts every heap allocation, so that a kviz case can show it made none

namespace {

[[noreturn]] void Die(const char* What) {
  std::perror(What);
  std::exit(1);
}

// Points descriptor Fd at the file at Path while the object lives.
class TRedirect {
public:
  TRedirect(int Fd, const std::string& Path, int Flags) : Fd(Fd), Saved(dup(Fd)) {
    std::fflush(stdout);
    int File = open(Path.c_str(), Flags, 0644);
    if (Saved < 0 || File < 0 || dup2(File, Fd) < 0) Die(Path.c_str());
    close(File);
  }
  ~TRedirect() {
    dup2(Saved, Fd);
    close(Saved);
  }

private:
  int Fd, Saved;
};

// The state the run-time start-up leaves: every stream closed, to be opened on first use.
void ResetStandardStreams() {
  SetUpStandardStreams();
  PendingIoError = 0;
}

std::string ScratchPath(const char* Name) {
  const char* Dir = std::getenv("TMPDIR");
  return std::string(Dir != nullptr && *Dir != 0 ? Dir : "/tmp") + "/" + Name;
}

void CountPerRound(benchmark::State& State, const char* Name, std::uint64_t Count) {
  State.counters[Name] = static_cast<double>(Count) / static_cast<double>(State.iterations());
}

// ---- Line input ------------------------------------------------------------------------------

constexpr std::size_t InputSize = 64u << 20;

struct TInputFile {
  std::string Path;
  std::uint64_t Lines;
};

// Lines of the pattern repeated until the file holds InputSize bytes.
TInputFile MakeInputFile(const char* Name, const std::vector<std::string>& Pattern) {
  std::string Bytes;
  std::uint64_t Lines = 0;
  for (std::size_t I = 0; Bytes.size() < InputSize; I = (I + 1) % Pattern.size(), ++Lines)
    Bytes += Pattern[I] + '\n';
  TInputFile File{ScratchPath(Name), Lines};
  std::FILE* Out = std::fopen(File.Path.c_str(), "wb");
  if (Out == nullptr || std::fwrite(Bytes.data(), 1, Bytes.size(), Out) != Bytes.size() ||
      std::fclose(Out) != 0)
    Die(File.Path.c_str());
  return File;
}

void KvizLines(benchmark::State& State, const TInputFile& File) {
  TRedirect Input(0, File.Path, O_RDONLY);
  // The line has its capacity before the count starts, as the answer has after a game's first
  // few questions.
  std::string Line(16 * 1024, ' ');
  std::uint64_t Lines = 0, Before = Allocations;
  for (auto _ : State) {
    lseek(0, 0, SEEK_SET);
    ResetStandardStreams();
    // Until the end-of-input marker: the last round reads one empty line more than the file has.
    for (Lines = 0; !(StdInText.BufferPos < StdInText.BufferEnd &&
                      StdInText.BufferData[StdInText.BufferPos] == ByteEndOfInput);
         ++Lines) {
      ReadLineText(StdInText, Line);
      FinishInputLine(StdInText);
      CheckIo();
    }
  }
  CountPerRound(State, "allocs", Allocations - Before);
  if (Lines != File.Lines + 1) State.SkipWithError("wrong line count");
}

void FloorLines(benchmark::State& State, const TInputFile& File) {
  TRedirect Input(0, File.Path, O_RDONLY);
  std::uint64_t Lines = 0;
  char Buffer[StdBufferSize];
  for (auto _ : State) {
    lseek(0, 0, SEEK_SET);
    Lines = 0;
    for (ssize_t N; (N = read(0, Buffer, sizeof Buffer)) > 0;)
      for (const char* P = Buffer;
           (P = static_cast<const char*>(std::memchr(P, '\n', Buffer + N - P))); ++P)
        ++Lines;
    benchmark::DoNotOptimize(Lines);
  }
  if (Lines != File.Lines) State.SkipWithError("wrong line count");
}

// ---- Output ----------------------------------------------------------------------------------

constexpr int GameQuestions = 10000;

// Standard input of a game's last question: a wrong answer and the Enters that end the game.
const std::string WrongAnswerPath = ScratchPath("kviz-bench-wrong.txt");

// A game's write statements as the game makes them: questions 1, 2, ..., 12, 1, ... each
// answered right, then one answered wrong, with its counts, and the close at the process end.
void EmitGame() {
  for (int I = 0; I < GameQuestions; ++I) {
    PrintQuestion(I % QuestionCount + 1);
    EmitString(StdOutText, "Tacan odgovor.", 0);
    EmitLineBreak(StdOutText);
    CheckIo();
  }
  TRedirect Input(0, WrongAnswerPath, O_RDONLY);
  CorrectCount = GameQuestions;
  WrongCount = 0;
  AskQuestion(8);
  CloseStream(StdOutText);
  CheckIo();
}

// The host platform, except that standard output is a device of the given type that keeps
// what each write call hands it.
class TRecorder final : public THostPlatform {
public:
  explicit TRecorder(std::uint32_t Type) : Type(Type) {}
  std::string Bytes;
  std::vector<std::uint32_t> Pieces;

  std::uint32_t GetFileType(THandle) override { return Type; }
  bool WriteFile(THandle, const void* B, std::uint32_t C, std::uint32_t& W) override {
    Bytes.append(static_cast<const char*>(B), C);
    Pieces.push_back(W = C);
    return true;
  }

private:
  std::uint32_t Type;
};

struct TOutput {
  std::string Path;
  std::uint32_t Type;
  TRecorder* Recording = nullptr;
};

// A file starts each round empty, as a new game's output does.
void Rewind(benchmark::State& State, const TOutput& Output) {
  if (Output.Type != FileTypeDisk) return;
  State.PauseTiming();
  if (ftruncate(1, 0) != 0 || lseek(1, 0, SEEK_SET) != 0) Die("rewind");
  State.ResumeTiming();
}

void KvizOutput(benchmark::State& State, const TOutput& Output) {
  TRedirect To(1, Output.Path, O_WRONLY | O_CREAT);
  std::uint64_t Before = Allocations;
  for (auto _ : State) {
    Rewind(State, Output);
    ResetStandardStreams();
    EmitGame();
  }
  CountPerRound(State, "allocs", Allocations - Before);
  CountPerRound(State, "writes", Output.Recording->Pieces.size() * State.iterations());
  // The floor replays the recording: a file must have received the same bytes.
  if (Output.Type == FileTypeDisk &&
      lseek(1, 0, SEEK_END) != static_cast<off_t>(Output.Recording->Bytes.size()))
    State.SkipWithError("kviz wrote other bytes than the recording");
}

void FloorOutput(benchmark::State& State, const TOutput& Output) {
  TRedirect To(1, Output.Path, O_WRONLY | O_CREAT);
  for (auto _ : State) {
    Rewind(State, Output);
    const char* Next = Output.Recording->Bytes.data();
    for (std::uint32_t Size : Output.Recording->Pieces) {
      if (write(1, Next, Size) != static_cast<ssize_t>(Size)) Die("write");
      Next += Size;
    }
  }
}

} // namespace

int main(int Argc, char** Argv) {
  constexpr auto Ms = benchmark::kMillisecond;
  Platform->PrepareProcess([](std::uint32_t, const void*) { std::abort(); });
  std::vector<std::string> Answers, Short;
  for (const TQuestion& Question : QuestionBank) {
    Answers.emplace_back(Question.Answer);
    Answers.emplace_back(); // the Enter that continues the game
  }
  for (std::size_t Length = 1; Length <= 32; ++Length)
    Short.emplace_back(Length, 'a' + Length % 26);
  static const TInputFile Inputs[] = {
      MakeInputFile("kviz-bench-answers.txt", Answers),
      MakeInputFile("kviz-bench-short.txt", Short),
      MakeInputFile("kviz-bench-long.txt", {std::string(10 * 1024 - 1, 'x')}),
  };
  const char* InputNames[] = {"LineInput/Answers", "LineInput/Short", "LineInput/Long10K"};
  for (int I = 0; I < 3; ++I) {
    const TInputFile* File = &Inputs[I];
    std::string Name = InputNames[I];
    benchmark::RegisterBenchmark((Name + "/kviz").c_str(), KvizLines, *File)->Unit(Ms);
    benchmark::RegisterBenchmark((Name + "/floor").c_str(), FloorLines, *File)->Unit(Ms);
  }

  std::FILE* Wrong = std::fopen(WrongAnswerPath.c_str(), "wb");
  if (Wrong == nullptr || std::fputs("x\n\n\n", Wrong) < 0 || std::fclose(Wrong) != 0)
    Die(WrongAnswerPath.c_str());
  static TOutput Outputs[] = {{ScratchPath("kviz-bench-output.txt"), FileTypeDisk},
                              {"/dev/null", FileTypeChar}};
  for (TOutput& Output : Outputs) {
    TPlatform* Host = Platform;
    Output.Recording = new TRecorder(Output.Type);
    Platform = Output.Recording;
    ResetStandardStreams();
    EmitGame();
    Platform = Host;
    std::string Name = Output.Type == FileTypeDisk ? "Output/File" : "Output/DevNull";
    benchmark::RegisterBenchmark((Name + "/kviz").c_str(), KvizOutput, Output)->Unit(Ms);
    benchmark::RegisterBenchmark((Name + "/floor").c_str(), FloorOutput, Output)->Unit(Ms);
  }

  benchmark::Initialize(&Argc, Argv);
  if (benchmark::ReportUnrecognizedArguments(Argc, Argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const TInputFile& File : Inputs) unlink(File.Path.c_str());
  unlink(Outputs[0].Path.c_str());
  unlink(WrongAnswerPath.c_str());
}
