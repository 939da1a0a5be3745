#include "ScriptedSession.h"

#include "AccessStore.h"
#include "Dialogs.h"
#include "EventGuard.h"
#include "Mensagemqor.h"
#include "screens/SearchList.h"
#include "TClientDataSet.h"
#include "DataPacket.h"
#include "routines/Flow.h"
#include "store/FloorWatch.h"
#include "store/PackageDatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <stdexcept>

namespace Gpe00002 {

// One transcript line; its keys keep the order they were added in ("call" and "args" first).
class TranscriptLine {
public:
    TranscriptLine(const char* name, const QJsonArray& args) {
        add("call", QLatin1String(name));
        add("args", args);
    }
    void insert(const char* key, const QJsonValue& value) { add(key, value); }
    QByteArray json() const { return '{' + m_text + '}'; }

private:
    void add(const char* key, const QJsonValue& value) {
        // A value alone is not a JSON document: write it inside an array and take it out.
        QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        text = text.mid(1, text.size() - 2);
        if (!m_text.isEmpty()) m_text += ',';
        m_text += '"' + QByteArray(key) + "\":" + text;
    }
    QByteArray m_text;
};

namespace {

QJsonValue text(const std::string& value) { return QString::fromStdString(value); }

// The groupings shown, as ExibeAgrupamentos's line lists them.
QJsonArray groupingsJson(const GroupingOverview& overview) {
    QJsonArray groupings;
    for (const Grouping& grouping : overview.grupos) {
        QJsonArray tables;
        for (const GroupingTable& table : grouping.mesas)
            tables.append(QJsonObject{{QStringLiteral("table"), table.mesa.numero},
                                      {QStringLiteral("state"), table.mesa.estado},
                                      {QStringLiteral("waiter"), table.vendedor},
                                      {QStringLiteral("people"), table.pessoas},
                                      {QStringLiteral("total"), table.total.toDouble()}});
        groupings.append(
            QJsonObject{{QStringLiteral("grouping"), grouping.numero}, {QStringLiteral("tables"), tables}});
    }
    return groupings;
}

// A value passed to MensagemMetodo: a packet by its row count, a boolean, an error text.
QJsonValue describe(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        try {
            return QJsonObject{
                {QStringLiteral("packet"), static_cast<qint64>(decodePacket(value.toByteArray()).rows.size())}};
        } catch (const std::exception&) {
            return QJsonObject{{QStringLiteral("packet"), QJsonValue()}};
        }
    case QMetaType::Bool: return value.toBool();
    case QMetaType::QString: return value.toString();
    default: return QJsonValue();
    }
}

}  // namespace

ScriptedSession::ScriptedSession(const QString& scriptPath, const QString& transcriptPath) {
    QFile script(scriptPath);
    if (!script.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("cannot read the script %1: %2").arg(scriptPath, script.errorString()).toStdString());
    const QStringList lines = QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString verb = space < 0 ? line : line.left(space);
        const QString argument = space < 0 ? QString() : line.mid(space + 1).trimmed();
        static const char* const verbs[] = {"press",   "key",    "keypad", "pick",  "tables",
                                            "confirm", "cancel", "text",   "expect"};
        if (std::none_of(std::begin(verbs), std::end(verbs),
                         [&](const char* known) { return verb == QLatin1String(known); }))
            throw std::runtime_error(
                QStringLiteral("%1:%2: unknown action '%3'").arg(scriptPath).arg(i + 1).arg(verb).toStdString());
        m_lines.push_back({static_cast<int>(i + 1), verb, argument});
    }
    m_transcript = std::make_unique<QFile>(transcriptPath);
    if (!m_transcript->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(QStringLiteral("cannot write the transcript %1: %2")
                                     .arg(transcriptPath, m_transcript->errorString())
                                     .toStdString());
}

ScriptedSession::~ScriptedSession() {
    Mensagemqor::setMensagemHook(nullptr);
    Mensagemqor::setMensagemMetodoHook(nullptr);
    setExceptionReporter(nullptr);
    PackageDatabase::setCommitObserver(nullptr);
    InstallDefaultRoutines();
}

