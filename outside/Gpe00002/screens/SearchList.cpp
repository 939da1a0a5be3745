#include "SearchList.h"

#include "TouchStyle.h"
#include "TDataSet.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace Gpe00002 {

namespace {

// Puts the cursor on the record at `recNo` (1-based) by walking from the first record.
void moveTo(TDataSet& dataSet, int recNo) {
    dataSet.First();
    for (int i = 1; i < recNo; ++i) dataSet.Next();
}

QString nameOf(const TDataSet& dataSet) {
    return dataSet.Name().isEmpty() ? QStringLiteral("Pesquisa") : dataSet.Name();
}

// A number as the installation's Portuguese writes it ("0,452"), without thousands separators;
// any other value as the field gives it.
QString displayText(const TField& field, bool numeric) {
    if (!numeric || field.IsNull()) return field.AsString();
    static const QLocale portuguese = [] {
        QLocale locale(QLocale::Portuguese, QLocale::Brazil);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale;
    }();
    return portuguese.toString(field.AsFloat(), 'g', QLocale::FloatingPointShortest);
}

constexpr int kMinRowHeight = 48;
constexpr int kHeaderPadding = 24;
constexpr int kCellAir = 6;  // beside the view's own margins, and its grid line
constexpr int kVisibleRows = 8;

}  // namespace

SearchListData::SearchListData(TDataSet& dataSet) {
    if (!dataSet.Active())
        throw EDatabaseError(QStringLiteral("%1: o conjunto de dados está fechado").arg(nameOf(dataSet)));
    // Moving the cursor would post the record being edited anyway; doing it first keeps the
    // position taken below the one of the posted record.
    if (dataSet.State() == TDataSetState::dsEdit || dataSet.State() == TDataSetState::dsInsert) dataSet.Post();

    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        const TField& field = dataSet.Fields(i);
        if (!field.Visible()) continue;
        const bool numeric = field.DataType() == TFieldType::ftInteger || field.DataType() == TFieldType::ftFloat;
        m_columns.push_back({i, field.DisplayLabel(), field.DisplayWidth(), numeric});
    }

    const int recNo = dataSet.RecNo();
    if (recNo == 0) return;
    m_currentRow = recNo - 1;
    m_rows.reserve(static_cast<std::size_t>(dataSet.RecordCount()));
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(m_columns.size()));
        for (const SearchColumn& column : m_columns)
            texts.append(displayText(dataSet.Fields(column.field), column.numeric));
        m_rows.push_back(std::move(texts));
    }
    moveTo(dataSet, recNo);
}

void SearchListData::makeCurrent(TDataSet& dataSet, int row) {
    if (row < 0 || row >= dataSet.RecordCount())
        throw EDatabaseError(QStringLiteral("%1: não há registro na linha %2 de %3")
                                 .arg(nameOf(dataSet))
                                 .arg(row + 1)
                                 .arg(dataSet.RecordCount()));
    moveTo(dataSet, row + 1);
}

int SearchListData::columnWidth(int displayWidth, int charWidth, int cellMargins, int headerWidth) {
    return std::max(std::max(displayWidth, 0) * charWidth + cellMargins, headerWidth);
}

