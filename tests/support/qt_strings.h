#pragma once
// The conversions between the core's UTF-16 texts and Qt's, and readable QStrings in failure
// messages.

#include "field_catalogue.h"
#include "qt_text.h"

#include <QString>
#include <QStringList>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {
class Sheet;
}

// GoogleTest finds this by the argument's namespace (Qt's is the global one).
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace pyrelto::test {

inline std::string toStd(const QString& text) {
    return text.toStdString();
}

QStringList qtTexts(const std::vector<std::u16string>& texts);

// What the sheet shows in `field`.
QString shown(const Sheet& sheet, FieldId field);

} // namespace pyrelto::test
