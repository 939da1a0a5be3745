#include "store/Counting.h"

namespace Gpe00002::Counting {

QString productName(const SqlRow& row) {
    for (const char* column : {"NMPRODUTO", "NMPRODIMPFIS"})
        if (QString name = rowText(row, column); !name.isEmpty()) return name;
    return QStringLiteral("Produto %1").arg(rowText(row, "CDPRODUTO"));
}

ItemAmount ItemAmount::of(const SqlRow& row) {
    const QVariant quantity = row.value(QStringLiteral("QTPRODCOMVEN"));
    return {quantity.isNull() ? 0.0 : quantity.toDouble(), Money::fromValue(row.value(QStringLiteral("VRPRECCOMVEN"))),
            Money::fromValue(row.value(QStringLiteral("VRDESCCOMVEN"))),
            Money::fromValue(row.value(QStringLiteral("VRACRCOMVEN")))};
}

}  // namespace Gpe00002::Counting
