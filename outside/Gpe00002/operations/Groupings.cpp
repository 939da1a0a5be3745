#include "Groupings.h"

namespace Gpe00002 {

GroupingOverview loadGroupings(PackageDatabase&, const QString& filial, const QString& loja, const QString&) {
    return {filial, loja, {}, -1};
}

}  // namespace Gpe00002
