// Fuzz target for buffered output: random sequences of item writes, statement ends, flushes and
// closes on a console, a disk file or a pipe (or a handle that cannot be had), with write
// failures and short writes injected between them. After every operation the runtime's
// buffer, the bytes the handle took and the pending code must match a reference model, and
// until a failure the bytes taken plus the bytes held must be exactly the bytes emitted.
//
// Input layout: a set-up byte (bit 0: standard error instead of output; the rest modulo 6: a
// console, disk file, pipe, unknown file type, missing handle, console), then operations,
// each a byte taken modulo 10 and its arguments: 0 a string (length byte, bytes, width),
// 1 a long string (pattern length, pattern, 2-byte length, width), 2 a byte, 3 an integer
// (value, width), 4 a line break, 5 the statement's end, 6 a flush, 7 a close, 8 and 9 the
// behaviour of a coming write call (fails, takes 1 to 64 bytes, takes none, takes all).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "fuzz_platform.h"

namespace {

constexpr std::uint32_t WriteErrorCodes[] = {112, 223, 232, 6, 1117, 5, 31, 29};

// Reads the fuzzer's bytes front to back; past the end everything is zero.
class TReader {
public:
  TReader(const std::uint8_t* Data, std::size_t Size) : Data(Data), Size(Size) {}
  bool More() const { return Pos < Size; }
  std::uint8_t Byte() { return Pos < Size ? Data[Pos++] : 0; }
  std::uint32_t Word(int Bytes) {
    std::uint32_t Value = 0;
    for (int I = 0; I < Bytes; ++I) Value = Value << 8 | Byte();
    return Value;
  }
  std::string Text(std::size_t Length) {
    std::size_t N = std::min(Length, Size - Pos);
    std::string Result(reinterpret_cast<const char*>(Data + Pos), N);
    Pos += N;
    return Result;
  }

private:
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos = 0;
};

// The output rules over plain strings: Held is the buffer, Written what the handle took, and
// Script the same write behaviour the platform follows.
class TOutputModel {
public:
  bool Broken = false;  // the handle cannot be had, or has no known type
  bool Console = false; // a character device: every statement is written out
  bool Open = false;
  std::string Held;
  std::string Written;
  std::deque<TWriteStep> Script;
  std::int32_t Pending = 0;

  void Bytes(std::string_view Text) {
    if (!Prepare()) return;
    for (;;) {
      std::size_t Room = StdBufferSize - Held.size();
      if (Room > Text.size()) {
        Held += Text;
        return;
      }
      Held += Text.substr(0, Room); // a buffer that becomes exactly full goes out at once
      Text.remove_prefix(Room);
      if (Fail(Drain())) return;
    }
  }

  void Blanks(std::int64_t Count) {
    while (Count > 64) {
      Bytes(std::string(64, ' '));
      Count -= 64;
      if (Pending != 0) return;
    }
    if (Count > 0) Bytes(std::string(static_cast<std::size_t>(Count), ' '));
  }

  void Char(char Byte) {
    if (!Prepare()) return;
    // A byte that fills the buffer leaves it full until the next write or flush.
    if (Held.size() == StdBufferSize && Fail(Drain())) return;
    Held += Byte;
  }

  void Text(std::string_view Text, std::int32_t Width) {
    if (Width > static_cast<std::int64_t>(Text.size())) Blanks(std::int64_t{Width} - Text.size());
    Bytes(Text);
  }

  void LineBreak() {
    if (!Open) Prepare();
    Bytes("\r\n");
    EndStatement();
  }

  void EndStatement() {
    if (Open && Console) Fail(Drain());
  }

  void Flush() {
    if (Open) Fail(Drain());
  }

  void Close() {
    if (!Open) {
      Pending = ErrorNotOpen;
      return;
    }
    Fail(Drain());
  }

private:
  bool Prepare() {
    if (!Open && Broken) Pending = ErrorNotOpenForOutput;
    if (!Broken) Open = true;
    return Open;
  }

  std::uint32_t Drain() {
    std::string_view Rest = Held;
    std::uint32_t Code = 0;
    while (!Rest.empty()) {
      TWriteStep Step;
      if (!Script.empty()) {
        Step = Script.front();
        Script.pop_front();
      }
      if (Step.Error != 0) {
        Code = Step.Error;
        break;
      }
      std::size_t Taken = std::min<std::size_t>(Rest.size(), Step.Accept);
      if (Taken == 0) {
        Code = ErrorWriteFault;
        break;
      }
      Written += Rest.substr(0, Taken);
      Rest.remove_prefix(Taken);
    }
    Held.clear(); // what a failed write did not take is dropped
    return Code;
  }

