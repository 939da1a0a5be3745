#pragma once
// The table map: every table of a store as a large touch button, in the colour of its state,
// with its number, name and grouping; one tab per room when there are several, scrolling when
// the tables do not fit. Tables that the operation does not offer are shown disabled, with the
// reason on the button and, when touched, under the map.
//
// Single choice: a touch on an offered table chooses it at once; the keyboard moves a cursor
// (arrows, or typing the table's number: "2" "1" goes to 0021) and Enter or Space chooses the
// table under it. Multiple choice: a touch, Space, or a typed number with Enter marks or unmarks
// a table; Enter with nothing typed confirms. PageUp and PageDown change the room; Backspace
// erases the last digit typed.
//
// A double tap is one tap: a tap that comes within the settle time (InputGuard::settleMs) of the
// last tap the map took, anywhere on its tables or room tabs, is ignored with its release, so that
// a table is marked once, not marked and unmarked.
//
// A map whose request can read its tables again follows the floor: refresh() re-reads them and
// repaints only the tiles that changed, each flashing briefly; the cursor, the room in view and
// the choices stay. A chosen table that is no longer offered is un-chosen, its tile says why and
// the line under the map names the change ("Mesa 0014 ocupada agora por outro terminal"). It only
// shows: nothing is ever confirmed for the user.
//
// The tiles are screens/TableTile.h, the layouts of rooms and legend screens/TableGrid.h, and the
// keys are handled in TableMapKeys.cpp.

#include "core/Export.h"
#include "screens/TableMapRequest.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QWidget>
#include <set>

class QKeyEvent;
class QLabel;
class QPushButton;
class QScrollArea;

namespace Gpe00002 {

class FloorWatch;
class RoomTabs;
class TableButton;
class TableGrid;

// Object names: each table's button "mesa" + number ("mesa0021"); the rooms' tab widget
// "salas" (only when there are several rooms) and each room's page "sala" + room code; the
// legend "legenda"; the line under the map "info" and, in multiple choice, "escolhidas".
// A button's dynamic properties: "oferecida", "escolhida", "sobCursor".
class GPE00002_EXPORT TableMap : public QWidget {
    Q_OBJECT
public:
    explicit TableMap(TableMapRequest request, QWidget* parent = nullptr);

    // The chosen tables' numbers, sorted: in single choice the table under the cursor when it
    // is offered.
    QStringList chosen() const;
    // Whether what is chosen may be confirmed (at least `minimum` tables in multiple choice).
    bool canConfirm() const;
    // The table under the keyboard cursor, empty when none.
    QString cursorTable() const;

    // The height the room in view leaves empty below its tables, at the largest room's
    // height: what a dialog may give up when the store has few tables. Known once the map's
    // layout has placed it, also before it is shown.
    int spareHeight() const;

    // The map's keys (arrows, digits, Backspace, Enter, Space, PageUp, PageDown); false for
    // any other key, which the dialog then handles (Esc).
    bool handleKey(QKeyEvent* event);

    // Reads the tables again through the request (nothing without a way to) and shows what
    // changed. False when the read failed: that is logged, and the map keeps what it shows.
    bool refresh();
    // Shows `tables`, read again for the same map, in place of what it shows; answers the tiles
    // that changed. A table that is no longer read is shown as not offered; one that was not
    // there when the map opened is left out, so that the tiles never move.
    int apply(const std::vector<MapTable>& tables);
    // The tables as the map shows them now, by number.
    const std::vector<MapTable>& tables() const { return m_request.tables; }

signals:
    // The user asked to confirm: a touch or Enter on an offered table in single choice, Enter
    // with nothing typed in multiple choice. The dialog accepts when canConfirm().
    void confirmRequested();
    void chosenChanged();
    // A refresh() has shown what it read: `changedTiles` tiles changed.
    void refreshed(int changedTiles);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Room {
        QString sala;
        std::vector<int> tables;  // indices into m_request.tables, in number order
        TableGrid* grid = nullptr;
        QScrollArea* scroll = nullptr;
    };

    QWidget* buildLegend();
    // A press within the settle time of the last tap taken is not a tap of its own.
    bool secondTap(QEvent* event);
    QSize roomArea() const;
    void touched(int index);
    void toggle(int index);
    void placeCursor(int index);
    void moveCursor(int key);
    void typeDigit(QChar digit);
    // Enter or Space: `onTable` acts on the table under the cursor (Space, or Enter after a
    // typed number); otherwise Enter confirms.
    void activate(bool onTable, const QString& typed);
    void showRoom(int room);
    void roomShown(int room);
    void say(const QString& text, bool refused);
    void describe(int index);
    void refreshChosen();
    int findTable(const QString& typed) const;
    int roomOf(int index) const;
    int shownRoom() const;
    int minimum() const;

    TableMapRequest m_request;
    std::vector<TableButton*> m_buttons;  // by index into m_request.tables
    std::vector<int> m_roomOf;            // the room of each table, by the same index
    std::vector<Room> m_rooms;
    RoomTabs* m_tabs = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_chosenLine = nullptr;
    std::set<int> m_chosen;
    int m_cursor = -1;
    QString m_typed;
    QElapsedTimer m_lastDigit;
    qsizetype m_longestNumber = 0;
    qint64 m_lastTap = 0;  // on the window system's clock; 0: none yet
    bool m_ignoringTap = false;
};

// The map in a framed dialog with the prompt, "Cancela" ("cancel") and "OK" ("ok"); Esc cancels.
// It takes nearly the whole screen, less the height its tables leave empty when the store has
// few: decided when it is made, so that it never changes size or place while shown.
class GPE00002_EXPORT TableMapDialog : public QDialog {
    Q_OBJECT
public:
    explicit TableMapDialog(const TableMapRequest& request);

    QStringList chosen() const;
    TableMap* map() const { return m_map; }
    // The dialog's size on a screen of `screen` pixels: nearly all of it, up to 1180x900.
    static QSize sizeFor(const QSize& screen);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void confirm();

    void follow(const TableMapRequest& request);

    TableMap* m_map = nullptr;
    QPushButton* m_ok = nullptr;
    FloorWatch* m_watch = nullptr;
};

}  // namespace Gpe00002
