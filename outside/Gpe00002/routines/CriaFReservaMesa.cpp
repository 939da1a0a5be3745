// CriaFReservaMesa: the store's reservations of a day (today first), and from that list a new
// reservation (its tables on the map, the guest's name, the time, the number of people, a phone
// and a note, then a question), another day, a search by the guest's name, or one reservation:
// its guests seated (after a question; a party's tables are grouped), changed (time, people,
// tables, phone, note, then a question), or cancelled (after a question whose Enter answers
// Cancela). Cancela goes back one step, and what was typed is there again; from the list it
// leaves. A refusal of the operation (a table reserved in an overlapping period, say) is shown
// and the dialogue goes back to the time, with every answer kept.
#include "operations/ReservarMesa.h"
#include "core/Log.h"
#include "routines/Flow.h"
#include "TClientDataSet.h"

namespace Gpe00002 {

namespace {

QString when(const QDateTime& at) { return at.toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm")); }

// "às 21:00" today, "em 15/06/2024 às 21:00" another day.
QString at(const QDateTime& horario) {
    return horario.date() == QDate::currentDate() ? horario.toString(QStringLiteral("'às' HH:mm"))
                                                  : QStringLiteral("em ") + when(horario);
}

QString people(const QString& count) {
    return count == QLatin1String("1") ? QStringLiteral("1 pessoa") : QStringLiteral("%1 pessoas").arg(count);
}

// "a mesa 0011", "as mesas 0011, 0012 e 0013".
QString theTables(const QStringList& mesas) {
    const QString text = tablesText(mesas);
    return (mesas.size() > 1 ? QStringLiteral("as m") : QStringLiteral("a m")) + text.mid(1);
}

// "da mesa 0011", "das mesas 0011, 0012 e 0013".
QString ofTables(const QStringList& mesas) { return QStringLiteral("d") + theTables(mesas); }

QString stateText(const Reserva& reserva, const QDateTime& now) {
    if (reserva.situacao == kReservaCancelada) return QStringLiteral("Cancelada");
    if (reserva.situacao == kReservaSentada) return QStringLiteral("Sentada");
    if (reserva.situacao == kReservaNaoCompareceu) return QStringLiteral("Não compareceu");
    return reserva.retencao <= now && now < reserva.limite ? QStringLiteral("Mesa reservada")
                                                           : QStringLiteral("Aguardando");
}

// What was typed for a reservation, kept while the user goes back and forth.
struct Typed {
    QStringList mesas;
    QString cliente, telefone, observacao;
    std::string horario, pessoas;
};

// A list of choices under a title and a prompt, its options (OPCAO, hidden) each with a label.
bool choose(const QString& title, const QString& prompt, const std::vector<std::pair<QString, QString>>& options,
            QString& chosen) {
    TClientDataSet choices(QStringLiteral("cdsReserva"));
    choices.FieldDefs() = {{QStringLiteral("OPCAO"), TFieldType::ftString, 8},
                           {QStringLiteral("DESCRICAO"), TFieldType::ftString, 60}};
    choices.CreateDataSet();
    for (const auto& [option, label] : options) {
        choices.Append();
        choices.FieldByName(QStringLiteral("OPCAO")).setAsString(option);
        choices.FieldByName(QStringLiteral("DESCRICAO")).setAsString(label);
        choices.Post();
    }
    choices.FieldByName(QStringLiteral("OPCAO")).setVisible(false);
    choices.FieldByName(QStringLiteral("DESCRICAO")).setDisplayLabel(QStringLiteral("Opção"));
    choices.First();
    if (!Escolha(choices, title, prompt)) return false;
    chosen = choices.FieldByName(QStringLiteral("OPCAO")).AsString();
    return true;
}

class ReservationDialogue {
public:
    explicit ReservationDialogue(Flow& flow) : m_flow(flow) {}

    QJsonValue run() {
        QDate day = QDate::currentDate();
        QString search;
        for (;;) {
            align();
            const QDateTime now = QDateTime::currentDateTime();
            std::vector<Reserva> reservas = reservasDoDia(*m_flow.db, filial(), loja(), day);
            if (!search.isEmpty())
                std::erase_if(reservas,
                              [&](const Reserva& r) { return !r.cliente.contains(search, Qt::CaseInsensitive); });
            // Tables reserved without a reservation of the package can only be freed from here.
            std::vector<TableState> unrecorded;
            if (day == now.date() && search.isEmpty())
                for (const TableState& table : loadTables(*m_flow.db, filial(), loja(), now))
                    if (reservedWithoutReservation(table)) unrecorded.push_back(table);
            TClientDataSet list(QStringLiteral("cdsReservas"));
            fillList(list, reservas, unrecorded, search, now);
            QString title = QStringLiteral("Reservas de %1").arg(day.toString(QStringLiteral("dd/MM/yyyy")));
            if (!search.isEmpty()) title += QStringLiteral(" com \"%1\"").arg(search);
            list.First();
            if (!Escolha(list, title, QStringLiteral("Escolha uma reserva, ou o que fazer"))) return QJsonValue::Null;
            const QString option = list.FieldByName(QStringLiteral("OPCAO")).AsString();
            std::optional<QJsonValue> result;
            if (option == QLatin1String("NOVA")) {
                result = nova(day);
            } else if (option == QLatin1String("DIA")) {
                if (const std::optional<QDate> other = askDay(day)) day = *other;
            } else if (option == QLatin1String("BUSCA")) {
                const std::optional<QString> typed =
                    EditaTexto(QStringLiteral("Buscar reserva"), QStringLiteral("Nome do cliente"), 50, search);
                if (typed) search = typed->simplified();
            } else if (option == QLatin1String("TODAS")) {
                search.clear();
            } else if (option == QLatin1String("MESA")) {
                const QString numero = list.FieldByName(QStringLiteral("NRRESERVA")).AsString();
                for (const TableState& table : unrecorded)
                    if (table.numero == numero) result = semRegistro(table);
            } else {
                const qint64 numero = list.FieldByName(QStringLiteral("NRRESERVA")).AsString().toLongLong();
                for (const Reserva& reserva : reservas)
                    if (reserva.numero == numero) result = uma(reserva);
            }
            if (result) return *result;
        }
    }

private:
    const QString& filial() const { return m_flow.station.filial; }
    const QString& loja() const { return m_flow.station.loja; }

    // What another terminal or the clock left behind is put right before the list is shown; when
    // the tables are busy the list shows the state all the same.
    void align() {
        try {
            alignReservations(*m_flow.db, m_flow.station, filial(), loja(), QDateTime::currentDateTime());
        } catch (const ERefusal& refusal) {
            qCInfo(lcOps).noquote() << "reservations not brought in line:" << refusal.what();
        }
    }

    static void fillList(TClientDataSet& list, const std::vector<Reserva>& reservas,
                         const std::vector<TableState>& unrecorded, const QString& search, const QDateTime& now) {
        list.FieldDefs() = {{QStringLiteral("OPCAO"), TFieldType::ftString, 8},
                            {QStringLiteral("NRRESERVA"), TFieldType::ftString, 12},
                            {QStringLiteral("HORA"), TFieldType::ftString, 5},
                            {QStringLiteral("CLIENTE"), TFieldType::ftString, 50},
                            {QStringLiteral("PESSOAS"), TFieldType::ftString, 7},
                            {QStringLiteral("MESAS"), TFieldType::ftString, 20},
                            {QStringLiteral("TELEFONE"), TFieldType::ftString, 15},
                            {QStringLiteral("SITUACAO"), TFieldType::ftString, 15}};
        list.CreateDataSet();
        const auto add = [&](const QString& option, const QString& numero, const QStringList& columns) {
            list.Append();
            list.FieldByName(QStringLiteral("OPCAO")).setAsString(option);
            list.FieldByName(QStringLiteral("NRRESERVA")).setAsString(numero);
            const char* names[] = {"HORA", "CLIENTE", "PESSOAS", "MESAS", "TELEFONE", "SITUACAO"};
            for (int i = 0; i < columns.size(); ++i) list.FieldByName(QLatin1String(names[i])).setAsString(columns[i]);
            list.Post();
        };
        add(QStringLiteral("NOVA"), {}, {{}, QStringLiteral("Nova reserva")});
        add(QStringLiteral("DIA"), {}, {{}, QStringLiteral("Outro dia")});
        if (search.isEmpty())
            add(QStringLiteral("BUSCA"), {}, {{}, QStringLiteral("Buscar pelo nome")});
        else
            add(QStringLiteral("TODAS"), {}, {{}, QStringLiteral("Mostrar todas as reservas do dia")});
        for (const Reserva& r : reservas)
            add(QStringLiteral("RESERVA"), QString::number(r.numero),
                {r.horario.toString(QStringLiteral("HH:mm")), r.cliente, r.pessoas, r.mesas.join(QStringLiteral(", ")),
                 r.telefone, stateText(r, now)});
        for (const TableState& table : unrecorded)
            add(QStringLiteral("MESA"), table.numero,
                {{},
                 QStringLiteral("Reservada sem reserva registrada"),
                 {},
                 table.numero,
                 {},
                 QStringLiteral("Mesa reservada")});
        for (const char* hidden : {"OPCAO", "NRRESERVA"}) list.FieldByName(QLatin1String(hidden)).setVisible(false);
        // The name is kept whole, but a list row shows what fits beside the other columns.
        list.FieldByName(QStringLiteral("CLIENTE")).setDisplayWidth(16);
        list.FieldByName(QStringLiteral("TELEFONE")).setDisplayWidth(13);
        list.FieldByName(QStringLiteral("MESAS")).setDisplayWidth(10);
        for (const auto& [name, label] : {std::pair<const char*, const char*>{"HORA", "Hora"},
                                          {"CLIENTE", "Cliente"},
                                          {"PESSOAS", "Pess."},
                                          {"MESAS", "Mesas"},
                                          {"TELEFONE", "Telefone"},
                                          {"SITUACAO", "Situação"}})
            list.FieldByName(QLatin1String(name)).setDisplayLabel(QString::fromUtf8(label));
    }

    std::optional<QDate> askDay(const QDate& shown) {
        std::string typed = shown.toString(QStringLiteral("ddMMyyyy")).toStdString();
        for (;;) {
            if (!TecladoNumerico(typed, "Reservas", "Dia (DDMMAAAA)", "Por exemplo 14062024 para 14/06/2024", 8, 0, 0,
                                 0, 0, 0))
                return std::nullopt;
            const QDate day = QDate::fromString(QString::fromStdString(typed), QStringLiteral("ddMMyyyy"));
            if (day.isValid()) return day;
            m_flow.refuse(
                QStringLiteral("O dia %1 não existe: digite dia, mês e ano com oito dígitos, por exemplo 14062024.")
                    .arg(QString::fromStdString(typed)));
        }
    }

    // The tables of the reservation on the map, every active table offered; nullopt on Cancela.
    std::optional<QStringList> askTables(const QString& title, const QStringList& marked) {
        const std::vector<MapTable> tables = m_flow.map(filial(), loja(), [](const TableState&) { return QString(); });
        const std::optional<std::vector<TableState>> chosen = m_flow.chooseTables(
            {title, QStringLiteral("Escolha a mesa ou as mesas da reserva"), tables, true, 1, marked});
        if (!chosen) return std::nullopt;
        QStringList numbers;
        for (const TableState& table : *chosen) numbers << table.numero;
        numbers.sort();
        return numbers;
    }

    // Time on `day`, keeping what was typed; false on Cancela.
    bool askTime(const QString& title, const QDate& day, Typed& typed, QDateTime& horario) {
        for (;;) {
            if (!TecladoNumerico(typed.horario, title.toStdString(), "Horário da reserva (HHMM)",
                                 "Por exemplo 2030 para 20:30", 4, 0, 0, 0, 0, 0))
                return false;
            const std::optional<QDateTime> time =
                reservationTimeOn(day, QString::fromStdString(typed.horario), QDateTime::currentDateTime());
            if (time) {
                horario = *time;
                return true;
            }
            m_flow.refuse(QStringLiteral("O horário %1 não existe: digite as horas e os minutos com quatro dígitos, de "
                                         "0000 a 2359.")
                              .arg(QString::fromStdString(typed.horario)));
        }
    }

    bool askPeople(const QString& title, Typed& typed, QString& pessoas) {
        for (;;) {
            if (!TecladoNumerico(typed.pessoas, title.toStdString(), "Número de pessoas", "De 1 a 999", 3, 0, 0, 0, 0,
                                 0))
                return false;
            if (const std::optional<QString> count = reservationPeople(QString::fromStdString(typed.pessoas))) {
                pessoas = *count;
                return true;
            }
            m_flow.refuse(QStringLiteral("O número de pessoas vai de 1 a 999."));
        }
    }

    bool askPhone(const QString& title, Typed& typed) {
        for (;;) {
            const std::optional<QString> answer =
                EditaTexto(title, QStringLiteral("Telefone (opcional)"), 20, typed.telefone);
            if (!answer) return false;
            typed.telefone = *answer;
            if (reservationPhone(*answer)) return true;
            m_flow.refuse(QStringLiteral("O telefone tem só algarismos, espaços, +, -, ( e )."));
        }
    }

    bool askNote(const QString& title, Typed& typed) {
        const std::optional<QString> answer =
            EditaTexto(title, QStringLiteral("Observação (opcional)"), 200, typed.observacao);
        if (!answer) return false;
        typed.observacao = *answer;
        return true;
    }

    std::optional<QJsonValue> nova(const QDate& day) {
        const QString title = QStringLiteral("Nova reserva");
        Typed typed;
        enum class Step { Tables, Name, Time, People, Phone, Note, Ask } step = Step::Tables;
        QDateTime horario;
        QString cliente, pessoas;
        for (;;) {
            switch (step) {
            case Step::Tables:
                if (const std::optional<QStringList> mesas = askTables(title, typed.mesas)) {
                    typed.mesas = *mesas;
                    step = Step::Name;
                } else {
                    return std::nullopt;
                }
                break;
            case Step::Name: {
                const std::optional<QString> answer =
                    EditaTexto(title, QStringLiteral("Nome do cliente"), 50, typed.cliente);
                if (!answer) {
                    step = Step::Tables;
                    break;
                }
                const std::optional<QString> name = guestName(*answer);
                typed.cliente = name.value_or(answer->trimmed());
                if (name) {
                    cliente = *name;
                    step = Step::Time;
                } else {
                    m_flow.refuse(QStringLiteral("Informe o nome do cliente."));
                }
                break;
            }
            case Step::Time: step = askTime(title, day, typed, horario) ? Step::People : Step::Name; break;
            case Step::People: step = askPeople(title, typed, pessoas) ? Step::Phone : Step::Time; break;
            case Step::Phone: step = askPhone(title, typed) ? Step::Note : Step::People; break;
            case Step::Note: step = askNote(title, typed) ? Step::Ask : Step::Phone; break;
            case Step::Ask: {
                // Cancela here goes back to the note, with every answer kept.
                if (!Confirma(title, QStringLiteral("Reservar %1 para %2 %3, %4?")
                                         .arg(theTables(typed.mesas), cliente, at(horario), people(pessoas)))) {
                    step = Step::Note;
                    break;
                }
                try {
                    const QJsonObject result =
                        reservarMesas(*m_flow.db, m_flow.station, filial(), loja(),
                                      {typed.mesas, cliente, horario, pessoas, typed.telefone, typed.observacao},
                                      QDateTime::currentDateTime());
                    return m_flow.done(
                        QStringLiteral("%1 %2 para %3, em %4, %5.")
                            .arg(tablesText(typed.mesas),
                                 typed.mesas.size() > 1 ? QStringLiteral("reservadas") : QStringLiteral("reservada"),
                                 cliente, when(horario), people(pessoas)),
                        result);
                } catch (const ERefusal& refusal) {
                    m_flow.refuse(refusal.message());
                    step = Step::Time;
                }
                break;
            }
            }
        }
    }

    std::optional<QJsonValue> altera(const Reserva& reserva) {
        const QString title = QStringLiteral("Alterar reserva de %1").arg(reserva.cliente);
        Typed typed{reserva.mesas,
                    reserva.cliente,
                    reserva.telefone,
                    reserva.observacao,
                    reserva.horario.toString(QStringLiteral("HHmm")).toStdString(),
                    reserva.pessoas.toStdString()};
        enum class Step { Time, People, Tables, Phone, Note, Ask } step = Step::Time;
        QDateTime horario = reserva.horario;
        QString pessoas = reserva.pessoas;
        for (;;) {
            switch (step) {
            case Step::Time:
                if (!askTime(title, reserva.horario.date(), typed, horario)) return std::nullopt;
                step = Step::People;
                break;
            case Step::People: step = askPeople(title, typed, pessoas) ? Step::Tables : Step::Time; break;
            case Step::Tables:
                if (const std::optional<QStringList> mesas = askTables(title, typed.mesas)) {
                    typed.mesas = *mesas;
                    step = Step::Phone;
                } else {
                    step = Step::People;
                }
                break;
            case Step::Phone: step = askPhone(title, typed) ? Step::Note : Step::Tables; break;
            case Step::Note: step = askNote(title, typed) ? Step::Ask : Step::Phone; break;
            case Step::Ask: {
                if (!Confirma(title, QStringLiteral("Alterar a reserva de %1 para %2, %3, %4?")
                                         .arg(reserva.cliente, theTables(typed.mesas), at(horario), people(pessoas)))) {
                    step = Step::Note;
                    break;
                }
                try {
                    const QJsonObject result = alterarReserva(
                        *m_flow.db, m_flow.station, filial(), loja(), reserva.numero,
                        {typed.mesas, reserva.cliente, horario, pessoas, typed.telefone, typed.observacao},
                        QDateTime::currentDateTime());
                    return m_flow.done(
                        QStringLiteral("Reserva de %1 alterada: %2, em %3, %4.")
                            .arg(reserva.cliente, theTables(typed.mesas), when(horario), people(pessoas)),
                        result);
                } catch (const ERefusal& refusal) {
                    m_flow.refuse(refusal.message());
                    step = Step::Time;
                }
                break;
            }
            }
        }
    }

    // A table reserved without a reservation of the package: it may only be freed, after the
    // question of a cancelled reservation (Enter answers Cancela).
    std::optional<QJsonValue> semRegistro(const TableState& mesa) {
        for (;;) {
            QString option;
            if (!choose(QStringLiteral("Escolha o que fazer com a reserva"),
                        QStringLiteral("Mesa %1 reservada").arg(mesa.numero),
                        {{QStringLiteral("VOLTAR"), QStringLiteral("Voltar à lista de reservas")},
                         {QStringLiteral("CANCELAR"), QStringLiteral("Cancelar a reserva")}},
                        option) ||
                option == QLatin1String("VOLTAR"))
                return std::nullopt;
            if (!ConfirmaCancelaPadrao(QStringLiteral("Cancelar reserva"),
                                       QStringLiteral("Cancelar a reserva da mesa %1?").arg(mesa.numero)))
                continue;
            const QJsonObject result =
                liberarMesaReservada(*m_flow.db, m_flow.station, filial(), loja(), mesa, QDateTime::currentDateTime());
            return m_flow.done(QStringLiteral("Reserva da mesa %1 cancelada; a mesa está livre.").arg(mesa.numero),
                               result);
        }
    }

    // The choice opens on "Voltar", which goes back to the list as Cancela does: nothing that
    // ends or changes the reservation is chosen unless the user chooses it.
    std::optional<QJsonValue> uma(const Reserva& reserva) {
        const QString described =
            QStringLiteral("%1: %2, %3, %4")
                .arg(tablesText(reserva.mesas), reserva.cliente, when(reserva.horario), people(reserva.pessoas));
        std::vector<std::pair<QString, QString>> options{
            {QStringLiteral("VOLTAR"), QStringLiteral("Voltar à lista de reservas")}};
        if (reserva.situacao == kReservaAtiva) {
            options.push_back(
                {QStringLiteral("SENTAR"), QStringLiteral("Sentar os clientes (a venda é aberta nos pedidos)")});
            options.push_back({QStringLiteral("ALTERAR"), QStringLiteral("Alterar a reserva")});
            options.push_back({QStringLiteral("CANCELAR"), QStringLiteral("Cancelar a reserva")});
        }
        const QString whose =
            QStringLiteral("%1 para %2 %3").arg(ofTables(reserva.mesas), reserva.cliente, at(reserva.horario));
        for (;;) {
            QString option;
            if (!choose(QStringLiteral("Escolha o que fazer com a reserva"), described, options, option) ||
                option == QLatin1String("VOLTAR"))
                return std::nullopt;
            if (option == QLatin1String("ALTERAR")) {
                if (std::optional<QJsonValue> result = altera(reserva)) return result;
                continue;
            }
            const bool seat = option == QLatin1String("SENTAR");
            const bool party = reserva.mesas.size() > 1;
            // Seating can be undone by reserving again; a cancelled reservation loses what the
            // guest was promised, so there Enter answers Cancela.
            const bool asked =
                seat ? Confirma(QStringLiteral("Sentar clientes"),
                                QStringLiteral("Sentar os clientes da reserva %1%2?")
                                    .arg(whose, party ? QStringLiteral(" (as mesas são agrupadas)") : QString()))
                     : ConfirmaCancelaPadrao(QStringLiteral("Cancelar reserva"),
                                             QStringLiteral("Cancelar a reserva %1?").arg(whose));
            if (!asked) continue;
            const QDateTime now = QDateTime::currentDateTime();
            if (!seat) {
                const QJsonObject result =
                    cancelarReserva(*m_flow.db, m_flow.station, filial(), loja(), reserva.numero, now);
                return m_flow.done(QStringLiteral("Reserva %1 cancelada.").arg(ofTables(reserva.mesas)), result);
            }
            const QJsonObject result = sentarReserva(*m_flow.db, m_flow.station, filial(), loja(), reserva.numero, now);
            const QString grouping = result.value(QStringLiteral("grouping")).toString();
            return m_flow.done(
                grouping.isEmpty()
                    ? QStringLiteral("%1 liberada para os clientes da reserva; abra a venda na tela de "
                                     "pedidos.")
                          .arg(tablesText(reserva.mesas))
                    : QStringLiteral("%1 liberadas para os clientes da reserva, no agrupamento %2; abra a "
                                     "venda na tela de pedidos.")
                          .arg(tablesText(reserva.mesas), groupingNumber(grouping)),
                result);
        }
    }

    Flow& m_flow;
};

}  // namespace

QJsonValue reservaMesa() {
    return runFlow(true, [](Flow& flow) -> QJsonValue { return ReservationDialogue(flow).run(); });
}

}  // namespace Gpe00002
