// CriaFReservaMesa: reserves a free table, or ends the reservation of a reserved one.
#include "../operations/ReservarMesa.h"
#include "Flow.h"
#include "TClientDataSet.h"

namespace Gpe00002 {

namespace {

QString when(const QDateTime& at) { return at.toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm")); }

QString people(const QString& count) {
    return count == QLatin1String("1") ? QStringLiteral("1 pessoa") : QStringLiteral("%1 pessoas").arg(count);
}

// Each answer is asked again until it holds, saying what is wrong; a cancel ends the dialogue.
QJsonValue reservar(Flow& flow, const TableState& mesa) {
    const QString title = QStringLiteral("Reservar mesa %1").arg(mesa.numero);
    std::optional<QString> cliente;
    while (!cliente) {
        const std::optional<QString> typed = Texto(title, QStringLiteral("Nome do cliente"), 50);
        if (!typed) return QJsonValue::Null;
        cliente = guestName(*typed);
        if (!cliente) flow.refuse(QStringLiteral("Informe o nome do cliente."));
    }
    std::string hhmm;
    std::optional<QDateTime> horario;
    while (!horario) {
        if (!TecladoNumerico(hhmm, title.toStdString(), "Horário da reserva (HHMM)", "Por exemplo 2030 para 20:30", 4,
                             0, 0, 0, 0, 0))
            return QJsonValue::Null;
        horario = reservationTime(QString::fromStdString(hhmm), QDateTime::currentDateTime());
        if (!horario)
            flow.refuse(
                QStringLiteral("O horário %1 não existe: digite as horas e os minutos com quatro dígitos, de 0000 a "
                               "2359.")
                    .arg(QString::fromStdString(hhmm)));
    }
    std::string typedPeople;
    std::optional<QString> pessoas;
    while (!pessoas) {
        if (!TecladoNumerico(typedPeople, title.toStdString(), "Número de pessoas", "De 1 a 999", 3, 0, 0, 0, 0, 0))
            return QJsonValue::Null;
        pessoas = reservationPeople(QString::fromStdString(typedPeople));
        if (!pessoas) flow.refuse(QStringLiteral("O número de pessoas vai de 1 a 999."));
    }
    const QJsonObject result = reservarMesa(*flow.db, flow.station, flow.station.filial, flow.station.loja, mesa,
                                            {*cliente, *horario, *pessoas});
    flow.notify(QStringLiteral("Mesa %1 reservada para %2, em %3, %4.")
                    .arg(mesa.numero, *cliente, when(*horario), people(*pessoas)));
    return result;
}

QJsonValue encerrar(Flow& flow, const TableState& mesa) {
    const std::optional<Reserva> reserva =
        activeReservation(*flow.db, flow.station.filial, flow.station.loja, mesa.numero);
    TClientDataSet choices(QStringLiteral("Reserva"));
    choices.FieldDefs() = {{"OPCAO", TFieldType::ftString, 8}, {"DESCRICAO", TFieldType::ftString, 60}};
    choices.CreateDataSet();
    for (const auto& [option, label] :
         {std::pair<const char*, QString>{"CANCELAR", QStringLiteral("Cancelar a reserva")},
          std::pair<const char*, QString>{"SENTAR",
                                          QStringLiteral("Sentar os clientes (a venda é aberta nos pedidos)")}}) {
        choices.Append();
        choices.FieldByName(QStringLiteral("OPCAO")).setAsString(QLatin1String(option));
        choices.FieldByName(QStringLiteral("DESCRICAO")).setAsString(label);
        choices.Post();
    }
    choices.FieldByName(QStringLiteral("OPCAO")).setVisible(false);
    choices.FieldByName(QStringLiteral("DESCRICAO"))
        .setDisplayLabel(reserva
                             ? QStringLiteral("Mesa %1: %2, %3, %4")
                                   .arg(mesa.numero, reserva->cliente, when(reserva->horario), people(reserva->pessoas))
                             : QStringLiteral("Mesa %1 reservada").arg(mesa.numero));
    choices.First();
    if (!Pesquisa(choices, 0, 0, 11776174, 13684686, 4407615, 8487297, 0)) return QJsonValue::Null;

    const bool seat = choices.FieldByName(QStringLiteral("OPCAO")).AsString() == QLatin1String("SENTAR");
    const QJsonObject result = encerrarReserva(*flow.db, flow.station, flow.station.filial, flow.station.loja, mesa,
                                               seat ? ReservationEnd::Seat : ReservationEnd::Cancel);
    flow.notify(seat ? QStringLiteral("Mesa %1 liberada para os clientes da reserva; abra a venda na tela de pedidos.")
                           .arg(mesa.numero)
                     : QStringLiteral("Reserva da mesa %1 cancelada; a mesa está livre.").arg(mesa.numero));
    return result;
}

}  // namespace

QJsonValue reservaMesa() {
    return runFlow(true, [](Flow& flow) -> QJsonValue {
        const std::vector<MapTable> tables =
            flow.map(flow.station.filial, flow.station.loja,
                     [](const TableState& table) { return reservationOffer(table).reason; });
        const std::optional<QStringList> chosen = MapaMesas(
            {QStringLiteral("Reservar mesa"),
             QStringLiteral("Escolha uma mesa livre para reservar, ou uma reservada para cancelar a reserva ou "
                            "sentar os clientes"),
             tables});
        if (!chosen || chosen->isEmpty()) return QJsonValue::Null;
        const auto seen = std::find_if(tables.begin(), tables.end(),
                                       [&](const MapTable& table) { return table.mesa.numero == chosen->front(); });
        if (seen == tables.end()) return QJsonValue::Null;
        switch (reservationOffer(seen->mesa).action) {
        case ReservationAction::Reserve: return reservar(flow, seen->mesa);
        case ReservationAction::End: return encerrar(flow, seen->mesa);
        case ReservationAction::None: break;
        }
        throw ERefusal(QStringLiteral("Mesa %1 está %2").arg(seen->mesa.numero, seen->reason));
    });
}

}  // namespace Gpe00002
