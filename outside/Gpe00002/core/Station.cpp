#include "core/Station.h"

#include <algorithm>

#include "Process.h"
#include "core/Log.h"
#include "core/Refusal.h"
#include "TClientDataSet.h"

#include <QSysInfo>

namespace Gpe00002 {

namespace {

// The text of `column` in the first record, or empty; `missing` is set when there is no such
// column.
QString columnText(const TClientDataSet& file, const char* column, bool* missing = nullptr) {
    const TField* field = file.FindField(QLatin1String(column));
    if (missing) *missing = field == nullptr;
    return field ? field->AsString().trimmed() : QString();
}

// Minutes from `column` when it holds a whole number from `least` to a day's; otherwise `fallback`.
int minutes(const TClientDataSet& file, const char* column, int least, int fallback) {
    const QString text = columnText(file, column);
    if (text.isEmpty()) return fallback;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && value >= least && value <= 24 * 60) return value;
    qCWarning(lcOps).noquote() << "station setting" << column << "=" << text << "is no number of minutes; using"
                               << fallback;
    return fallback;
}

}  // namespace

Station Station::read(bool needBranchAndStore) {
    Station station;
    station.host = QSysInfo::machineHostName();
    const QString folder = Process::executableFolder();
    const QString parameters = folder + QStringLiteral("/PARAMETROSQOR.CDS");
    const QString access = folder + QStringLiteral("/Dados/Cadastros/ControleAcess.cds");
    try {
        if (Process::FileExists(parameters)) {
            TClientDataSet file(QStringLiteral("cdsParametrosQor"));
            file.LoadFromFile(parameters);
            station.caixa = columnText(file, "CDCAIXA");
            station.esquema = columnText(file, "IDESQUEMA");
            station.impressora = columnText(file, "DSIMPRESSORA");
            station.operador = columnText(file, "CDOPERADORLOGIN");
            station.minResAntes = minutes(file, "MINRESANTES", 0, station.minResAntes);
            station.minResDuracao = minutes(file, "MINRESDURACAO", 1, station.minResDuracao);
            station.minResTolerancia = minutes(file, "MINRESTOLERANCIA", 0, station.minResTolerancia);
            station.ctDesfazer = std::max(0, columnText(file, "CTDESFAZER").toInt());
            for (const auto& [column, value] : {std::pair<const char*, QString*>{"CDFILIAL", &station.filial},
                                                std::pair<const char*, QString*>{"CDLOJA", &station.loja}}) {
                bool missing = false;
                *value = columnText(file, column, &missing);
                if (needBranchAndStore && (missing || value->isEmpty()))
                    throw ERefusal(
                        QStringLiteral("O arquivo da estação %1 %2 a coluna %3: informe a filial e a loja da "
                                       "estação nele.")
                            .arg(parameters, missing ? QStringLiteral("não tem") : QStringLiteral("deixa vazia"),
                                 QLatin1String(column)));
            }
        } else if (needBranchAndStore) {
            throw ERefusal(
                QStringLiteral("O arquivo da estação %1 não existe: é dele que vêm a filial (CDFILIAL) e a loja "
                               "(CDLOJA).")
                    .arg(parameters));
        }
        if (Process::FileExists(access)) {
            TClientDataSet file(QStringLiteral("cdsControleAcess"));
            file.LoadFromFile(access);
            station.operador = columnText(file, "CDOPERADOR");
        }
    } catch (const EDatabaseError& e) {
        throw ERefusal(QStringLiteral("Não foi possível ler os arquivos da estação: %1").arg(e.message()));
    }
    return station;
}

}  // namespace Gpe00002
