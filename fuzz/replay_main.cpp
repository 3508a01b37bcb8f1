// Stands in for libFuzzer where it is not at hand: runs the fuzz target once on each file named,
// and on each file in each folder named. Options (-runs=0 and the like) are passed over.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

int main(int Count, char** Arguments) {
  std::vector<std::filesystem::path> Files(Arguments + 1, Arguments + Count);
  for (int I = 1; I < Count; ++I)
    if (std::filesystem::is_directory(Arguments[I]))
      Files.insert(Files.end(), std::filesystem::directory_iterator(Arguments[I]), {});
  for (const std::filesystem::path& File : Files) {
    if (!std::filesystem::is_regular_file(File)) continue;
    std::ifstream In(File, std::ios::binary);
    std::string Bytes{std::istreambuf_iterator<char>(In), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
  }
}
