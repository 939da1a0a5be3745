#include "core/Money.h"

#include <QLocale>
#include <cmath>

namespace Gpe00002 {

Money Money::fromDouble(double value) { return Money(std::llround(value * 100.0)); }

QString Money::text() const {
    static const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
    return portuguese.toString(toDouble(), 'f', 2);
}

Money Money::times(double quantity) const { return Money(std::llround(static_cast<double>(m_cents) * quantity)); }

Money Money::share(qint64 part, qint64 whole) const {
    if (whole == 0) return Money();
    return Money(std::llround(static_cast<double>(m_cents) * static_cast<double>(part) / static_cast<double>(whole)));
}

}  // namespace Gpe00002
