#pragma once
// Calendar days between the document models and Qt's date widgets and clock.

#include "offer.h"

#include <QDate>

namespace pyrelto {

inline Date toDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

inline QDate toQDate(Date date) {
    return QDate(date.year, date.month, date.day);
}

} // namespace pyrelto
