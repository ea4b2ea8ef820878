// "Опубликовать" driven through the real window against a real sshd on
// 127.0.0.1: the password asked (no keyring offscreen, and the question says
// so), the unknown host key shown with its fingerprint before it is trusted,
// the report, and the plan shown before a delete.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/Dialogs.h"
#include "tests/gui/GuiTestBase.h"
#include "tests/publish/PublishServers.h"
#include "window/FProject.h"
#include "window/PublishAction.h"

using orvana::MessageBox;
using orvana::TPublishAction;
using orvana::test::ReadWholeFile;

class TestPublish : public ProjectWindowTestBase {
  Q_OBJECT

 private slots:
  void publishesWithTrustPasswordPlanAndReport();
};

void TestPublish::publishesWithTrustPasswordPlanAndReport() {
  orvana::publish::testing::TSshServer server;
  qputenv("XDG_DATA_HOME", tempPath("data").toUtf8());
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");  // no keyring: the password is asked each time
  const std::string site = tempPath("site").toStdString();
  QVERIFY(QDir().mkpath(QString::fromStdString(site)));
  orvana::TSiteProject* w = newWindow();
  control<QLineEdit>(w, "Edit4")->setText(QString::fromStdString(site));
  w->FormToGenerator();
  control<QLineEdit>(w, "ExtrasPublishTo")->setText("sftp://me:secret@h/x");  // never stored
  w->ExtrasToGenerator();
  QCOMPARE(w->Generator().Extras().PublishTo, std::string("sftp://me@h/x"));
  control<QLineEdit>(w, "ExtrasLinkSeed")->setText("5");
  control<QLineEdit>(w, "ExtrasPublishTo")->setText(QString::fromStdString(server.Url()));
  QVERIFY(!w->GenerateAndWrite().failure);
  const auto publish = [&](const QString& password, QList<MessageBox::Button> answers) {
    MessageBox::reset();
    TPublishAction::setNextPassword(password);
    for (const MessageBox::Button answer : answers) MessageBox::setNextAnswer(answer);
    QTest::mouseClick(control<QPushButton>(w, "PublishButton"), Qt::LeftButton);
    return MessageBox::history();
  };
  const QString password = QString::fromStdString(server.password());
  auto boxes = publish(password, {MessageBox::Ok, MessageBox::Ok});  // trust, report
  QVERIFY(TPublishAction::lastPasswordQuestion().contains("связка ключей недоступна"));
  QCOMPARE(boxes.size(), 2);
  QVERIFY2(boxes[0].text.contains(QString::fromStdString(server.fingerprint())),
           qPrintable(boxes[0].text));
  QVERIFY2(boxes[1].text.startsWith("Опубликовано"), qPrintable(boxes[1].text));
  for (const char* name : {"/index.html", "/style.css"})
    QCOMPARE(ReadWholeFile(server.Folder() + name), ReadWholeFile(site + name));

  // A file gone from the site: the plan is shown first; refused, nothing moves.
  const std::string style = ReadWholeFile(server.Folder() + "/style.css");
  QVERIFY(QFile::remove(QString::fromStdString(site + "/style.css")));
  boxes = publish(password, {MessageBox::Cancel, MessageBox::Ok});  // the plan, "прервана"
  QCOMPARE(boxes.size(), 2);
  QVERIFY2(boxes[0].text.contains("удалить style.css"), qPrintable(boxes[0].text));
  QCOMPARE(ReadWholeFile(server.Folder() + "/style.css"), style);
  // Generate all's report offers the same publish.
  MessageBox::reset();
  TPublishAction::setNextPassword(password);
  for (const auto answer : {MessageBox::Ok, MessageBox::Cancel, MessageBox::Ok})
    MessageBox::setNextAnswer(answer);  // the offer, the plan, "прервана"
  QVERIFY(orvana::OfferToPublish(w, {w}, "Сгенерировано проектов: 1 из 1", true));
  QCOMPARE(MessageBox::history().size(), 3);
  QVERIFY(MessageBox::history()[0].text.endsWith("адресом публикации (1)?"));
  QVERIFY(MessageBox::history()[1].text.contains("удалить style.css"));
  // A wrong password: the error says the login was refused.
  boxes = publish("wrong", {MessageBox::Ok});
  QVERIFY2(boxes.size() == 1 && boxes[0].text.contains("refused the login"),
           qPrintable(boxes[0].text));
}

QTEST_MAIN(TestPublish)
#include "TestPublish.moc"
