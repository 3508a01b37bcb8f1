// Stands in for libFuzzer where it is not at hand: runs the fuzz target once on each file named,
// and on each file in each folder named. Options (-runs=0 and the like) are passed over.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

static void Replay(const std::filesystem::path& File) {
  std::ifstream In(File, std::ios::binary);
  std::string Bytes{std::istreambuf_iterator<char>(In), {}};
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
}

int main(int Count, char** Arguments) {
  for (int I = 1; I < Count; ++I) {
    if (Arguments[I][0] == '-') continue;
    if (!std::filesystem::is_directory(Arguments[I]))
      Replay(Arguments[I]);
    else
      for (const auto& Entry : std::filesystem::directory_iterator(Arguments[I])) Replay(Entry);
  }
}