QColor SearchColors::colorFromBgr(int value, const QColor& fallback) {
    if (value < 0 || value > 0xFFFFFF) return fallback;
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

SearchColors SearchColors::fromBgr(int header, int alternate, int selection, int grid) {
    const SearchColors defaults;
    return {colorFromBgr(header, defaults.header), colorFromBgr(alternate, defaults.alternate),
            colorFromBgr(selection, defaults.selection), colorFromBgr(grid, defaults.grid)};
}

SearchListDialog::SearchListDialog(const SearchListData& listData, const SearchColors& colors, const QString& title,
                                   const QString& prompt) {
    QVBoxLayout* content = Style::frameDialog(*this, title);
    if (!prompt.isEmpty()) content->addWidget(Style::textLabel(prompt, QStringLiteral("prompt"), this));

    const auto& columns = listData.columns();
    const auto& rows = listData.rows();
    m_table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), this);
    m_table->setObjectName(QStringLiteral("list"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setSectionsClickable(false);
    // Light selections keep black text, dark ones get white.
    const QColor selectionText = colors.selection.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
    m_table->setStyleSheet(
        QStringLiteral("QTableWidget { background: white; color: black; alternate-background-color: %1;"
                       " selection-background-color: %2; selection-color: %3; gridline-color: %4;"
                       " border: 1px solid %4; }"
                       "QHeaderView::section { background: %5; color: black; padding: 4px 8px;"
                       " border: none; border-right: 1px solid %4; border-bottom: 1px solid %4; }"
                       "QScrollBar:vertical { width: 32px; } QScrollBar:horizontal { height: 32px; }")
            .arg(colors.alternate.name(), colors.selection.name(), selectionText.name(), colors.grid.name(),
                 colors.header.name()));

    // Item views take the platform's own list font rather than their parent's: set it.
    m_table->setFont(font());
    QFont headerFont = font();
    headerFont.setBold(true);
    m_table->horizontalHeader()->setFont(headerFont);
    const QFontMetrics cellMetrics(font());
    const QFontMetrics headerMetrics(headerFont);
    // A column of N characters holds N digits, wider than the average character, between the
    // margins the view keeps around a cell's text and the grid line: a ticket number of ten
    // digits is shown whole, not cut short with an ellipsis.
    const int charWidth = std::max(cellMetrics.averageCharWidth(), cellMetrics.horizontalAdvance(QLatin1Char('0')));
    const int cellMargins =
        2 * (m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 1) + kCellAir;
    int tableWidth = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const SearchColumn& column = columns[c];
        const int col = static_cast<int>(c);
        m_table->setHorizontalHeaderItem(col, new QTableWidgetItem(column.label));
        const int width = SearchListData::columnWidth(column.displayWidth, charWidth, cellMargins,
                                                      headerMetrics.horizontalAdvance(column.label) + kHeaderPadding);
        m_table->setColumnWidth(col, width);
        tableWidth += width;
    }
    const int rowHeight = std::max(kMinRowHeight, cellMetrics.height() + 20);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_table->horizontalHeader()->setMinimumHeight(rowHeight);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r].value(static_cast<qsizetype>(c)));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(Qt::AlignVCenter | (columns[c].numeric ? Qt::AlignRight : Qt::AlignLeft));
            m_table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    if (listData.currentRow() >= 0) {
        m_table->setCurrentCell(listData.currentRow(), 0);
        m_table->selectRow(listData.currentRow());
    }
    // The double click is taken from the viewport itself: the view only signals one that
    // follows its own press on the same cell. Enter and Esc, which the list ignores, reach the
    // dialog's keyPressEvent.
    m_table->viewport()->installEventFilter(this);
    content->addWidget(m_table);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* cancel = Style::touchButton(QStringLiteral("Cancela"), QStringLiteral("cancel"), this);
    cancel->setMinimumWidth(140);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QPushButton* ok = Style::touchButton(QStringLiteral("OK"), QStringLiteral("ok"), this);
    ok->setMinimumWidth(140);
    connect(ok, &QPushButton::clicked, this, &SearchListDialog::pick);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    content->addLayout(buttons);

    // Wide enough for every column and tall enough for a few rows, within the screen.
    const int frameExtra = 2 * 16 + 2 * 3 + 2 + 32;
    const int shownRows = std::clamp(static_cast<int>(rows.size()), 3, kVisibleRows);
    int width = std::max(tableWidth + frameExtra, 420);
    int height = sizeHint().height() - m_table->sizeHint().height() + rowHeight * (shownRows + 1) + 4;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        width = std::min(width, available.width() * 9 / 10);
        height = std::min(height, available.height() * 9 / 10);
    }
    resize(width, height);
    m_table->setFocus();
}

void SearchListDialog::forgetPositions() {}

void SearchListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only now has the list its size: bring the current record into view.
    if (QTableWidgetItem* current = m_table->currentItem())
        m_table->scrollToItem(current, QAbstractItemView::PositionAtCenter);
}

void SearchListDialog::pick() {
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_table->rowCount()) return;
    m_picked = row;
    accept();
}

bool SearchListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = m_table->rowAt(mouse->position().toPoint().y());
        if (mouse->button() == Qt::LeftButton && row >= 0) {
            m_table->setCurrentCell(row, 0);
            pick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SearchListDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return: pick(); break;
    case Qt::Key_Escape: reject(); break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: {
        // Keys that reach the dialog move the list as if it had the focus. The list ignores a
        // key it cannot act on (Up on the first row), which then comes back here: it stops.
        if (m_forwarding) {
            event->ignore();
            break;
        }
        m_forwarding = true;
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
        QCoreApplication::sendEvent(m_table, &copy);
        m_forwarding = false;
        break;
    }
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace Gpe00002
