/* The floor of a whole game: the same 128-byte reads of standard input, with the line ends
 * found by memchr, and the same writes of the game's output in 128-byte pieces and a final
 * piece, with no other work. The output's bytes come from a reference copy (argv[1]), mapped
 * a window at a time so that the floor's memory stays that of a small C program. */
#include <fcntl.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

enum { PieceSize = 128, WindowSize = 64 << 10 };

static int Reference;
static size_t OutputSize;
static size_t Written;
static const char* Window;
static size_t WindowStart;

static const char* OutputAt(size_t Offset) {
  if (Window == NULL || Offset - WindowStart >= WindowSize) {
    if (Window != NULL) munmap((void*)Window, WindowSize);
    WindowStart = Offset / WindowSize * WindowSize;
    Window = mmap(NULL, WindowSize, PROT_READ, MAP_PRIVATE, Reference, (off_t)WindowStart);
    if (Window == MAP_FAILED) {
      perror("game_floor: mmap");
      _exit(2);
    }
  }
  return Window + (Offset - WindowStart);
}

/* Writes the output up to Limit in whole pieces (the window size is a multiple of one). */
static void WriteUpTo(size_t Limit) {
  while (Written < Limit) {
    size_t Piece = Limit - Written < PieceSize ? Limit - Written : PieceSize;
    ssize_t N = write(1, OutputAt(Written), Piece);
    if (N <= 0) {
      perror("game_floor: write");
      _exit(2);
    }
    Written += (size_t)N;
  }
}

int main(int Argc, char** Argv) {
  if (Argc != 2) {
    fprintf(stderr, "usage: %s REFERENCE_OUTPUT < INPUT > OUTPUT\n", Argv[0]);
    return 2;
  }
  Reference = open(Argv[1], O_RDONLY);
  struct stat Status, InputStatus;
  if (Reference < 0 || fstat(Reference, &Status) != 0 || fstat(0, &InputStatus) != 0) {
    perror("game_floor");
    return 2;
  }
  OutputSize = (size_t)Status.st_size;
  /* The writes are spread over the reads in proportion, as the game interleaves them. */
  unsigned long long InputSize =
      InputStatus.st_size > 0 ? (unsigned long long)InputStatus.st_size : 1;
  unsigned long long Consumed = 0;
  unsigned long Lines = 0;
  char Buffer[PieceSize];
  for (;;) {
    ssize_t N = read(0, Buffer, PieceSize);
    if (N < 0) {
      perror("game_floor: read");
      return 2;
    }
    if (N == 0) break;
    for (const char* P = Buffer; (P = memchr(P, '\n', (size_t)(Buffer + N - P))) != NULL; ++P)
      ++Lines;
    Consumed += (unsigned long long)N;
    WriteUpTo((size_t)(OutputSize * Consumed / InputSize) / PieceSize * PieceSize);
  }
  WriteUpTo(OutputSize);
  return Lines == 0 && InputStatus.st_size > 0 ? 1 : 0;
}