void ScriptedSession::write(const QByteArray& json) {
    m_transcript->write(json);
    m_transcript->write("\n");
    m_transcript->flush();
}

const ScriptedSession::Line* ScriptedSession::nextLine() {
    return m_next < m_lines.size() ? &m_lines[m_next] : nullptr;
}

void ScriptedSession::fail(const QString& message) {
    if (m_error.isEmpty()) m_error = message;
    // Ends the command that is running; the menu is closed on the next feed.
    throw EAbort();
}

const ScriptedSession::Line* ScriptedSession::take(std::initializer_list<const char*> verbs, const char* waiting) {
    const Line* line = nextLine();
    if (!line) return nullptr;
    if (std::none_of(verbs.begin(), verbs.end(), [&](const char* verb) { return line->verb == QLatin1String(verb); }))
        fail(QStringLiteral("line %1: '%2' while %3").arg(line->number).arg(line->verb, QLatin1String(waiting)));
    ++m_next;
    return line;
}

namespace {

// A routine's arguments as the transcript writes them; a dataset is null, a request or a screen's
// content the values it was asked with.
void append(QJsonArray& args, int value) { args.append(value); }
void append(QJsonArray& args, const std::string& value) { args.append(text(value)); }
void append(QJsonArray& args, const QString& value) { args.append(value); }
void append(QJsonArray& args, const TClientDataSet&) { args.append(QJsonValue()); }
void append(QJsonArray& args, const TableMapRequest& request) {
    args.append(request.title);
    args.append(request.prompt);
    args.append(request.multiple);
}
void append(QJsonArray& args, const GroupingOverview& overview) {
    args.append(overview.filial);
    args.append(overview.loja);
}
void append(QJsonArray& args, const WaiterReport& report) {
    for (const QString& value : {report.filial, report.loja, report.dia.toString(Qt::ISODate)}) args.append(value);
}

// A routine variable's scripted stand-in: each call is one transcript line, written once `answer`
// (which adds what the call gave) has returned; a line that stopped the run writes none.
template <typename Routine>
struct Logged;
template <typename Result, typename... Args>
struct Logged<std::function<Result(Args...)>> {
    template <typename Answer>
    static std::function<Result(Args...)> make(std::function<void(const TranscriptLine&)> write, const char* name,
                                               Answer answer) {
        return [write = std::move(write), name, answer = std::move(answer)](Args... args) -> Result {
            QJsonArray json;
            (append(json, args), ...);
            TranscriptLine entry(name, json);
            if constexpr (std::is_void_v<Result>) {
                answer(entry, std::forward<Args>(args)...);
                write(entry);
            } else {
                Result result = answer(entry, std::forward<Args>(args)...);
                write(entry);
                return result;
            }
        };
    }
};

// The access checks answer from the access store.
bool allowed(int codigo, const std::string& operador) {
    return AccessStore().allows(codigo, QString::fromStdString(operador));
}

}  // namespace

template <typename Routine, typename Answer>
void ScriptedSession::install(Routine& routine, const char* name, Answer answer) {
    routine =
        Logged<Routine>::make([this](const TranscriptLine& entry) { write(entry.json()); }, name, std::move(answer));
}

