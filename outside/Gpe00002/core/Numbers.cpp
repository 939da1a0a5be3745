#include "core/Numbers.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace Gpe00002 {

bool allDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString withoutLeadingZeros(const QString& text) {
    qsizetype zeros = 0;
    while (zeros + 1 < text.size() && text[zeros] == u'0') ++zeros;
    return text.mid(zeros);
}

qint64 milli(double quantity) { return std::llround(quantity * 1000.0); }

QString quantityText(double quantity) {
    static const QLocale portuguese = [] {
        QLocale locale(QLocale::Portuguese, QLocale::Brazil);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale;
    }();
    return portuguese.toString(static_cast<double>(milli(quantity)) / 1000.0, 'g', QLocale::FloatingPointShortest);
}

}  // namespace Gpe00002
