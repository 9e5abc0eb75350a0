// A large stored file served to several clients at once costs the server a bounded amount of
// memory: it is sent in pieces as it is read from the project file, never held whole.
// ctest: timeout=600
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "engine/download.h"
#include "server/http_client.h"
#include "server/server.h"
#include "storage/document.h"
#include "support/ready_document.h"

namespace tq {
namespace {

// The process's resident-memory high-water mark in KiB, and a way to start it anew.
uint64_t PeakKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6));
  }
  return 0;
}
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

#if defined(__SANITIZE_ADDRESS__)
// The address checker keeps freed memory aside (256 MB by default) before reusing it.
constexpr uint64_t kCheckerSlackMib = 256;
#elif defined(__SANITIZE_THREAD__)
// The thread checker's shadow of the pieces in flight, several times their size; the bound still
// stays below one copy of the file.
constexpr uint64_t kCheckerSlackMib = 96;
#else
constexpr uint64_t kCheckerSlackMib = 0;
#endif

TEST(LargeDocument, EightClientsOfA200MegabyteFileCostLittleMemory) {
  constexpr size_t kSize = size_t{200} << 20;
  constexpr int kClients = 8;
  // The bound: a few pieces per client and the readers' buffers; one copy of the file is 200 MB.
  constexpr uint64_t kBoundMib = 48 + kCheckerSlackMib;
  const std::string url = "http://www.example.com/film.webm";
  const auto dir =
      std::filesystem::temp_directory_path() / ("tq-large-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  TVornDocument document{dir.string(), dir.string()};
  TVornOptions options;
  TVornDownload download;
  download.SetVornDocument(&document);
  download.SetVornOptions(&options);
  // Random bytes, so the file is stored as it is, as a film would be.
  std::string film(kSize, '\0');
  uint64_t seed = 7;
  for (size_t i = 0; i < kSize; i += 8) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    std::memcpy(film.data() + i, &seed, 8);
  }
  uint64_t expected = 0;
  for (unsigned char c : film) expected = expected * 31 + c;
  test::AddReadyDocument(download, document, url, "video/webm", film);
  std::string().swap(film);
  // Saved, the file lives in the project file, as it does when a saved project is browsed.
  document.SetDocName((dir / "film.web").string());
  ASSERT_TRUE(document.Save(false));

  TVornServer server;
  server.SetVornDownload(&download);
  server.SetActive(true);
  ASSERT_TRUE(server.Active());
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  ResetPeak();
  const uint64_t before = PeakKib();
  std::vector<std::thread> clients;
  std::vector<uint64_t> received(kClients), sums(kClients);
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      test::HttpClient client(server.Port());
      client.Send(test::Get("/" + url, host));
      // Read as it comes, in small pieces, keeping only a sum of the bytes.
      received[i] = client.ReadBodyInPieces([&](std::string_view piece) {
        for (unsigned char c : piece) sums[i] = sums[i] * 31 + c;
      });
    });
  }
  for (auto& c : clients) c.join();
  const uint64_t growthMib = (PeakKib() - before) / 1024;
  server.SetActive(false);
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(received[i], kSize) << i;
    EXPECT_EQ(sums[i], expected) << i;
  }
  EXPECT_LT(growthMib, kBoundMib) << "the server's memory grew by " << growthMib << " MiB";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tq
