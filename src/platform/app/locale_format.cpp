#include "platform/app/locale_format.h"

#include <QLocale>

namespace qv {

NumberFormat numberFormatFor(const QLocale& locale) {
    NumberFormat f;
    const QString dec = locale.decimalPoint();
    f.decimalSeparator =
        dec.size() == 1 && dec.at(0).unicode() < 0x80 ? char(dec.at(0).unicode()) : '.';
    f.listSeparator = defaultListSeparator(f.decimalSeparator);
    return f;
}

NumberFormat userNumberFormat() {
    return numberFormatFor(QLocale::system());
}

}  // namespace qv
