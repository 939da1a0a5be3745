#include "store/Counting.h"

namespace Gpe00002::Counting {

QString productName(const SqlRow& row) {
    for (const char* column : {"NMPRODUTO", "NMPRODIMPFIS"})
        if (QString name = row.value(QLatin1String(column)).toString().trimmed(); !name.isEmpty()) return name;
    return QStringLiteral("Produto %1").arg(row.value(QStringLiteral("CDPRODUTO")).toString().trimmed());
}

ItemAmount ItemAmount::of(const SqlRow& row) {
    const QVariant quantity = row.value(QStringLiteral("QTPRODCOMVEN"));
    return {quantity.isNull() ? 0.0 : quantity.toDouble(), Money::fromValue(row.value(QStringLiteral("VRPRECCOMVEN"))),
            Money::fromValue(row.value(QStringLiteral("VRDESCCOMVEN"))),
            Money::fromValue(row.value(QStringLiteral("VRACRCOMVEN")))};
}

}  // namespace Gpe00002::Counting
