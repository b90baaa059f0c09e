// The program's 8-bit texts as Qt shows them.
#pragma once

#include <QString>
#include <string_view>

namespace tarvel {

// Latin-1 text with its line breaks ("\r\n") as Qt draws them ("\n").
inline QString UiText(std::string_view text) {
  QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return s;
}

}  // namespace tarvel
