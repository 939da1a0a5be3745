#pragma once
// An amount of money in whole cents. The database keeps amounts as floating-point numbers; each
// is read into cents once, to the nearest cent, and from then on amounts add up exactly. Shown
// the Portuguese way: "1.234,56".

#include "core/Export.h"

#include <QString>
#include <QVariant>
#include <compare>

namespace Gpe00002 {

class GPE00002_EXPORT Money {
public:
    constexpr Money() = default;
    static constexpr Money fromCents(qint64 cents) { return Money(cents); }
    // An amount as the database keeps it, to the nearest cent.
    static Money fromDouble(double value);
    // A column's value; a null one is no amount (0).
    static Money fromValue(const QVariant& value) { return fromDouble(value.isNull() ? 0.0 : value.toDouble()); }

    constexpr qint64 cents() const { return m_cents; }
    // For the database and for JSON: 12.5 for 1250 cents.
    double toDouble() const { return static_cast<double>(m_cents) / 100.0; }
    constexpr bool isZero() const { return m_cents == 0; }
    // "1.234,56", "-0,50".
    QString text() const;

    // This unit price for `quantity` units (a weight in kg, a fraction of a pizza), to the nearest
    // cent.
    Money times(double quantity) const;
    // The part of this amount that `part` of `whole` takes, to the nearest cent; what is left is
    // this amount less it, so that the two add up to it exactly.
    Money share(qint64 part, qint64 whole) const;

    constexpr Money operator+(Money other) const { return Money(m_cents + other.m_cents); }
    constexpr Money operator-(Money other) const { return Money(m_cents - other.m_cents); }
    constexpr Money& operator+=(Money other) { return *this = *this + other; }
    constexpr Money& operator-=(Money other) { return *this = *this - other; }
    constexpr auto operator<=>(const Money&) const = default;

private:
    constexpr explicit Money(qint64 cents) : m_cents(cents) {}
    qint64 m_cents = 0;
};

}  // namespace Gpe00002
