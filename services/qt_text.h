#pragma once
// The one bridge from the core's texts (UTF-16 in std::u16string) to Qt's: both are UTF-16, so
// the code units are copied as they are.

#include <QString>
#include <string_view>

namespace pyrelto {

inline QString toQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace pyrelto
