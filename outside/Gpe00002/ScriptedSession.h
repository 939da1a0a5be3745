#pragma once
// Scripted mode: the operations package and the message dialogues answered from a script
// instead of a person, with a transcript of every call, for integrators and end-to-end tests.
//
// The script holds one action a line, taken in order whenever the menu or a dialogue waits;
// blank lines and lines starting with '#' are skipped:
//   press NAME            click the menu button of that component name
//   key F1 | key ESC      a key press on the menu
//   keypad TEXT           type TEXT on the waiting keypad and confirm; "keypad cancel"
//   pick F=V[,F=V...]     pick, in the waiting list (search list or titled list), the first row
//                         whose fields hold those values; "pick cancel"
//   tables NNNN[,NNNN...] choose those tables on the waiting table map and confirm (a table the
//                         map does not offer stops the run; a number that is no table of the
//                         store is refused by the operation, which shows the map again)
//   confirm | cancel      answer the waiting question (either kind), or close the waiting screen
//                         (on the waiters' report, confirm prints it); "cancel" on a map closes it
//   text TEXT             type TEXT into the waiting text field (over what it held) and confirm
//   expect NNNN STATE S   while a table map waits: follow the floor until table NNNN is in STATE
//                         (livre, ocupada, reservada, fechando, agrupada), re-reading the map at
//                         every change another terminal makes; the run stops when S seconds pass
//                         first. The map's next line (tables, cancel) sees the map as read last.
// Message dialogues are acknowledged without a line; access checks answer from the access
// store. When the script runs out, a waiting keypad or list is cancelled and the menu closed.
// A line that does not fit what waits stops the run: error() then says why.
//
// The operations run for real on the database; only their screens answer from the script.
//
// The transcript is JSON lines, one per call into the operations package, Mensagem,
// MensagemMetodo, the error dialogue and the operations' own dialogues, with "call", "args" and
// "result": for an operation, what it changed (null when nothing), written when it ends, after
// the lines of its dialogues; "value" (keypad), "columns", "rows" and "picked" (search list),
// "offered" and, when the user came back to it, "marked" (table map), "groupings" (the groupings
// shown), and for every re-read of a map that an expect line follows, a line "call": "refresh"
// with the table, the state it shows and "ms", the time from the change to the re-read;
// RelFiscais's result is the report
// shown (operations/WaiterReport.h, waiterReportJson) with "printed": where it was printed, or false.
// Every change is also written the moment its transaction commits, as a line "Committed" with
// the journal's operation, source table, target table and grouping as "args" and what it left as
// "result", so that a run stopped inside an operation still tells what that operation changed.

#include "ScriptedRun.h"

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFile;
class QTimer;
class TClientDataSet;

namespace Gpe00002 {

class TranscriptLine;
struct MapTable;
struct TableMapRequest;

class ScriptedSession final : public ScriptedRun {
public:
    // Reads the script and opens the transcript; throws std::runtime_error naming the file.
    ScriptedSession(const QString& scriptPath, const QString& transcriptPath);
    ~ScriptedSession() override;

    // Puts the scripted routines, the message hooks and the error reporter in place, and
    // starts feeding the menu (the modal widget named "frmMenu") whenever it waits.
    void start();

    QString error() const override { return m_error; }
    int remainingLines() const override { return static_cast<int>(m_lines.size() - m_next); }

private:
    struct Line {
        int number;
        QString verb;
        QString argument;
    };

    const Line* nextLine();
    // The next line, taken when its verb is one of `verbs`; null when the script has run out.
    // Any other verb stops the run ("line 7: 'pick' while a keypad waits").
    const Line* take(std::initializer_list<const char*> verbs, const char* waiting);
    [[noreturn]] void fail(const QString& message);
    void feedMenu();
    void write(const QByteArray& json);

    // Puts in `routine` the stand-in that writes the line `name` of each call, with what `answer`
    // adds to it.
    template <typename Routine, typename Answer>
    void install(Routine& routine, const char* name, Answer answer);
    // The answers of the screens, from the script, each adding to the call's line what it gave.
    bool keypad(TranscriptLine& line, std::string& valor);
    std::optional<QStringList> tables(TranscriptLine& line, const TableMapRequest& request);
    // An expect line: follows the map's floor until the table shows the state; `shown` is the
    // map as read last.
    void expect(const Line& line, const TableMapRequest& request, std::vector<MapTable>& shown);
    bool question(TranscriptLine& line, const char* waiting);
    std::optional<QString> typeText(TranscriptLine& line, int maxLength);
    bool pick(TranscriptLine& line, TClientDataSet& dataSet);

    std::vector<Line> m_lines;
    std::size_t m_next = 0;
    std::unique_ptr<QFile> m_transcript;
    QTimer* m_timer = nullptr;
    QString m_error;
    bool m_following = false;  // an expect line waits: the menu is not fed meanwhile
};

}  // namespace Gpe00002
