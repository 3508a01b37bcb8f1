/* Runs a command and prints, on standard error, the peak resident set size of the program it
 * executes and its anonymous and file-backed parts, read from /proc just before that program
 * exits: unlike the rusage of a child, the figures leave out the memory of the process that
 * forked it. Address randomisation is off, so that runs of one program agree to the page.
 * Usage: peak_rss COMMAND [ARG...] */
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/personality.h>
#include <sys/ptrace.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

static long StatusField(pid_t Pid, const char* Name) {
  char Path[64];
  snprintf(Path, sizeof Path, "/proc/%d/status", (int)Pid);
  FILE* File = fopen(Path, "r");
  if (File == NULL) return -1;
  char Line[256];
  long Value = -1;
  size_t Length = strlen(Name);
  while (fgets(Line, sizeof Line, File) != NULL)
    if (strncmp(Line, Name, Length) == 0 && Line[Length] == ':') {
      Value = strtol(Line + Length + 1, NULL, 10);
      break;
    }
  fclose(File);
  return Value;
}

int main(int Argc, char** Argv) {
  if (Argc < 2) {
    fprintf(stderr, "usage: %s COMMAND [ARG...]\n", Argv[0]);
    return 2;
  }
  pid_t Child = fork();
  if (Child < 0) return 2;
  if (Child == 0) {
    personality(ADDR_NO_RANDOMIZE);
    ptrace(PTRACE_TRACEME, 0, NULL, NULL);
    raise(SIGSTOP);
    execvp(Argv[1], Argv + 1);
    _exit(127);
  }
  int Status;
  if (waitpid(Child, &Status, 0) < 0 || !WIFSTOPPED(Status)) return 2;
  ptrace(PTRACE_SETOPTIONS, Child, NULL, (void*)(long)(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
  ptrace(PTRACE_CONT, Child, NULL, NULL);
  long Peak = -1, Anonymous = -1, FileBacked = -1;
  for (;;) {
    if (waitpid(Child, &Status, 0) < 0) return 2;
    if (WIFEXITED(Status) || WIFSIGNALED(Status)) break;
    int Signal = 0;
    if (Status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      Peak = StatusField(Child, "VmHWM");
      Anonymous = StatusField(Child, "RssAnon");
      FileBacked = StatusField(Child, "RssFile");
    } else if (WIFSTOPPED(Status) && WSTOPSIG(Status) != SIGTRAP)
      Signal = WSTOPSIG(Status);
    ptrace(PTRACE_CONT, Child, NULL, (void*)(long)Signal);
  }
  fprintf(stderr, "peak_rss_kib %ld anon_kib %ld file_kib %ld\n", Peak, Anonymous, FileBacked);
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
}