void ScriptedSession::start() {
    // The package's routines, each under the name the transcript gives it. The operations run
    // for real; their screens take their answers from the script, and each operation's line,
    // with what it changed (or null), is written when it ends.
    install(ControleAcess, "ControleAcess", [](TranscriptLine& entry, int codigo, const std::string& operador) {
        const std::string answer = allowed(codigo, operador) ? "S" : "N";
        entry.insert("result", text(answer));
        return answer;
    });
    install(VerificaAcesso, "VerificaAcesso",
            [](TranscriptLine& entry, int codigo, const std::string& operador, std::string& texto) {
                const bool granted = allowed(codigo, operador);
                texto.assign(1, granted ? 'S' : 'N');
                entry.insert("result", granted);
                entry.insert("value", text(texto));
                return granted;
            });
    install(CriaJuntarMesas, "CriaJuntarMesas",
            [](TranscriptLine& entry, const std::string& m, const std::string& f, const std::string& l) {
                entry.insert("result", juntarMesas(m, f, l));
            });
    install(CriaTrComanN, "CriaTrComanN",
            [](TranscriptLine& entry, const std::string& k, const std::string& f, const std::string& t) {
                entry.insert("result", trComanN(k, f, t));
            });
    install(CriaFReservaMesa, "CriaFReservaMesa", [](TranscriptLine& entry) { entry.insert("result", reservaMesa()); });
    install(ReimprimePedido, "ReimprimePedido",
            [](TranscriptLine& entry) { entry.insert("result", reimprimePedido()); });
    install(CriaConsultaJuncao, "CriaConsultaJuncao",
            [](TranscriptLine& entry, const std::string& a, const std::string& f, const std::string& l) {
                entry.insert("result", consultaJuncao(a, f, l));
            });
    install(RelFiscais, "RelFiscais", [](TranscriptLine& entry) { entry.insert("result", relFiscais()); });
    install(TecladoNumerico, "TecladoNumerico",
            [this](TranscriptLine& entry, std::string& valor, const std::string&, const std::string&,
                   const std::string&, int, int, int, int, int, int) { return keypad(entry, valor); });
    install(MapaMesas, "MapaMesas",
            [this](TranscriptLine& entry, const TableMapRequest& request) { return tables(entry, request); });
    install(Confirma, "Confirma", [this](TranscriptLine& entry, const QString&, const QString&) {
        return question(entry, "a confirmation waits");
    });
    install(ConfirmaCancelaPadrao, "ConfirmaCancelaPadrao",
            [this](TranscriptLine& entry, const QString&, const QString&) {
                return question(entry, "a confirmation waits");
            });
    // The notice of a change takes a "confirm" (Desfazer) or "cancel" (OK) when one comes next;
    // the script may also go on with anything else, which closes it as OK does.
    install(AvisoDesfazer, "AvisoDesfazer", [this](TranscriptLine& entry, const QString&, const QString&) {
        const Line* line = nextLine();
        const bool answered = line && (line->verb == QLatin1String("confirm") || line->verb == QLatin1String("cancel"));
        const bool undo = answered && line->verb == QLatin1String("confirm");
        if (answered) ++m_next;
        entry.insert("result", undo);
        return undo;
    });
    install(Texto, "Texto", [this](TranscriptLine& entry, const QString&, const QString&, int maxLength) {
        return typeText(entry, maxLength);
    });
    // What was typed before is replaced by the line's text, as a person would clear the field.
    install(EditaTexto, "EditaTexto",
            [this](TranscriptLine& entry, const QString&, const QString&, int maxLength, const QString&) {
                return typeText(entry, maxLength);
            });
    install(ExibeAgrupamentos, "ExibeAgrupamentos", [this](TranscriptLine& entry, const GroupingOverview& overview) {
        entry.insert("groupings", groupingsJson(overview));
        entry.insert("selected", overview.selecionado);
        take({"confirm", "cancel"}, "the groupings are shown");
    });
    // "confirm" asks for the report on paper, "cancel" closes it.
    install(ExibeRelatorioGarcons, "ExibeRelatorioGarcons",
            [this](TranscriptLine& entry, const WaiterReport&) { return question(entry, "the report is shown"); });
    install(Pesquisa, "Pesquisa",
            [this](TranscriptLine& entry, TClientDataSet& dataSet, int, int, int, int, int, int, int) {
                return pick(entry, dataSet);
            });
    install(Escolha, "Escolha", [this](TranscriptLine& entry, TClientDataSet& dataSet, const QString&, const QString&) {
        return pick(entry, dataSet);
    });

    const auto log = [this](const TranscriptLine& entry) { write(entry.json()); };
    Mensagemqor::setMensagemHook([log](const Mensagemqor::MensagemCall& c) {
        log(TranscriptLine("Mensagem", {text(c.texto), text(c.titulo), text(c.opcao1), text(c.opcao2), c.tipo,
                                        text(c.complemento), text(c.esquema), c.codigo, QJsonValue()}));
        return true;
    });
    Mensagemqor::setMensagemMetodoHook([log](const QVariant& value, bool exibe, int codigo, const std::string& metodo,
                                             const std::string& unidade, const std::string& contexto,
                                             const std::string& esquema) {
        log(TranscriptLine("MensagemMetodo", {describe(value), exibe, codigo, text(metodo), text(unidade),
                                              text(contexto), text(esquema)}));
    });
    setExceptionReporter([log](const QString& message) { log(TranscriptLine("ShowException", {message})); });
    // A change is in the transcript as soon as it is in the database, whatever the script does
    // next (a line that stops the run inside the operation's dialogue ends it without its line).
    PackageDatabase::setCommitObserver([log](const PackageDatabase::Committed& committed) {
        const auto optional = [](const QVariant& value) {
            return value.isNull() ? QJsonValue() : QJsonValue(value.toString());
        };
        TranscriptLine entry("Committed", {committed.operacao, optional(committed.origem), optional(committed.destino),
                                           optional(committed.grupo)});
        entry.insert("result", QJsonDocument::fromJson(committed.depois.toUtf8()).object());
        log(entry);
    });

    m_timer = new QTimer(qApp);
    QObject::connect(m_timer, &QTimer::timeout, [this] { feedMenu(); });
    m_timer->start(5);
}

