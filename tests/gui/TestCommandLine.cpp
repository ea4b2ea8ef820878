// The desktop program's command line, run as the built program: --version
// and --help answer on standard output and end without opening a window,
// with or without a display.
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace {

struct Run {
  bool finished = false;
  int status = -1;
  QByteArray out;
  QByteArray err;
};

// Runs the program with arguments in env; one that has not ended after a
// generous wait (it opened its window) is killed and reported unfinished.
Run runProgram(const QStringList& arguments, const QProcessEnvironment& env,
               const QString& outputFile = QString()) {
  QProcess process;
  process.setProcessEnvironment(env);
  if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
  process.start(QStringLiteral(ORVANA_PROGRAM), arguments);
  Run run;
  if (!process.waitForStarted(10000)) return run;
  run.finished = process.waitForFinished(10000);
  if (!run.finished) {
    process.kill();
    process.waitForFinished(10000);
    return run;
  }
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  if (outputFile.isEmpty()) run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

QProcessEnvironment offscreen() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  return env;
}

// No platform chosen and no display to reach: any attempt at a window fails.
QProcessEnvironment withoutDisplay() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    env.remove(QString::fromLatin1(name));
  return env;
}

}  // namespace

class TestCommandLine : public QObject {
  Q_OBJECT

 private slots:
  void answersWithoutAWindow_data();
  void answersWithoutAWindow();
  void anOutputThatCannotBeWrittenFails();
};

void TestCommandLine::answersWithoutAWindow_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<bool>("display");
  QTest::addColumn<QByteArray>("expected");  // stdout exactly, or its first line for --help
  const QByteArray version = QByteArrayLiteral("orvana " ORVANA_VERSION "\n");
  const QByteArray usage = QByteArrayLiteral("Usage: orvana [--version | --help]\n");
  // clang-format off
  QTest::newRow("--version, offscreen") << QStringList{"--version"} << true << version;
  QTest::newRow("--version, no display") << QStringList{"--version"} << false << version;
  QTest::newRow("--help, offscreen") << QStringList{"--help"} << true << usage;
  QTest::newRow("--help, no display") << QStringList{"--help"} << false << usage;
  QTest::newRow("first option wins") << QStringList{"--help", "--version"} << false << usage;
  // clang-format on
  QTest::newRow("after a Qt option")
      << QStringList{"-platform", "offscreen", "--version"} << false << version;
}

void TestCommandLine::answersWithoutAWindow() {
  QFETCH(QStringList, arguments);
  QFETCH(bool, display);
  QFETCH(QByteArray, expected);
  const Run run = runProgram(arguments, display ? offscreen() : withoutDisplay());
  QVERIFY2(run.finished, "the program opened its window instead of answering");
  QCOMPARE(run.status, 0);
  QCOMPARE(run.err, QByteArray());
  if (expected.startsWith("Usage:")) {
    QVERIFY2(run.out.startsWith(expected), run.out.constData());
    QVERIFY(run.out.contains("  --version "));
    QVERIFY(run.out.contains("  --help "));
    QVERIFY(run.out.contains("\n       orvana [FILE...]\n"));
    QVERIFY(run.out.endsWith('\n'));
  } else {
    QCOMPARE(run.out, expected);
  }
}

void TestCommandLine::anOutputThatCannotBeWrittenFails() {
  if (!QFile::exists("/dev/full")) QSKIP("no /dev/full on this machine");
  const Run run = runProgram({"--version"}, withoutDisplay(), "/dev/full");
  QVERIFY(run.finished);
  QCOMPARE(run.status, 1);
  QVERIFY2(run.err.startsWith("orvana: cannot write to standard output"), run.err.constData());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
