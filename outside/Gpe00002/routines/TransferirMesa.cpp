// The dialogue of the table transfer (CriaTrComanN kind "1"): the table to transfer on one map,
// the free table to take it on a second one, a confirmation, the operation, a notice. Cancela
// goes back one step: from the question to the second map, from there to the first one.
#include "operations/TransferirMesa.h"
#include "routines/Flow.h"

namespace Gpe00002 {

QJsonValue transferirMesa(Flow& flow) {
    const QString title = QStringLiteral("Transferir mesa");
    const QString& filial = flow.station.filial;
    const QString& loja = flow.station.loja;
    enum class Step { Source, Target, Question } step = Step::Source;
    std::optional<TableState> origem, destino;
    for (;;) {
        switch (step) {
        case Step::Source: {
            const std::vector<MapTable> sources = flow.map(filial, loja, [](const TableState& table) {
                return table.vendaAberta ? QString() : QStringLiteral("sem venda aberta");
            });
            if (!anyEnabled(sources)) throw ERefusal(QStringLiteral("Não há mesas com venda aberta nesta loja"));
            origem = flow.chooseTable(
                {title, QStringLiteral("Escolha a mesa a transferir"), sources, false, 1, numberOf(origem)});
            if (!origem) return QJsonValue::Null;
            step = Step::Target;
            break;
        }
        case Step::Target: {
            const std::vector<MapTable> targets = flow.map(filial, loja, [&](const TableState& table) {
                return table.numero == origem->numero ? QStringLiteral("origem") : notFreeReason(table);
            });
            if (!anyEnabled(targets))
                throw ERefusal(QStringLiteral("Não há mesas livres para receber a mesa %1").arg(origem->numero));
            const QStringList marked = numberOf(destino);
            destino = flow.chooseTable({title,
                                        QStringLiteral("Escolha a mesa livre que recebe a mesa %1").arg(origem->numero),
                                        targets, false, 1, marked});
            step = destino ? Step::Question : Step::Source;
            break;
        }
        case Step::Question: {
            if (!Confirma(
                    title,
                    QStringLiteral("Transferir a mesa %1 para a mesa %2?").arg(origem->numero, destino->numero))) {
                step = Step::Target;
                break;
            }
            return flow.done(QStringLiteral("Mesa %1 transferida para a mesa %2.").arg(origem->numero, destino->numero),
                             transferirMesa(*flow.db, flow.station, filial, loja, *origem, *destino));
        }
        }
    }
}

}  // namespace Gpe00002
