#include "publish/KeyringPassword.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace orvana::publish {
namespace {

const QString kService = QStringLiteral("Orvana publish");

// Runs a job to its end.
void Wait(QKeychain::Job& job) {
  QEventLoop loop;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
  job.setAutoDelete(false);
  job.setInsecureFallback(false);
  job.start();
  loop.exec();
}

}  // namespace

TKeyringPassword::Status TKeyringPassword::Read(const QString& target, TSecretText& secret,
                                                QString* reason) {
  QKeychain::ReadPasswordJob job(kService);
  job.setKey(target);
  Wait(job);
  if (job.error() == QKeychain::EntryNotFound) return kNotFound;
  if (job.error() != QKeychain::NoError) {
    // qtkeychain says "Unknown error" when no Secret Service or KWallet
    // answers on the session bus.
    if (reason)
      *reason = job.error() == QKeychain::OtherError && job.errorString() == "Unknown error"
                    ? QStringLiteral("no Secret Service or KWallet answers on the session bus")
                    : job.errorString();
    return kUnavailable;
  }
  QByteArray bytes = job.binaryData();
  secret.Clear();
  for (const char c : bytes) secret.Add(c);
  bytes.fill('\0');
  return kFound;
}

bool TKeyringPassword::Store(const QString& target, const TSecretText& secret, QString* reason) {
  QKeychain::WritePasswordJob job(kService);
  job.setKey(target);
  QByteArray bytes(secret.view().data(), static_cast<qsizetype>(secret.view().size()));
  job.setBinaryData(bytes);
  bytes.fill('\0');
  Wait(job);
  if (job.error() == QKeychain::NoError) return true;
  if (reason) *reason = job.errorString();
  return false;
}

void TKeyringPassword::Forget(const QString& target) {
  QKeychain::DeletePasswordJob job(kService);
  job.setKey(target);
  Wait(job);
}

}  // namespace orvana::publish
