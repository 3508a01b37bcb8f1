/* Times two commands run alternately, each with standard input from one file and standard
 * output to another (emptied before each run): start to exit in wall time, and the child's
 * user plus system CPU time. Prints the median of each for both commands. A small C program,
 * so that the launcher's own size does not weigh on what it measures.
 * Usage: spawn_timer RUNS INPUT OUTPUT COMMAND_A... -- COMMAND_B... */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

static int Compare(const void* A, const void* B) {
  double X = *(const double*)A, Y = *(const double*)B;
  return X < Y ? -1 : X > Y;
}

static double Median(double* Values, int Count) {
  qsort(Values, (size_t)Count, sizeof *Values, Compare);
  return Count % 2 ? Values[Count / 2] : (Values[Count / 2 - 1] + Values[Count / 2]) / 2;
}

static double Now(void) {
  struct timespec T;
  clock_gettime(CLOCK_MONOTONIC, &T);
  return (double)T.tv_sec + (double)T.tv_nsec * 1e-9;
}

/* Runs Argv once; stores wall and CPU seconds. Returns the exit status. */
static int RunOnce(char** Argv, const char* Input, const char* Output, double* Wall, double* Cpu) {
  int In = open(Input, O_RDONLY);
  int Out = open(Output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (In < 0 || Out < 0) {
    perror("spawn_timer: open");
    exit(2);
  }
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, In, 0);
  posix_spawn_file_actions_adddup2(&Actions, Out, 1);
  double Start = Now();
  pid_t Pid;
  if (posix_spawn(&Pid, Argv[0], &Actions, NULL, Argv, environ) != 0) {
    perror("spawn_timer: spawn");
    exit(2);
  }
  int Status;
  struct rusage Usage;
  if (wait4(Pid, &Status, 0, &Usage) < 0) exit(2);
  *Wall = Now() - Start;
  *Cpu = (double)(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         (double)(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) * 1e-6;
  posix_spawn_file_actions_destroy(&Actions);
  close(In);
  close(Out);
  return Status;
}

int main(int Argc, char** Argv) {
  if (Argc < 7) {
    fprintf(stderr, "usage: %s RUNS INPUT OUTPUT COMMAND_A... -- COMMAND_B...\n", Argv[0]);
    return 2;
  }
  int Runs = atoi(Argv[1]);
  char** A = Argv + 4;
  char** B = NULL;
  for (int I = 4; I < Argc; ++I)
    if (strcmp(Argv[I], "--") == 0) {
      Argv[I] = NULL;
      B = Argv + I + 1;
    }
  if (Runs < 1 || B == NULL || B[0] == NULL) return 2;
  double* Figures = malloc(sizeof(double) * 4 * (size_t)Runs);
  double *WallA = Figures, *CpuA = WallA + Runs, *WallB = CpuA + Runs, *CpuB = WallB + Runs;
  for (int I = 0; I < Runs; ++I) {
    /* Alternate which goes first, so that neither always runs right after the other. */
    char** First = I % 2 ? B : A;
    char** Second = I % 2 ? A : B;
    double* W1 = I % 2 ? WallB : WallA;
    double* C1 = I % 2 ? CpuB : CpuA;
    double* W2 = I % 2 ? WallA : WallB;
    double* C2 = I % 2 ? CpuA : CpuB;
    if (RunOnce(First, Argv[2], Argv[3], &W1[I], &C1[I]) != 0 ||
        RunOnce(Second, Argv[2], Argv[3], &W2[I], &C2[I]) != 0) {
      fprintf(stderr, "spawn_timer: a command failed\n");
      return 1;
    }
  }
  printf("A wall %.9f cpu %.9f\n", Median(WallA, Runs), Median(CpuA, Runs));
  printf("B wall %.9f cpu %.9f\n", Median(WallB, Runs), Median(CpuB, Runs));
  free(Figures);
  return 0;
}
