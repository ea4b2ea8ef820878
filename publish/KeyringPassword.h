// Publish passwords in the system keyring, through qtkeychain (the desktop
// program only): one entry per publish target, never a plain-text fallback.
// Each call waits for its job while the window keeps painting.
#pragma once

#include <QString>

#include "publish/SecretText.h"

namespace orvana::publish {

class TKeyringPassword {
 public:
  enum Status { kFound, kNotFound, kUnavailable };

  // The stored password for `target` into `secret` (kFound), or why there
  // is none: no entry yet, or no keyring to ask (`reason` says what).
  static Status Read(const QString& target, TSecretText& secret, QString* reason);
  // Stores the password for `target`; false (with `reason`) when the
  // keyring cannot take it.
  static bool Store(const QString& target, const TSecretText& secret, QString* reason);
  // Forgets the password for `target` (after the server refused it).
  static void Forget(const QString& target);
};

}  // namespace orvana::publish
