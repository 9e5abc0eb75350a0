// One instance per user, with two real processes: a second start hands its file or address to
// the first and ends; a first instance killed outright leaves nothing that stops the next start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <cstdlib>

#include "foundation/main_loop.h"
#include "support/temp_env.h"

namespace tq {
namespace {

class OneInstance : public ::testing::Test {
 protected:
  // A name of this test's own, so parallel runs and a real running program never meet.
  const QString m_name = QStringLiteral("tq-test-%1").arg(::getpid());
  const QString m_probe = QString::fromLocal8Bit(std::getenv("TQ_INSTANCE_PROBE"));
  test::TTempDir m_dir;

  // Starts the instance that will hold the name, once it says it listens.
  void StartFirst(QProcess& first, std::string& output) {
    first.start(m_probe, {m_name});
    ASSERT_TRUE(RunUntil([&] {
      output += first.readAllStandardOutput().toStdString();
      return output.find("ready\n") != std::string::npos;
    }));
  }

  // A second start with arguments; its exit code.
  int SecondStart(const QStringList& arguments) {
    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(m_dir.Path().string()));
    second.start(m_probe, QStringList{m_name} + arguments);
    EXPECT_TRUE(second.waitForFinished(30000));
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
  }

  static bool Received(QProcess& first, std::string& output, const std::string& line) {
    return RunUntil([&] {
      output += first.readAllStandardOutput().toStdString();
      return output.find(line + "\n") != std::string::npos;
    });
  }
};

TEST_F(OneInstance, SecondStartHandsOverToTheFirstAndEnds) {
  ASSERT_FALSE(m_probe.isEmpty());
  QProcess first;
  std::string output;
  StartFirst(first, output);

  EXPECT_EQ(SecondStart({QStringLiteral("projects/site.web")}), 0);
  EXPECT_TRUE(Received(first, output, "open:" + (m_dir / "projects/site.web")));
  EXPECT_EQ(SecondStart({QStringLiteral("http://example.com/"), QStringLiteral("Example")}), 0);
  EXPECT_TRUE(Received(first, output, "links:http://example.com/|Example"));
  EXPECT_EQ(SecondStart({}), 0) << "nothing to hand over";
  EXPECT_EQ(output.find("open:"), output.rfind("open:")) << "the file arrived once: " << output;

  first.closeWriteChannel();
  EXPECT_TRUE(first.waitForFinished(30000));
  EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(OneInstance, AKilledFirstInstanceDoesNotStopTheNextStart) {
  QProcess crashed;
  std::string ignored;
  StartFirst(crashed, ignored);
  crashed.kill();  // SIGKILL: the socket file stays behind
  ASSERT_TRUE(crashed.waitForFinished(30000));

  QProcess next;
  std::string output;
  StartFirst(next, output);
  EXPECT_EQ(SecondStart({QStringLiteral("/tmp/b.web")}), 0);
  EXPECT_TRUE(Received(next, output, "open:/tmp/b.web"));
  next.closeWriteChannel();
  EXPECT_TRUE(next.waitForFinished(30000));
}

}  // namespace
}  // namespace tq
