// SPDX-License-Identifier: MIT
// Runs a fuzz target without libFuzzer: every file named on the command line,
// and every file under a folder named there, is read whole and handed to
// LLVMFuzzerTestOneInput once. The normal build links each target with this
// and runs it over its seeds as a test, so that a target that no longer builds
// or a seed that now fails is seen by the tests, not at the next fuzzing run.
// It also replays a crash that libFuzzer wrote: zan_fuzz_smf artifacts/smf-crash-...
//
// Exits 1 when an input cannot be read or nothing was given to run: a seed
// folder that moved must not make the test pass on no inputs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Only some targets define it; unresolved, its address is null.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

// The files under `folder`, in name order so that every run is the same.
bool listFolder(const fs::path& folder, std::vector<fs::path>& files) {
  std::error_code error;
  std::vector<fs::path> found;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file(error)) found.push_back(it->path());
  if (error) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), error.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

// The input in a buffer of exactly its size, so that the sanitizers see a
// read past its end.
bool readFile(const fs::path& path, std::unique_ptr<uint8_t[]>& data, size_t& size) {
  std::ifstream in(path, std::ios::binary);
  std::error_code error;
  const uintmax_t length = fs::file_size(path, error);
  if (!in || error) return false;
  size = static_cast<size_t>(length);
  data.reset(new uint8_t[size]);
  in.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size));
  return static_cast<size_t>(in.gcount()) == size && in.peek() == std::ifstream::traits_type::eof();
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (fs::is_directory(argv[i], error))
      ok = listFolder(argv[i], inputs) && ok;
    else
      inputs.emplace_back(argv[i]);
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...: no inputs to run\n", argv[0]);
    return 1;
  }
  int ran = 0;
  for (const fs::path& path : inputs) {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    if (!readFile(path, data, size)) {
      std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
      ok = false;
      continue;
    }
    // Named before it runs: if the target crashes, this is the input.
    std::fprintf(stderr, "Running %s (%zu bytes)\n", path.c_str(), size);
    LLVMFuzzerTestOneInput(data.get(), size);
    ++ran;
  }
  std::fprintf(stderr, "%d of %zu inputs ran\n", ran, inputs.size());
  return ok ? 0 : 1;
}
