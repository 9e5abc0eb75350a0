// Fuzz target: the bytes as a project archive file; list it and extract every member. Damage
// must surface as EArchiveError, never as a crash, an overread or an unbounded allocation.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "storage/archive.h"

namespace {

// The archive file each input is written to, removed when the program ends.
struct TScratchFile {
  std::string path = "/tmp/tq_lha_archive_fuzz_" + std::to_string(::getpid()) + ".web";
  ~TScratchFile() { std::remove(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TScratchFile scratch;
  const std::string& path = scratch.path;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  tq::TVornArchive archive(path);
  try {
    for (const std::string& name : archive.List()) {
      archive.Contains(name);
      try {
        archive.ExtractToStream(name);
      } catch (const tq::EArchiveError&) {
      }
    }
  } catch (const tq::EArchiveError&) {
  }
  return 0;
}