bool ScriptedSession::keypad(TranscriptLine& entry, std::string& valor) {
    const Line* line = take({"keypad"}, "a keypad waits");
    const bool confirmed = line && line->argument != QLatin1String("cancel");
    if (confirmed) valor = line->argument.toStdString();
    entry.insert("result", confirmed);
    entry.insert("value", text(valor));
    return confirmed;
}

std::optional<QStringList> ScriptedSession::tables(TranscriptLine& entry, const TableMapRequest& request) {
    QJsonArray offered;
    for (const MapTable& table : request.tables)
        if (table.enabled) offered.append(table.mesa.numero);
    entry.insert("offered", offered);
    if (!request.marked.isEmpty()) entry.insert("marked", QJsonArray::fromStringList(request.marked));
    std::optional<QStringList> chosen;
    std::vector<MapTable> shown = request.tables;
    while (const Line* waiting = nextLine()) {
        if (waiting->verb != QLatin1String("expect")) break;
        ++m_next;
        expect(*waiting, request, shown);
    }
    const Line* line = take({"tables", "cancel"}, "the table map waits");
    if (line && line->verb == QLatin1String("tables")) {
        QStringList numbers;
        for (const QString& number : line->argument.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString wanted = number.trimmed();
            const auto found = std::find_if(shown.begin(), shown.end(),
                                            [&](const MapTable& table) { return table.mesa.numero == wanted; });
            // A number that is no table of the store goes to the operation, which says so and
            // shows the map again, as a number typed on the map is told.
            if (found != shown.end() && !found->enabled)
                fail(QStringLiteral("line %1: table %2 is not offered here (%3)")
                         .arg(line->number)
                         .arg(wanted, found->reason));
            numbers << wanted;
        }
        if (numbers.isEmpty() || (!request.multiple && numbers.size() > 1) || numbers.size() < request.minimum)
            fail(QStringLiteral("line %1: the map wants %2 table(s), not '%3'")
                     .arg(line->number)
                     .arg(request.multiple ? QStringLiteral("%1 or more").arg(request.minimum) : QStringLiteral("one"),
                          line->argument));
        numbers.sort();
        chosen = numbers;
    }
    entry.insert("result", chosen ? QJsonValue(QJsonArray::fromStringList(*chosen)) : QJsonValue());
    return chosen;
}