  bool Fail(std::uint32_t Code) {
    if (Code != 0) Pending = static_cast<std::int32_t>(Code);
    return Code != 0;
  }
};

std::int32_t Width(TReader& In, std::size_t Length) {
  std::uint8_t Kind = In.Byte();
  switch (Kind % 8) {
  case 0:
    return INT_MIN;
  case 1:
    return -1 - (Kind >> 3);
  case 2:
    return 0;
  case 3:
    return static_cast<std::int32_t>(Length) + (Kind >> 3) % 8 - 4; // around the text
  case 4:
  case 5:
    return In.Byte();
  case 6:
    return static_cast<std::int32_t>(In.Word(2)); // up to 65535 blanks
  default:
    return static_cast<std::int32_t>(In.Word(4) % 2000 - 1000);
  }
}

std::int32_t Value(TReader& In) {
  switch (In.Byte() % 8) {
  case 0:
    return INT_MIN;
  case 1:
    return INT_MAX;
  case 2:
    return 0;
  case 3:
    return -1;
  case 4:
    return INT_MIN + 1;
  case 5:
    return -static_cast<std::int32_t>(In.Byte());
  default:
    return static_cast<std::int32_t>(In.Word(4));
  }
}

TWriteStep WriteStep(TReader& In) {
  std::uint8_t Kind = In.Byte();
  switch (Kind % 4) {
  case 0:
    return {0, WriteErrorCodes[(Kind >> 2) % 8]};
  case 1:
    return {static_cast<std::uint32_t>(Kind >> 2) + 1, 0}; // short: 1 to 64 bytes
  case 2:
    return {0, 0}; // takes nothing, yet succeeds
  default:
    return {};
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TReader In(Data, Size);
  FuzzHost.Reset();
  TOutputModel Model;

  std::uint8_t Setup = In.Byte();
  TConsoleText& Stream = Setup & 1 ? StdErrText : StdOutText;
  const int Handle = Setup & 1 ? 2 : 1;
  // Choices 0 to 3 are the file types, 4 a missing handle, 5 a console again.
  constexpr std::uint32_t Types[] = {FileTypeChar, FileTypeDisk, FileTypePipe, FileTypeUnknown};
  const unsigned Choice = (Setup >> 1) % 6;
  if (Choice == 4)
    FuzzHost.HandleMissing[Handle] = true;
  else
    FuzzHost.FileType[Handle] = Choice < 4 ? Types[Choice] : FileTypeChar;
  Model.Console = FuzzHost.FileType[Handle] == FileTypeChar;
  Model.Broken = FuzzHost.HandleMissing[Handle] || FuzzHost.FileType[Handle] == FileTypeUnknown;

  // What the operations emitted, independent of buffering; rebased after each failure.
  std::string Emitted;
  bool WholeSoFar = true; // no failure yet
  bool Flushed = false;   // a write-out other than a full buffer has happened
  int Ops = 0;
  // An item right-aligned in a field: the model and the record of what was emitted follow it.
  auto Field = [&](const std::string& Text, std::int32_t W) {
    Model.Text(Text, W);
    if (W > static_cast<std::int64_t>(Text.size())) Emitted.append(W - Text.size(), ' ');
    Emitted += Text;
  };

  while (In.More() && Ops++ < 400) {
    FuzzHost.TakenBeforeFailure = TFuzzPlatform::NoFailure;
    switch (In.Byte() % 10) {
    case 0: {
      std::string Text = In.Text(In.Byte());
      std::int32_t W = Width(In, Text.size());
      EmitString(Stream, Text, W);
      Field(Text, W);
      break;
    }
    case 1: {
      // A long text from a short pattern, to cross the buffer's end often.
      std::string Pattern = In.Text(In.Byte() % 8 + 1);
      std::size_t Length = In.Word(2) % 1024;
      std::string Text;
      while (!Pattern.empty() && Text.size() < Length) Text += Pattern;
      std::int32_t W = Width(In, Text.size());
      EmitString(Stream, Text, W);
      Field(Text, W);
      break;
    }
    case 2: {
      char Byte = static_cast<char>(In.Byte());
      EmitChar(Stream, static_cast<std::uint8_t>(Byte));
      Model.Char(Byte);
      Emitted += Byte;
      break;
    }
    case 3: {
      std::int32_t V = Value(In);
      std::string Digits = std::to_string(V);
      std::int32_t W = Width(In, Digits.size());
      EmitInteger(Stream, V, W);
      Field(Digits, W);
      break;
    }
    case 4:
      EmitLineBreak(Stream);
      Model.LineBreak();
      Emitted += "\r\n";
      Flushed |= Model.Console;
      break;
    case 5:
      EndWriteStatement(Stream);
      Model.EndStatement();
      Flushed |= Model.Console;
      break;
    case 6:
      FlushOutput(Stream);
      Model.Flush();
      Flushed = true;
      break;
    case 7:
      CloseStream(Stream);
      Model.Close();
      Flushed = true;
      break;
    default: {
      TWriteStep Step = WriteStep(In);
      FuzzHost.WriteSteps.push_back(Step);
      Model.Script.push_back(Step);
      break;
    }
    }

    const std::string& Written = FuzzHost.Written[Handle];
    FUZZ_CHECK(Stream.BufferPos <= StdBufferSize);
    FUZZ_CHECK(FuzzHost.LargestWrite <= StdBufferSize);
    FUZZ_CHECK(FuzzHost.EmptyWrites == 0);
    FUZZ_CHECK(FuzzHost.Written[3 - Handle].empty());
    FUZZ_CHECK(PendingIoError == Model.Pending);
    FUZZ_CHECK(Written == Model.Written);
    const std::string Held =
        Stream.BufferData == nullptr
            ? std::string()
            : std::string(reinterpret_cast<const char*>(Stream.BufferData), Stream.BufferPos);
    FUZZ_CHECK(Held == Model.Held);

    if (PendingIoError == 0) {
      if (Model.Broken) {
        FUZZ_CHECK(Written.empty() && Held.empty());
      } else {
        FUZZ_CHECK(Written + Held == Emitted);
        // A disk file or pipe is written in whole buffers until something flushes it.
        if (WholeSoFar && !Flushed) FUZZ_CHECK(Written.size() % StdBufferSize == 0);
      }
    } else {
      // What the handle took before the failing call is the start of what was emitted. The
      // statement goes on after a failure (its check comes at its end), so bytes of its
      // later items may follow the dropped ones.
      std::size_t Before = std::min(FuzzHost.TakenBeforeFailure, Written.size());
      FUZZ_CHECK(Emitted.compare(0, Before, Written, 0, Before) == 0);
      WholeSoFar = false;
      Emitted = Written + Held;
    }
    // As the statement's check would take it.
    PendingIoError = 0;
    Model.Pending = 0;
  }
  return 0;
}
