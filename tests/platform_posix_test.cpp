// The Linux platform layer against real descriptors: the error-code table, file types,
// interrupted and would-block reads and writes, short writes, and module lookup.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "console/console_text.h"
#include "console/platform_posix.h"

namespace {

TEST(PosixErrorTable, MapsToTheCodesTheMessagesAreWrittenFor) {
  struct {
    int Errno;
    std::uint32_t Code;
  } const Cases[] = {{ENOENT, 2},  {EMFILE, 4},   {ENFILE, 4},   {EACCES, 5},
                     {EPERM, 5},   {EISDIR, 5},   {EBADF, 6},    {ENOMEM, 8},
                     {EINVAL, 87}, {ENOSPC, 112}, {EDQUOT, 112}, {EFBIG, 223},
                     {EPIPE, 232}, {EIO, 1117},   {ENXIO, 31},   {0, 31}};
  for (const auto& Case : Cases) EXPECT_EQ(ErrorCodeFromErrno(Case.Errno), Case.Code) << Case.Errno;
}

struct TPipe {
  int Read = -1, Write = -1;
  TPipe() {
    int Fds[2];
    EXPECT_EQ(pipe(Fds), 0);
    Read = Fds[0];
    Write = Fds[1];
  }
  ~TPipe() {
    if (Read >= 0) close(Read);
    if (Write >= 0) close(Write);
  }
};

void NonBlocking(int Fd) {
  fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK);
}

TEST(PosixPlatform, FileTypes) {
  TPipe Pipe;
  int Null = open("/dev/null", O_RDONLY);
  char Name[] = "/tmp/kviz-type-XXXXXX";
  int File = mkstemp(Name);
  int Sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, Sockets), 0);
  EXPECT_EQ(Platform->GetFileType(THandle(Null)), FileTypeChar);
  EXPECT_EQ(Platform->GetFileType(THandle(File)), FileTypeDisk);
  EXPECT_EQ(Platform->GetFileType(THandle(Pipe.Read)), FileTypePipe);
  EXPECT_EQ(Platform->GetFileType(THandle(Sockets[0])), FileTypePipe);
  close(Sockets[0]);
  EXPECT_EQ(Platform->GetFileType(THandle(Sockets[0])), FileTypeUnknown);
  close(Sockets[1]);
  close(Null);
  close(File);
  unlink(Name);
}

TEST(PosixPlatform, ClosedStandardDescriptorIsAMissingHandle) {
  int Saved = dup(0);
  close(0);
  EXPECT_EQ(Platform->GetStdHandle(StdInputHandle), InvalidHandle);
  EXPECT_EQ(Platform->GetLastError(), ErrorInvalidHandle);
  dup2(Saved, 0);
  close(Saved);
  EXPECT_EQ(Platform->GetStdHandle(StdInputHandle), 0u);
  EXPECT_EQ(Platform->GetStdHandle(StdErrorHandle), 2u);
  // A stream never closes a standard descriptor.
  EXPECT_TRUE(Platform->CloseHandle(0));
  EXPECT_NE(fcntl(0, F_GETFD), -1);
}

// A signal whose handler does not restart calls, so that a blocked call fails with EINTR.
void OnSignal(int) {}

TEST(PosixPlatform, InterruptedAndWouldBlockReadsWaitForTheData) {
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigaction(SIGUSR1, &Action, nullptr);
  for (bool Blocking : {true, false}) {
    TPipe Pipe;
    if (!Blocking) NonBlocking(Pipe.Read);
    pthread_t Reader = pthread_self();
    std::thread Writer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      pthread_kill(Reader, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_EQ(write(Pipe.Write, "late", 4), 4);
    });
    char Buffer[16];
    std::uint32_t Read = 0;
    EXPECT_TRUE(Platform->ReadFile(THandle(Pipe.Read), Buffer, sizeof Buffer, Read));
    Writer.join();
    EXPECT_EQ(std::string(Buffer, Read), "late");
  }
  signal(SIGUSR1, SIG_DFL);
}

TEST(PosixPlatform, ReadFailureAndEndOfInput) {
  TPipe Pipe;
  close(Pipe.Write);
  Pipe.Write = -1;
  char Buffer[4];
  std::uint32_t Read = 99;
  EXPECT_TRUE(Platform->ReadFile(THandle(Pipe.Read), Buffer, 4, Read));
  EXPECT_EQ(Read, 0u);
  EXPECT_FALSE(Platform->ReadFile(THandle(1000), Buffer, 4, Read));
  EXPECT_EQ(Platform->GetLastError(), 6u);
}

TEST(PosixPlatform, WholeWritesSurviveShortWritesAndAFullPipe) {
  TPipe Pipe;
  NonBlocking(Pipe.Write); // a full pipe takes part of a write, then none: both are waited out
  std::string Sent(300000, 0);
  for (std::size_t I = 0; I < Sent.size(); ++I) Sent[I] = static_cast<char>(I * 7 + I / 251);
  std::string Received;
  std::thread Reader([&] {
    char Buffer[1000];
    ssize_t N;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    while ((N = read(Pipe.Read, Buffer, sizeof Buffer)) > 0) Received.append(Buffer, N);
  });
  EXPECT_EQ(WriteWhole(THandle(Pipe.Write), Sent.data(), std::uint32_t(Sent.size())), 0u);
  close(Pipe.Write);
  Pipe.Write = -1;
  Reader.join();
  EXPECT_EQ(Received, Sent);
}

TEST(PosixPlatform, WriteToAPipeWithoutReaderFailsWithACode) {
  signal(SIGPIPE, SIG_IGN);
  TPipe Pipe;
  close(Pipe.Read);
  Pipe.Read = -1;
  EXPECT_EQ(WriteWhole(THandle(Pipe.Write), "x", 1), 232u);
  signal(SIGPIPE, SIG_DFL);
}

TEST(PosixPlatform, ClockAndModule) {
  std::int64_t First = 0, Second = 0;
  ASSERT_TRUE(Platform->QueryPerformanceCounter(First));
  ASSERT_TRUE(Platform->QueryPerformanceCounter(Second));
  EXPECT_LE(First, Second);
  std::uint32_t Ticks = Platform->GetTickCount();
  EXPECT_NEAR(double(Ticks), double(std::uint32_t(Second / 1000000)), 1000.0);

  TModuleInfo Here = Platform->FindModule(reinterpret_cast<const void*>(&OnSignal));
  EXPECT_TRUE(Here.Found);
  EXPECT_NE(std::string(Here.Path).find("kviz_unit_tests"), std::string::npos);
  EXPECT_LT(Here.Base, reinterpret_cast<std::uintptr_t>(&OnSignal));
  TModuleInfo Nowhere = Platform->FindModule(nullptr);
  EXPECT_FALSE(Nowhere.Found);
  EXPECT_NE(std::string(Nowhere.Path).find("kviz_unit_tests"), std::string::npos);
}

} // namespace