namespace {

// The states an expect line names, and whether a table is in one.
const char* const kExpectStates[] = {"livre", "ocupada", "reservada", "fechando", "agrupada"};

bool inState(const TableState& mesa, const QString& word) {
    if (word == QLatin1String("agrupada")) return !mesa.grupo.isEmpty();
    const QString code = word == QLatin1String("livre")       ? kLivre
                         : word == QLatin1String("ocupada")   ? kOcupada
                         : word == QLatin1String("reservada") ? kReservada
                                                              : kFechando;
    return mesa.estado == code;
}

// A table's state in an expect line's words: "ocupada", "livre, agrupada"; its code when it is
// none of them.
QString stateWords(const TableState& mesa) {
    QString words = mesa.estado;
    for (const char* word : kExpectStates)
        if (QLatin1String(word) != QLatin1String("agrupada") && inState(mesa, QLatin1String(word)))
            words = QLatin1String(word);
    if (!mesa.grupo.isEmpty()) words += QStringLiteral(", agrupada");
    return words;
}

}  // namespace

void ScriptedSession::expect(const Line& line, const TableMapRequest& request, std::vector<MapTable>& shown) {
    const QStringList parts = line.argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool number = false;
    const double seconds = parts.size() == 3 ? parts[2].toDouble(&number) : 0;
    const bool known =
        parts.size() == 3 && std::any_of(std::begin(kExpectStates), std::end(kExpectStates),
                                         [&](const char* word) { return parts[1] == QLatin1String(word); });
    if (!number || !known || seconds <= 0 || seconds > 3600)
        fail(QStringLiteral("line %1: expect takes TABLE STATE SECONDS, the state one of livre, ocupada, reservada, "
                            "fechando, agrupada, not '%2'")
                 .arg(line.number)
                 .arg(line.argument));
    const QString& wanted = parts[0];
    const QString& state = parts[1];
    if (!request.reread) fail(QStringLiteral("line %1: this table map does not follow the floor").arg(line.number));

    // The watch says when to read again; without one (no connection to listen on), a timer does.
    std::unique_ptr<FloorWatch> watch;
    if (!request.connectionString.isEmpty()) {
        watch = std::make_unique<FloorWatch>(request.connectionString, request.filial, request.loja);
        watch->start();
    }
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(250);
    if (watch) {
        QObject::connect(watch.get(), &FloorWatch::changed, &loop, &QEventLoop::quit);
    } else {
        QObject::connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
        poll.start();
    }
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer waited;
    waited.start();
    const auto limitMs = static_cast<qint64>(seconds * 1000);
    qint64 heard = monotonicMs();
    QString seen = QStringLiteral("absent");
    m_following = true;
    const std::unique_ptr<bool, void (*)(bool*)> following(&m_following, [](bool* flag) { *flag = false; });
    for (;;) {
        shown = request.reread();
        const auto found = std::find_if(shown.begin(), shown.end(),
                                        [&](const MapTable& table) { return table.mesa.numero == wanted; });
        seen = found == shown.end() ? QStringLiteral("absent") : stateWords(found->mesa);
        TranscriptLine entry("refresh", {wanted, state});
        entry.insert("screen", QStringLiteral("MapaMesas"));
        entry.insert("state", seen);
        entry.insert("ms", monotonicMs() - heard);
        write(entry.json());
        if (found != shown.end() && inState(found->mesa, state)) break;
        // Past the time, one last read was made for a change that came with it.
        const qint64 left = limitMs - waited.elapsed();
        if (left <= 0) break;
        limit.start(static_cast<int>(left));
        loop.exec();
        heard = watch && limit.isActive() ? watch->heardAt() : monotonicMs();
    }
    const auto found =
        std::find_if(shown.begin(), shown.end(), [&](const MapTable& table) { return table.mesa.numero == wanted; });
    if (found == shown.end() || !inState(found->mesa, state))
        fail(QStringLiteral("line %1: table %2 is not %3 after %4 s: it is %5")
                 .arg(line.number)
                 .arg(wanted, state, parts[2], seen));
}

bool ScriptedSession::question(TranscriptLine& entry, const char* waiting) {
    const Line* line = take({"confirm", "cancel"}, waiting);
    const bool confirmed = line && line->verb == QLatin1String("confirm");
    entry.insert("result", confirmed);
    return confirmed;
}

