// CriaFReservaMesa: reserves a free table (the guest's name, the time, the number of people, then
// a question), or ends the reservation of a reserved one (its guests seated after a question, or
// the reservation cancelled after a question whose Enter answers Cancela). Cancela goes back one step, and what was
// typed is there again: from the number of people to the time, to the name, to the map.
#include "operations/ReservarMesa.h"
#include "routines/Flow.h"
#include "TClientDataSet.h"

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Reservar mesa");

QString when(const QDateTime& at) { return at.toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm")); }

// "às 21:00" today, "em 15/06/2024 às 21:00" another day.
QString at(const QDateTime& horario) {
    return horario.date() == QDate::currentDate() ? horario.toString(QStringLiteral("'às' HH:mm"))
                                                  : QStringLiteral("em ") + when(horario);
}

QString people(const QString& count) {
    return count == QLatin1String("1") ? QStringLiteral("1 pessoa") : QStringLiteral("%1 pessoas").arg(count);
}

// What was typed for a reservation, kept while the user goes back and forth.
struct Typed {
    QString cliente;
    std::string horario, pessoas;
};

// Each answer is asked again until it holds, saying what is wrong; Cancela goes back to the
// answer before, and from the name to the map (nullopt).
std::optional<QJsonValue> reservar(Flow& flow, const TableState& mesa, Typed& typed) {
    const QString title = QStringLiteral("Reservar mesa %1").arg(mesa.numero);
    enum class Step { Name, Time, People } step = Step::Name;
    std::optional<QString> cliente;
    std::optional<QDateTime> horario;
    for (;;) {
        switch (step) {
        case Step::Name: {
            const std::optional<QString> answer =
                EditaTexto(title, QStringLiteral("Nome do cliente"), 50, typed.cliente);
            if (!answer) return std::nullopt;
            cliente = guestName(*answer);
            typed.cliente = cliente.value_or(answer->trimmed());
            if (cliente)
                step = Step::Time;
            else
                flow.refuse(QStringLiteral("Informe o nome do cliente."));
            break;
        }
        case Step::Time:
            if (!TecladoNumerico(typed.horario, title.toStdString(), "Horário da reserva (HHMM)",
                                 "Por exemplo 2030 para 20:30", 4, 0, 0, 0, 0, 0)) {
                step = Step::Name;
                break;
            }
            horario = reservationTime(QString::fromStdString(typed.horario), QDateTime::currentDateTime());
            if (horario)
                step = Step::People;
            else
                flow.refuse(
                    QStringLiteral("O horário %1 não existe: digite as horas e os minutos com quatro dígitos, de 0000 "
                                   "a 2359.")
                        .arg(QString::fromStdString(typed.horario)));
            break;
        case Step::People: {
            if (!TecladoNumerico(typed.pessoas, title.toStdString(), "Número de pessoas", "De 1 a 999", 3, 0, 0, 0, 0,
                                 0)) {
                step = Step::Time;
                break;
            }
            const std::optional<QString> pessoas = reservationPeople(QString::fromStdString(typed.pessoas));
            if (!pessoas) {
                flow.refuse(QStringLiteral("O número de pessoas vai de 1 a 999."));
                break;
            }
            // Cancela here goes back to the number of people, with every answer kept.
            if (!Confirma(title, QStringLiteral("Reservar a mesa %1 para %2 %3, %4?")
                                     .arg(mesa.numero, *cliente, at(*horario), people(*pessoas))))
                break;
            const QJsonObject result = reservarMesa(*flow.db, flow.station, flow.station.filial, flow.station.loja,
                                                    mesa, {*cliente, *horario, *pessoas});
            flow.notify(QStringLiteral("Mesa %1 reservada para %2, em %3, %4.")
                            .arg(mesa.numero, *cliente, when(*horario), people(*pessoas)));
            return result;
        }
        }
    }
}

// The choice opens on "Voltar", which goes back to the map as Cancela does: nothing that ends
// the reservation is chosen unless the user chooses it. nullopt when the user went back.
std::optional<QJsonValue> encerrar(Flow& flow, const TableState& mesa) {
    const std::optional<Reserva> reserva =
        activeReservation(*flow.db, flow.station.filial, flow.station.loja, mesa.numero);
    TClientDataSet choices(QStringLiteral("cdsReserva"));
    choices.FieldDefs() = {{QStringLiteral("OPCAO"), TFieldType::ftString, 8},
                           {QStringLiteral("DESCRICAO"), TFieldType::ftString, 60}};
    choices.CreateDataSet();
    for (const auto& [option, label] :
         {std::pair<const char*, QString>{"VOLTAR", QStringLiteral("Voltar ao mapa de mesas")},
          std::pair<const char*, QString>{"SENTAR",
                                          QStringLiteral("Sentar os clientes (a venda é aberta nos pedidos)")},
          std::pair<const char*, QString>{"CANCELAR", QStringLiteral("Cancelar a reserva")}}) {
        choices.Append();
        choices.FieldByName(QStringLiteral("OPCAO")).setAsString(QLatin1String(option));
        choices.FieldByName(QStringLiteral("DESCRICAO")).setAsString(label);
        choices.Post();
    }
    choices.FieldByName(QStringLiteral("OPCAO")).setVisible(false);
    choices.FieldByName(QStringLiteral("DESCRICAO")).setDisplayLabel(QStringLiteral("Opção"));
    const QString described =
        reserva ? QStringLiteral("Mesa %1: %2, %3, %4")
                      .arg(mesa.numero, reserva->cliente, when(reserva->horario), people(reserva->pessoas))
                : QStringLiteral("Mesa %1 reservada").arg(mesa.numero);
    for (;;) {
        choices.First();
        if (!Escolha(choices, QStringLiteral("Escolha o que fazer com a reserva"), described)) break;
        const QString option = choices.FieldByName(QStringLiteral("OPCAO")).AsString();
        if (option == QLatin1String("VOLTAR")) break;
        const bool seat = option == QLatin1String("SENTAR");
        const QString whose =
            reserva ? QStringLiteral(" para %1 %2").arg(reserva->cliente, at(reserva->horario)) : QString();
        // Seating can be undone by reserving again; a cancelled reservation loses what the guest
        // was promised, so there Enter answers Cancela.
        const bool asked =
            seat ? Confirma(QStringLiteral("Sentar clientes"),
                            QStringLiteral("Sentar os clientes da reserva da mesa %1%2?").arg(mesa.numero, whose))
                 : ConfirmaCancelaPadrao(QStringLiteral("Cancelar reserva"),
                                         QStringLiteral("Cancelar a reserva da mesa %1%2?").arg(mesa.numero, whose));
        if (!asked) continue;
        const QJsonObject result = encerrarReserva(*flow.db, flow.station, flow.station.filial, flow.station.loja, mesa,
                                                   seat ? ReservationEnd::Seat : ReservationEnd::Cancel);
        flow.notify(seat ? QStringLiteral("Mesa %1 liberada para os clientes da reserva; abra a venda na tela de "
                                          "pedidos.")
                               .arg(mesa.numero)
                         : QStringLiteral("Reserva da mesa %1 cancelada; a mesa está livre.").arg(mesa.numero));
        return result;
    }
    return std::nullopt;
}

}  // namespace

QJsonValue reservaMesa() {
    return runFlow(true, [](Flow& flow) -> QJsonValue {
        Typed typed;
        std::optional<TableState> mesa;
        for (;;) {
            const std::vector<MapTable> tables =
                flow.map(flow.station.filial, flow.station.loja,
                         [](const TableState& table) { return reservationOffer(table).reason; });
            const QStringList marked = numberOf(mesa);
            mesa = flow.chooseTable(
                {kTitle,
                 QStringLiteral("Escolha uma mesa livre para reservar, ou uma reservada para cancelar a reserva ou "
                                "sentar os clientes"),
                 tables, false, 1, marked});
            if (!mesa) return QJsonValue::Null;
            const std::optional<QJsonValue> result = reservationOffer(*mesa).action == ReservationAction::Reserve
                                                         ? reservar(flow, *mesa, typed)
                                                         : encerrar(flow, *mesa);
            if (result) return *result;
        }
    });
}

}  // namespace Gpe00002
