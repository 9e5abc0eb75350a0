// Test main of the desktop interface: GoogleTest inside a QApplication (widgets need one), with
// the project windows' working folders and the program's settings in a folder of the run's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("tq-ui-tests-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);  // the ".web" file type goes there
  std::filesystem::create_directories(home / "runtime");
  std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tarnquill"));
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return result;
}
