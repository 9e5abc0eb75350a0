// Test main: GoogleTest inside a running QCoreApplication, so the test thread is the interface
// thread and RunUntil can drive queued calls and timers.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
