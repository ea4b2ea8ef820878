#include "engine/Notify.h"

#include <cstdio>
#include <utility>

#include "engine/CodePage.h"
#include "engine/Error.h"

namespace orvana {
namespace {

TErrorBoxHandler& Handler() {
  static TErrorBoxHandler handler;
  return handler;
}

}  // namespace

TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

void ShowErrorBox(const std::string& text) {
  if (Handler()) {
    Handler()(text);
    return;
  }
  std::string utf8 = Cp1251ToUtf8(text);
  std::fprintf(stderr, "%s\n", utf8.c_str());
}

std::string WithFullStop(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

}  // namespace orvana