std::optional<QString> ScriptedSession::typeText(TranscriptLine& entry, int maxLength) {
    std::optional<QString> typed;
    const Line* line = take({"text", "cancel"}, "a text field waits");
    if (line && line->verb == QLatin1String("text")) {
        if (maxLength > 0 && line->argument.size() > maxLength)
            fail(QStringLiteral("line %1: the field takes at most %2 characters").arg(line->number).arg(maxLength));
        typed = line->argument;
    }
    entry.insert("result", typed ? QJsonValue(*typed) : QJsonValue());
    return typed;
}

bool ScriptedSession::pick(TranscriptLine& entry, TClientDataSet& dataSet) {
    const SearchListData data(dataSet);
    QJsonArray columns, rows;
    for (const SearchColumn& column : data.columns()) columns.append(column.label);
    for (const QStringList& row : data.rows()) rows.append(QJsonArray::fromStringList(row));
    entry.insert("columns", columns);
    entry.insert("rows", rows);
    int picked = -1;
    const Line* line = take({"pick"}, "the search list waits");
    if (line && line->argument != QLatin1String("cancel")) {
        // Every record the dataset shows, with every field, not only the visible ones.
        std::vector<std::pair<QString, QString>> wanted;
        for (const QString& pair : line->argument.split(QLatin1Char(','))) {
            const int eq = static_cast<int>(pair.indexOf(QLatin1Char('=')));
            if (eq <= 0) fail(QStringLiteral("line %1: '%2' is not FIELD=VALUE").arg(line->number).arg(pair));
            wanted.emplace_back(pair.left(eq).trimmed(), pair.mid(eq + 1));
        }
        int row = 0;
        for (dataSet.First(); !dataSet.Eof() && picked < 0; dataSet.Next(), ++row) {
            bool all = true;
            for (const auto& [field, value] : wanted) {
                const TField* found = dataSet.FindField(field);
                if (!found) fail(QStringLiteral("line %1: the list has no field %2").arg(line->number).arg(field));
                all = all && found->AsString() == value;
            }
            if (all) picked = row;
        }
        if (picked < 0)
            fail(QStringLiteral("line %1: no row of the list holds %2").arg(line->number).arg(line->argument));
        SearchListData::makeCurrent(dataSet, picked);
    }
    if (picked < 0 && data.currentRow() >= 0) SearchListData::makeCurrent(dataSet, data.currentRow());
    entry.insert("result", picked >= 0);
    entry.insert("picked", picked >= 0 ? QJsonValue(picked) : QJsonValue());
    return picked >= 0;
}

void ScriptedSession::feedMenu() {
    if (m_following) return;
    QWidget* menu = QApplication::activeModalWidget();
    if (!menu || menu->objectName() != QLatin1String("frmMenu") || !menu->isVisible()) return;
    if (!m_error.isEmpty()) {
        menu->close();
        return;
    }
    const Line* line = nextLine();
    if (!line) {
        menu->close();
        return;
    }
    ++m_next;
    if (line->verb == QLatin1String("press")) {
        auto* button = menu->findChild<QAbstractButton*>(line->argument);
        if (!button) {
            m_error = QStringLiteral("line %1: the menu has no button %2").arg(line->number).arg(line->argument);
            menu->close();
            return;
        }
        // A disabled button takes no click, as for a person.
        if (button->isEnabled()) button->click();
    } else if (line->verb == QLatin1String("key")) {
        const QString name = line->argument.toUpper();
        const int key = name == QLatin1String("F1") ? Qt::Key_F1 : name == QLatin1String("ESC") ? Qt::Key_Escape : 0;
        if (!key) {
            m_error = QStringLiteral("line %1: unknown key %2 (F1 or ESC)").arg(line->number).arg(line->argument);
            menu->close();
            return;
        }
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &press);
    } else {
        m_error = QStringLiteral("line %1: '%2' while the menu waits").arg(line->number).arg(line->verb);
        menu->close();
    }
}

}  // namespace Gpe00002

Gpe00002::ScriptedRun* gpe00002StartScriptedRun(const QString& scriptPath, const QString& transcriptPath,
                                                QString& error) {
    try {
        auto session = std::make_unique<Gpe00002::ScriptedSession>(scriptPath, transcriptPath);
        session->start();
        return session.release();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        return nullptr;
    }
}
