// "Опубликовать" driven through the real window against a real sshd on
// 127.0.0.1: the password asked (no keyring offscreen, and the question says
// so), the unknown host key shown with its fingerprint before it is trusted,
// the plan shown before a delete, and the report.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "engine/FileSystem.h"
#include "gui/Dialogs.h"
#include "tests/gui/GuiTestBase.h"
#include "tests/publish/PublishServers.h"
#include "window/FProject.h"
#include "window/PublishAction.h"

using orvana::MessageBox;
using orvana::TPublishAction;
namespace fs = std::filesystem;

class TestPublish : public ProjectWindowTestBase {
  Q_OBJECT

 private slots:
  void publishesWithTrustPasswordPlanAndReport();
};

void TestPublish::publishesWithTrustPasswordPlanAndReport() {
  orvana::publish::testing::TSshServer server;
  qputenv("XDG_DATA_HOME", tempPath("data").toUtf8());
  // No session bus, so no keyring: the password is asked each time.
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  const QString site = tempPath("site");
  QVERIFY(QDir().mkpath(site));
  orvana::TSiteProject* w = newWindow();
  control<QLineEdit>(w, "Edit4")->setText(site);
  w->FormToGenerator();
  control<QLineEdit>(w, "ExtrasLinkSeed")->setText("5");
  control<QLineEdit>(w, "ExtrasPublishTo")->setText(QString::fromStdString(server.Url()));
  QVERIFY(!w->GenerateAndWrite().failure);
  QVERIFY(QFile::exists(site + "/index.html"));

  const QString password = QString::fromStdString(server.user().password());
  MessageBox::reset();
  TPublishAction::setNextPassword(password);
  MessageBox::setNextAnswer(MessageBox::Ok);  // trust the key
  MessageBox::setNextAnswer(MessageBox::Ok);  // the report
  QTest::mouseClick(control<QPushButton>(w, "PublishButton"), Qt::LeftButton);
  QVERIFY(TPublishAction::lastPasswordQuestion().contains(QString::fromStdString(server.Url())));
  QVERIFY2(TPublishAction::lastPasswordQuestion().contains("связка ключей недоступна"),
           qPrintable(TPublishAction::lastPasswordQuestion()));
  auto history = MessageBox::history();
  QCOMPARE(history.size(), 2);
  QVERIFY2(history[0].text.contains(QString::fromStdString(server.fingerprint())),
           qPrintable(history[0].text));
  QVERIFY2(history[1].text.startsWith("Опубликовано"), qPrintable(history[1].text));
  for (const char* name : {"index.html", "style.css"})
    QCOMPARE(orvana::test::ReadWholeFile(server.Folder() + "/" + name),
             orvana::test::ReadWholeFile(site.toStdString() + "/" + name));

  // A file gone from the site: the plan is shown first, and refused,
  // nothing moves.
  const std::string before = orvana::test::ReadWholeFile(server.Folder() + "/style.css");
  fs::remove(site.toStdString() + "/style.css");
  MessageBox::reset();
  TPublishAction::setNextPassword(password);
  MessageBox::setNextAnswer(MessageBox::Cancel);  // the plan
  MessageBox::setNextAnswer(MessageBox::Ok);      // "прервана"
  QTest::mouseClick(control<QPushButton>(w, "PublishButton"), Qt::LeftButton);
  history = MessageBox::history();
  QCOMPARE(history.size(), 2);
  QVERIFY2(history[0].text.contains("удалить style.css"), qPrintable(history[0].text));
  QCOMPARE(orvana::test::ReadWholeFile(server.Folder() + "/style.css"), before);

  // A wrong password: the error names the server's refusal; the site stays.
  MessageBox::reset();
  TPublishAction::setNextPassword(QStringLiteral("wrong"));
  MessageBox::setNextAnswer(MessageBox::Ok);
  QTest::mouseClick(control<QPushButton>(w, "PublishButton"), Qt::LeftButton);
  QCOMPARE(MessageBox::history().size(), 1);
  QVERIFY2(MessageBox::lastText().startsWith("Сайт не опубликован"),
           qPrintable(MessageBox::lastText()));
  QVERIFY(fs::exists(server.Folder() + "/style.css"));
}

QTEST_MAIN(TestPublish)
#include "TestPublish.moc"
