// Runs a fuzz target once over every file of the folders named on the command
// line (its seeds), so builds without libFuzzer check the oracles too. Each
// input sits in a buffer of exactly its size, as libFuzzer gives it, so the
// sanitizers see a read past its end. Fails when a folder holds no input: a
// target without seeds would check nothing.
#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Reads the whole file into a buffer of its size; false when it cannot.
bool RunFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  // malloc(0) may give null: keep one byte, hand the target none of it.
  uint8_t* data = ok ? static_cast<uint8_t*>(std::malloc(size ? size_t(size) : 1)) : nullptr;
  ok = data && std::fread(data, 1, size_t(size), file) == size_t(size);
  std::fclose(file);
  if (ok) LLVMFuzzerTestOneInput(data, size_t(size));
  std::free(data);
  return ok;
}

// The regular files of a folder, sorted so that a failure names the same
// input on every run.
bool ListFiles(const std::string& folder, std::vector<std::string>* files) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir))
    if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN)
      if (entry->d_name[0] != '.') files->push_back(folder + "/" + entry->d_name);
  closedir(dir);
  std::sort(files->begin(), files->end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::vector<std::string> files;
    if (!ListFiles(argv[i], &files) || files.empty()) {
      std::fprintf(stderr, "%s: no inputs to replay\n", argv[i]);
      return 1;
    }
    for (const std::string& file : files) {
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      if (!RunFile(file)) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return 1;
      }
    }
    std::fprintf(stderr, "%s: %zu inputs\n", argv[i], files.size());
  }
  return 0;
}
