#include "qt_strings.h"

#include "sheet.h"

namespace pyrelto::test {

QStringList qtTexts(const std::vector<std::u16string>& texts) {
    QStringList out;
    for (const auto& text : texts) {
        out.append(toQString(text));
    }
    return out;
}

QString shown(const Sheet& sheet, FieldId field) {
    return toQString(sheet.shownText(field));
}

} // namespace pyrelto::test
