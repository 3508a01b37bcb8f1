// The three standard streams, their open and close, and the default open handler that binds
// a stream to a standard handle and chooses how its output reaches the device.
#include <cassert>

#include "console_text.h"

TConsoleText StdInText;
TConsoleText StdOutText;
TConsoleText StdErrText;

std::uint8_t LineBreakDefault = 1;

void SetUpStandardStreams() {
  for (TConsoleText* Stream : {&StdInText, &StdOutText, &StdErrText}) {
    *Stream = TConsoleText{};
    Stream->OpenMode = ModeClosed;
  }
}

static bool IsKnownMode(std::uint16_t Mode) {
  return Mode >= ModeClosed && Mode <= ModeInOut;
}

std::int32_t NoOpHandler(TConsoleText&) {
  return 0;
}

std::int32_t OpenStream(TConsoleText& Stream, std::uint16_t Mode) {
  if (!IsKnownMode(Stream.OpenMode)) {
    SetPendingIoError(ErrorBadRecord);
    return ErrorBadRecord;
  }
  if (Stream.OpenMode != ModeClosed) CloseStream(Stream);
  Stream.OpenMode = Mode;
  if (Stream.FileName[0] == 0 && Stream.OpenHandler == nullptr)
    Stream.OpenHandler = DefaultOpenHandler;
  assert(Stream.OpenHandler != nullptr && "opening by name is not supported");
  return RunHandler(Stream, &TConsoleText::OpenHandler);
}

std::int32_t DefaultOpenHandler(TConsoleText& Stream) {
  Stream.BufferPos = 0;
  Stream.BufferEnd = 0;
  if (Stream.OpenMode == ModeInput)
    Stream.TransferHandler = FillInputBuffer;
  else if (Stream.OpenMode == ModeOutput)
    Stream.TransferHandler = DrainOutputBuffer;
  // Closing the stream leaves its standard handle open: the handle belongs to the process.
  Stream.FlushHandler = NoOpHandler;
  Stream.CloseHandler = NoOpHandler;
  Stream.BufferSize = StdBufferSize;
  Stream.BufferData = Stream.InlineBuffer;

  std::int32_t Which = StdInputHandle;
  if (Stream.OpenMode == ModeOutput)
    Which = &Stream == &StdErrText ? StdErrorHandle : StdOutputHandle;
  THandle Handle = Platform->GetStdHandle(Which);
  if (Handle == InvalidHandle) {
    Stream.OpenMode = ModeClosed;
    return static_cast<std::int32_t>(Platform->GetLastError());
  }
  Stream.OsHandle = Handle;
  if (Stream.OpenMode == ModeInput) return 0;

  switch (Platform->GetFileType(Handle)) {
  case FileTypeUnknown:
    // A handle that is neither device, file nor pipe is no use to the stream, and is given up.
    // (The Linux host never closes the standard descriptors themselves.)
    Platform->CloseHandle(Handle);
    Stream.OpenMode = ModeClosed;
    return ErrorNotOpenForOutput;
  case FileTypeChar:
    // A console shows every statement as soon as it ends.
    Stream.FlushHandler = DrainOutputBuffer;
    return 0;
  default:
    return 0;
  }
}

std::int32_t CloseStream(TConsoleText& Stream) {
  std::uint16_t Mode = Stream.OpenMode;
  if (Mode != ModeInput && Mode != ModeOutput && Mode != ModeInOut) {
    if (&Stream != &StdInText) SetPendingIoError(ErrorNotOpen);
    return 0;
  }
  // Held output goes out first; the handle is released only if that worked.
  std::int32_t Result = Mode == ModeInput ? 0 : RunHandler(Stream, &TConsoleText::TransferHandler);
  if (Result == 0) Result = RunHandler(Stream, &TConsoleText::CloseHandler);
  return Result;
}

std::uint32_t WriteWhole(THandle Handle, const void* Bytes, std::uint32_t Count) {
  const auto* Next = static_cast<const std::uint8_t*>(Bytes);
  while (Count > 0) {
    std::uint32_t Written = 0;
    if (!Platform->WriteFile(Handle, Next, Count, Written)) return Platform->GetLastError();
    // A host that takes nothing yet reports success would have us spin for ever.
    if (Written == 0) return ErrorWriteFault;
    assert(Written <= Count);
    Next += Written;
    Count -= Written;
  }
  return 0;
}
