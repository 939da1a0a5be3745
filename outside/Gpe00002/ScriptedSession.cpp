#include "ScriptedSession.h"

#include "AccessStore.h"
#include "Dialogs.h"
#include "EventGuard.h"
#include "Mensagemqor.h"
#include "screens/SearchList.h"
#include "TClientDataSet.h"
#include "DataPacket.h"
#include "routines/Flow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <stdexcept>

namespace Gpe00002 {

namespace {

QJsonValue text(const std::string& value) { return QString::fromStdString(value); }

// One transcript line; its keys keep the order they were added in ("call" and "args" first).
class Entry {
public:
    Entry(const char* name, const QJsonArray& args) {
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

Entry call(const char* name, const QJsonArray& args) { return Entry(name, args); }

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
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const int space = line.indexOf(QLatin1Char(' '));
        const QString verb = space < 0 ? line : line.left(space);
        const QString argument = space < 0 ? QString() : line.mid(space + 1).trimmed();
        static const QStringList verbs = {"press", "key", "keypad", "pick", "tables", "confirm", "cancel", "text"};
        if (!verbs.contains(verb))
            throw std::runtime_error(
                QStringLiteral("%1:%2: unknown action '%3'").arg(scriptPath).arg(i + 1).arg(verb).toStdString());
        m_lines.push_back({i + 1, verb, argument});
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

void ScriptedSession::start() {
    const auto log = [this](const Entry& entry) { write(entry.json()); };

    ControleAcess = [log](int codigo, const std::string& operador) {
        const std::string answer = AccessStore().allows(codigo, QString::fromStdString(operador)) ? "S" : "N";
        Entry entry = call("ControleAcess", {codigo, text(operador)});
        entry.insert("result", text(answer));
        log(entry);
        return answer;
    };
    VerificaAcesso = [log](int codigo, const std::string& operador, std::string& texto) {
        Entry entry = call("VerificaAcesso", {codigo, text(operador), text(texto)});
        const bool granted = AccessStore().allows(codigo, QString::fromStdString(operador));
        texto.assign(1, granted ? 'S' : 'N');
        entry.insert("result", granted);
        entry.insert("value", text(texto));
        log(entry);
        return granted;
    };
    // The operations run for real; their screens take their answers from the script. Each
    // operation's line is written when it ends, with what it changed (or null).
    CriaJuntarMesas = [log](const std::string& m, const std::string& f, const std::string& l) {
        const QJsonValue result = juntarMesas(m, f, l);
        Entry entry = call("CriaJuntarMesas", {text(m), text(f), text(l)});
        entry.insert("result", result);
        log(entry);
    };
    CriaTrComanN = [log](const std::string& k, const std::string& f, const std::string& t) {
        const QJsonValue result = trComanN(k, f, t);
        Entry entry = call("CriaTrComanN", {text(k), text(f), text(t)});
        entry.insert("result", result);
        log(entry);
    };
    CriaFReservaMesa = [log] {
        const QJsonValue result = reservaMesa();
        Entry entry = call("CriaFReservaMesa", {});
        entry.insert("result", result);
        log(entry);
    };
    ReimprimePedido = [log] {
        const QJsonValue result = reimprimePedido();
        Entry entry = call("ReimprimePedido", {});
        entry.insert("result", result);
        log(entry);
    };
    CriaConsultaJuncao = [log](const std::string& a, const std::string& f, const std::string& l) {
        const QJsonValue result = consultaJuncao(a, f, l);
        Entry entry = call("CriaConsultaJuncao", {text(a), text(f), text(l)});
        entry.insert("result", result);
        log(entry);
    };
    RelFiscais = [log] {
        const QJsonValue result = relFiscais();
        Entry entry = call("RelFiscais", {});
        entry.insert("result", result);
        log(entry);
    };

    TecladoNumerico = [this, log](std::string& valor, const std::string& caption, const std::string& prompt,
                                  const std::string& prompt2, int tamanho, int a1, int a2, int a3, int a4, int a5) {
        Entry entry = call("TecladoNumerico",
                           {text(valor), text(caption), text(prompt), text(prompt2), tamanho, a1, a2, a3, a4, a5});
        bool confirmed = false;
        const Line* line = nextLine();
        if (line) {
            if (line->verb != QLatin1String("keypad"))
                fail(QStringLiteral("line %1: '%2' while a keypad waits").arg(line->number).arg(line->verb));
            ++m_next;
            if (line->argument != QLatin1String("cancel")) {
                valor = line->argument.toStdString();
                confirmed = true;
            }
        }
        entry.insert("result", confirmed);
        entry.insert("value", text(valor));
        log(entry);
        return confirmed;
    };

    MapaMesas = [this, log](const TableMapRequest& request) -> std::optional<QStringList> {
        Entry entry = call("MapaMesas", {request.title, request.prompt, request.multiple});
        QJsonArray offered;
        for (const MapTable& table : request.tables)
            if (table.enabled) offered.append(table.mesa.numero);
        entry.insert("offered", offered);
        if (!request.marked.isEmpty()) entry.insert("marked", QJsonArray::fromStringList(request.marked));
        std::optional<QStringList> chosen;
        const Line* line = nextLine();
        if (line) {
            if (line->verb != QLatin1String("tables") && line->verb != QLatin1String("cancel"))
                fail(QStringLiteral("line %1: '%2' while the table map waits").arg(line->number).arg(line->verb));
            ++m_next;
            if (line->verb == QLatin1String("tables")) {
                QStringList numbers;
                for (const QString& number : line->argument.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    const QString wanted = number.trimmed();
                    const auto found = std::find_if(request.tables.begin(), request.tables.end(),
                                                    [&](const MapTable& table) { return table.mesa.numero == wanted; });
                    // A number that is no table of the store goes to the operation, which says so
                    // and shows the map again, as a number typed on the map is told.
                    if (found != request.tables.end() && !found->enabled)
                        fail(QStringLiteral("line %1: table %2 is not offered here (%3)")
                                 .arg(line->number)
                                 .arg(wanted, found->reason));
                    numbers << wanted;
                }
                if (numbers.isEmpty() || (!request.multiple && numbers.size() > 1) || numbers.size() < request.minimum)
                    fail(QStringLiteral("line %1: the map wants %2 table(s), not '%3'")
                             .arg(line->number)
                             .arg(request.multiple ? QStringLiteral("%1 or more").arg(request.minimum)
                                                   : QStringLiteral("one"),
                                  line->argument));
                numbers.sort();
                chosen = numbers;
            }
        }
        entry.insert("result", chosen ? QJsonValue(QJsonArray::fromStringList(*chosen)) : QJsonValue());
        log(entry);
        return chosen;
    };
    const auto confirm = [this, log](const char* name, const QString& title, const QString& question) {
        Entry entry = call(name, {title, question});
        bool confirmed = false;
        if (const Line* line = nextLine()) {
            if (line->verb != QLatin1String("confirm") && line->verb != QLatin1String("cancel"))
                fail(QStringLiteral("line %1: '%2' while a confirmation waits").arg(line->number).arg(line->verb));
            ++m_next;
            confirmed = line->verb == QLatin1String("confirm");
        }
        entry.insert("result", confirmed);
        log(entry);
        return confirmed;
    };
    Confirma = [confirm](const QString& title, const QString& question) {
        return confirm("Confirma", title, question);
    };
    ConfirmaCancelaPadrao = [confirm](const QString& title, const QString& question) {
        return confirm("ConfirmaCancelaPadrao", title, question);
    };
    const auto typeText = [this, log](Entry entry, int maxLength) -> std::optional<QString> {
        std::optional<QString> typed;
        if (const Line* line = nextLine()) {
            if (line->verb != QLatin1String("text") && line->verb != QLatin1String("cancel"))
                fail(QStringLiteral("line %1: '%2' while a text field waits").arg(line->number).arg(line->verb));
            ++m_next;
            if (line->verb == QLatin1String("text")) {
                if (maxLength > 0 && line->argument.size() > maxLength)
                    fail(QStringLiteral("line %1: the field takes at most %2 characters")
                             .arg(line->number)
                             .arg(maxLength));
                typed = line->argument;
            }
        }
        entry.insert("result", typed ? QJsonValue(*typed) : QJsonValue());
        log(entry);
        return typed;
    };
    Texto = [typeText](const QString& title, const QString& prompt, int maxLength) {
        return typeText(call("Texto", {title, prompt, maxLength}), maxLength);
    };
    // What was typed before is replaced by the line's text, as a person would clear the field.
    EditaTexto = [typeText](const QString& title, const QString& prompt, int maxLength, const QString& initial) {
        return typeText(call("EditaTexto", {title, prompt, maxLength, initial}), maxLength);
    };
    ExibeAgrupamentos = [this, log](const GroupingOverview& overview) {
        Entry entry = call("ExibeAgrupamentos", {overview.filial, overview.loja});
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
        entry.insert("groupings", groupings);
        entry.insert("selected", overview.selecionado);
        if (const Line* line = nextLine()) {
            if (line->verb != QLatin1String("confirm") && line->verb != QLatin1String("cancel"))
                fail(QStringLiteral("line %1: '%2' while the groupings are shown").arg(line->number).arg(line->verb));
            ++m_next;
        }
        log(entry);
    };

    // "confirm" asks for the report on paper, "cancel" closes it.
    ExibeRelatorioGarcons = [this, log](const WaiterReport& report) {
        Entry entry = call("ExibeRelatorioGarcons", {report.filial, report.loja, report.dia.toString(Qt::ISODate)});
        bool print = false;
        if (const Line* line = nextLine()) {
            if (line->verb != QLatin1String("confirm") && line->verb != QLatin1String("cancel"))
                fail(QStringLiteral("line %1: '%2' while the report is shown").arg(line->number).arg(line->verb));
            ++m_next;
            print = line->verb == QLatin1String("confirm");
        }
        entry.insert("result", print);
        log(entry);
        return print;
    };

    const auto pick = [this, log](Entry entry, TClientDataSet& dataSet) {
        const SearchListData data(dataSet);
        QJsonArray columns, rows;
        for (const SearchColumn& column : data.columns()) columns.append(column.label);
        for (const QStringList& row : data.rows()) rows.append(QJsonArray::fromStringList(row));
        entry.insert("columns", columns);
        entry.insert("rows", rows);
        int picked = -1;
        const Line* line = nextLine();
        if (line) {
            if (line->verb != QLatin1String("pick"))
                fail(QStringLiteral("line %1: '%2' while the search list waits").arg(line->number).arg(line->verb));
            ++m_next;
            if (line->argument != QLatin1String("cancel")) {
                // Every record the dataset shows, with every field, not only the visible ones.
                std::vector<std::pair<QString, QString>> wanted;
                for (const QString& pair : line->argument.split(QLatin1Char(','))) {
                    const int eq = pair.indexOf(QLatin1Char('='));
                    if (eq <= 0) fail(QStringLiteral("line %1: '%2' is not FIELD=VALUE").arg(line->number).arg(pair));
                    wanted.emplace_back(pair.left(eq).trimmed(), pair.mid(eq + 1));
                }
                int row = 0;
                for (dataSet.First(); !dataSet.Eof() && picked < 0; dataSet.Next(), ++row) {
                    bool all = true;
                    for (const auto& [field, value] : wanted) {
                        const TField* found = dataSet.FindField(field);
                        if (!found)
                            fail(QStringLiteral("line %1: the list has no field %2").arg(line->number).arg(field));
                        all = all && found->AsString() == value;
                    }
                    if (all) picked = row;
                }
                if (picked < 0)
                    fail(QStringLiteral("line %1: no row of the list holds %2").arg(line->number).arg(line->argument));
                SearchListData::makeCurrent(dataSet, picked);
            }
        }
        if (picked < 0 && data.currentRow() >= 0) SearchListData::makeCurrent(dataSet, data.currentRow());
        entry.insert("result", picked >= 0);
        entry.insert("picked", picked >= 0 ? QJsonValue(picked) : QJsonValue());
        log(entry);
        return picked >= 0;
    };
    Pesquisa = [pick](TClientDataSet& dataSet, int a1, int a2, int c1, int c2, int c3, int c4, int a3) {
        return pick(call("Pesquisa", {QJsonValue(), a1, a2, c1, c2, c3, c4, a3}), dataSet);
    };
    Escolha = [pick](TClientDataSet& dataSet, const QString& title, const QString& prompt) {
        return pick(call("Escolha", {QJsonValue(), title, prompt}), dataSet);
    };

    Mensagemqor::setMensagemHook([log](const Mensagemqor::MensagemCall& c) {
        log(call("Mensagem", {text(c.texto), text(c.titulo), text(c.opcao1), text(c.opcao2), c.tipo,
                              text(c.complemento), text(c.esquema), c.codigo, QJsonValue()}));
        return true;
    });
    Mensagemqor::setMensagemMetodoHook([log](const QVariant& value, bool exibe, int codigo, const std::string& metodo,
                                             const std::string& unidade, const std::string& contexto,
                                             const std::string& esquema) {
        log(call("MensagemMetodo",
                 {describe(value), exibe, codigo, text(metodo), text(unidade), text(contexto), text(esquema)}));
    });
    setExceptionReporter([log](const QString& message) { log(call("ShowException", {message})); });

    m_timer = new QTimer(qApp);
    QObject::connect(m_timer, &QTimer::timeout, [this] { feedMenu(); });
    m_timer->start(5);
}

void ScriptedSession::feedMenu() {
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
