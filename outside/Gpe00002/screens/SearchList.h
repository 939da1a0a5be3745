#pragma once
// The search list: a dialog listing the records of a dataset, one column per visible field,
// from which the operator picks one record, which then becomes the dataset's current record.
// Given a dataset that says how to fill it again, the list follows the floor of its store.

#include "core/Export.h"
#include "TClientDataSet.h"

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

class QLabel;
class QTableWidget;
class TDataSet;

namespace Gpe00002 {

class FloorWatch;

// How an open list follows the floor of a store: the dataset filled again as it was filled first
// (may throw), the fields whose values name a row ("NRCOMANDA", "NRPRODCOMVEN"), shown or hidden,
// and the line that says a chosen row went ("O item 000003 foi alterado por outro terminal").
struct SearchListFollow {
    std::function<void(TClientDataSet& dataSet)> reread;
    QStringList keys;
    std::function<QString(const QStringList& key)> goneLine;
    QString filial, loja, connectionString;
};

// A list's dataset that carries how its list follows the floor; anything that shows a list
// without following it sees a TClientDataSet like any other.
class GPE00002_EXPORT FollowedDataSet : public TClientDataSet {
public:
    using TClientDataSet::TClientDataSet;
    SearchListFollow follow;
};

struct SearchColumn {
    int field = 0;         // index of the field in the dataset
    QString label;         // the field's DisplayLabel
    int displayWidth = 0;  // the field's DisplayWidth, in characters
    bool numeric = false;  // integer or float
    // Shown right-aligned: numbers, and amounts ("VR...") and quantities ("QT...") by the
    // database's naming of fields, also those held as text.
    bool rightAligned = false;
};

// What the list shows, read from the dataset without widgets.
class GPE00002_EXPORT SearchListData {
public:
    // Reads the visible fields and every record the dataset shows (its filter applies), in
    // order from the first. The cursor is moved to read them and put back on the record that
    // was current; a record being edited is posted first, as any move of the cursor does.
    // Throws EDatabaseError for a closed dataset.
    explicit SearchListData(TDataSet& dataSet);

    const std::vector<SearchColumn>& columns() const { return m_columns; }
    // One text per column for each record, as the fields' AsString give them; numbers as the
    // installation's Portuguese writes them ("0,452").
    const std::vector<QStringList>& rows() const { return m_rows; }
    // The row of the record that was current, -1 when the dataset shows no record.
    int currentRow() const { return m_currentRow; }

    // Makes the record at `row` (0-based, among those the dataset shows) current. Throws
    // EDatabaseError when there is no such record.
    static void makeCurrent(TDataSet& dataSet, int row);
    // The values of `fields` for each record the dataset shows, in order; the cursor is put back.
    static std::vector<QStringList> keysOf(TDataSet& dataSet, const QStringList& fields);
    // Pixel width of a column: its characters times the width of one, plus the margins around a
    // cell's text, and never narrower than its header.
    static int columnWidth(int displayWidth, int charWidth, int cellMargins, int headerWidth);
    // Whether a field's values are shown right-aligned (see SearchColumn::rightAligned).
    static bool rightAligned(const QString& fieldName, bool numeric);
    // The columns' widths filling `room` pixels exactly, from their natural widths and the least
    // their cells' texts need (`least`, at most the natural width). With room to spare each
    // grows in proportion to its natural width; without, the room is taken first from what they
    // have beyond their cells' texts (a long header is cut short), then in proportion from the
    // texts themselves. The last column takes what rounding leaves.
    static std::vector<int> fill(const std::vector<int>& natural, const std::vector<int>& least, int room);

private:
    std::vector<SearchColumn> m_columns;
    std::vector<QStringList> m_rows;
    int m_currentRow = -1;
};

// The list's colours, given as 0x00BBGGRR numbers; a number outside 0 to 0xFFFFFF (the
// platform's system-colour codes among them) keeps the list's own colour.
struct GPE00002_EXPORT SearchColors {
    QColor header{0xAE, 0xB0, 0xB3};
    QColor alternate{0xCE, 0xD0, 0xD0};
    QColor selection{0x3F, 0x41, 0x43};
    QColor grid{0x81, 0x81, 0x81};

    static SearchColors fromBgr(int header, int alternate, int selection, int grid);
    static QColor colorFromBgr(int value, const QColor& fallback);
};

// The table is a QTableWidget named "list"; the buttons are "ok" and "cancel". A double click,
// Enter or OK picks the current row; Esc and Cancela close without a pick. The title says what
// is chosen; a prompt, when given, is a line under it (label "prompt").
//
// For a finger: whole rows are the target (the columns fill the list's width, and a touch below
// the last row changes nothing); a list opened again with the same title and columns takes the
// place, size and scroll position it was left at, instead of moving to centre its current row.
class GPE00002_EXPORT SearchListDialog : public QDialog {
    Q_OBJECT
public:
    SearchListDialog(const SearchListData& listData, const SearchColors& colors,
                     const QString& title = QStringLiteral("Pesquisa"), const QString& prompt = {});

    // The picked row, -1 when none was picked.
    int pickedRow() const { return m_picked; }

    // Item data, true on every cell of a row while it flashes after a change.
    static constexpr int FlashRole = Qt::UserRole + 1;
    // Follows the floor as `how` says, `dataSet` being the one the list was read from: each change
    // fills it again and the list shows what changed. Does nothing without a way to read again.
    void follow(TClientDataSet& dataSet, const SearchListFollow& how);
    // Fills the dataset again and shows it; false, the list unchanged, when it cannot.
    bool refresh();
    // Shows `listData` (with each row's key) over what is shown, keeping the chosen row by its key
    // and the scroll position; answers how many rows changed.
    int apply(const SearchListData& listData, const std::vector<QStringList>& keys);

    // Lists opened again with the same title and columns keep the place they were left at; an
    // operation that starts forgets those places.
    static void forgetPositions();

signals:
    void refreshed(int changed);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick();
    void fitColumns();

    void setRow(int row, const QStringList& texts);

    QTableWidget* m_table = nullptr;
    QLabel* m_info = nullptr;
    std::vector<SearchColumn> m_columns;
    TClientDataSet* m_dataSet = nullptr;
    SearchListFollow m_follow;
    std::vector<QStringList> m_keys;  // of each row shown, when following
    FloorWatch* m_watch = nullptr;
    QTimer m_flashEnd;
    std::vector<int> m_naturalWidths;
    std::vector<int> m_textWidths;  // the widest cell of each column
    QString m_placeKey;
    int m_scrollToRestore = -1;
    int m_picked = -1;
    bool m_forwarding = false;
};

}  // namespace Gpe00002
