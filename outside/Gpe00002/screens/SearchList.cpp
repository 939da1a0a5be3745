#include "screens/SearchList.h"

#include "core/Log.h"
#include "store/FloorWatch.h"
#include "TouchStyle.h"
#include "TDataSet.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
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

// Where each list was left: by its title and columns.
struct Place {
    QRect geometry;
    int scroll = 0;
};
QHash<QString, Place>& places() {
    static QHash<QString, Place> instance;
    return instance;
}

QString placeKey(const QString& title, const std::vector<SearchColumn>& columns) {
    QStringList parts{title};
    for (const SearchColumn& column : columns) parts << column.label;
    return parts.join(QChar(0x1F));
}

constexpr int kMinRowHeight = 48;
constexpr int kHeaderPadding = 24;
constexpr int kHeaderTextPadding = 8;           // each side of a header's text, as its style sheet says
constexpr int kCellPadding = 6;                 // each side of a cell's text, clear of the grid lines
constexpr int kCellAir = 6 + 2 * kCellPadding;  // beside the view's own margins, and its grid line
constexpr int kVisibleRows = 8;

// Cells with their text kept off the grid lines and elided at its end; the background (a row's
// colour, the selection) still fills the whole cell.
class PaddedCells : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
        const QRect area = option.rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(area, static_cast<int>(cell.displayAlignment),
                          QFontMetrics(cell.font).elidedText(text, Qt::ElideRight, area.width()));
        if (index.data(SearchListDialog::FlashRole).toBool()) {
            // The row's ring: its top and bottom on every cell, its ends on the first and last.
            const QRect r = option.rect.adjusted(1, 1, -2, -2);
            painter->setPen(QPen(QColor(0xFF, 0xD6, 0x00), 3));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            if (index.column() == 0) painter->drawLine(r.topLeft(), r.bottomLeft());
            if (index.column() == index.model()->columnCount() - 1) painter->drawLine(r.topRight(), r.bottomRight());
        }
        painter->restore();
    }
};

// Headers whose text, cut short by a narrow column, ends in an ellipsis: drawn through the
// style sheet, a header would cut it off at the edge without one.
class ElidingHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        const int room = sectionSize(logicalIndex) - 2 * kHeaderTextPadding - 1;
        option->text = QFontMetrics(font()).elidedText(option->text, Qt::ElideRight, std::max(room, 0));
    }
};

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
        m_columns.push_back(
            {i, field.DisplayLabel(), field.DisplayWidth(), numeric, rightAligned(field.FieldName(), numeric)});
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

std::vector<QStringList> SearchListData::keysOf(TDataSet& dataSet, const QStringList& fields) {
    std::vector<QStringList> keys;
    const int recNo = dataSet.RecNo();
    if (recNo == 0) return keys;
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        QStringList key;
        for (const QString& name : fields) key << dataSet.FieldByName(name).AsString();
        keys.push_back(std::move(key));
    }
    moveTo(dataSet, recNo);
    return keys;
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

bool SearchListData::rightAligned(const QString& fieldName, bool numeric) {
    return numeric || fieldName.startsWith(QLatin1String("VR"), Qt::CaseInsensitive) ||
           fieldName.startsWith(QLatin1String("QT"), Qt::CaseInsensitive);
}

std::vector<int> SearchListData::fill(const std::vector<int>& natural, const std::vector<int>& least, int room) {
    const std::size_t count = natural.size();
    if (count == 0 || room <= 0) return natural;
    // Shares of `room` in proportion to `weights`, the last taking what rounding leaves.
    const auto share = [count](const std::vector<long long>& weights, long long amount) {
        long long total = 0;
        for (long long weight : weights) total += weight;
        std::vector<long long> parts(count, 0);
        long long given = 0;
        for (std::size_t c = 0; c + 1 < count && total > 0; ++c) given += parts[c] = weights[c] * amount / total;
        parts[count - 1] = amount - given;
        return parts;
    };
    std::vector<long long> wide(count), beyond(count), texts(count);
    long long total = 0, spare = 0;
    for (std::size_t c = 0; c < count; ++c) {
        wide[c] = std::max(natural[c], 1);
        texts[c] = std::clamp(c < least.size() ? least[c] : wide[c], 1LL, wide[c]);
        beyond[c] = wide[c] - texts[c];
        total += wide[c];
        spare += beyond[c];
    }
    std::vector<long long> widths(count);
    if (total <= room) {
        const std::vector<long long> extra = share(wide, room - total);
        for (std::size_t c = 0; c < count; ++c) widths[c] = wide[c] + extra[c];
    } else if (total - room <= spare) {
        const std::vector<long long> cut = share(beyond, total - room);
        for (std::size_t c = 0; c < count; ++c) widths[c] = wide[c] - cut[c];
    } else {
        widths = share(texts, room);
    }
    return {widths.begin(), widths.end()};
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
    if (!prompt.isEmpty()) content->addWidget(Style::promptLabel(prompt, this));

    const auto& columns = listData.columns();
    const auto& rows = listData.rows();
    m_columns = columns;
    m_table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), this);
    m_table->setObjectName(QStringLiteral("list"));
    m_table->setHorizontalHeader(new ElidingHeader(Qt::Horizontal, m_table));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setTabKeyNavigation(false);
    // The columns always fill the width: nothing to scroll sideways.
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
                       "QHeaderView::section { background: %5; color: black; padding: 4px %6px;"
                       " border: none; border-right: 1px solid %4; border-bottom: 1px solid %4; }"
                       "QScrollBar:vertical { width: 32px; } QScrollBar:horizontal { height: 32px; }")
            .arg(colors.alternate.name(), colors.selection.name(), selectionText.name(), colors.grid.name(),
                 colors.header.name(), QString::number(kHeaderTextPadding)));

    m_table->setItemDelegate(new PaddedCells(m_table));
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
        auto* header = new QTableWidgetItem(column.label);
        header->setTextAlignment(Qt::AlignVCenter | (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
        m_table->setHorizontalHeaderItem(col, header);
        const int width = SearchListData::columnWidth(column.displayWidth, charWidth, cellMargins,
                                                      headerMetrics.horizontalAdvance(column.label) + kHeaderPadding);
        m_table->setColumnWidth(col, width);
        m_naturalWidths.push_back(width);
        tableWidth += width;
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        int widest = 0;
        for (const QStringList& row : rows)
            widest = std::max(widest, cellMetrics.horizontalAdvance(row.value(static_cast<qsizetype>(c))));
        m_textWidths.push_back(widest + 2 * kCellPadding + 1);
    }
    const int rowHeight = std::max(kMinRowHeight, cellMetrics.height() + 20);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_table->horizontalHeader()->setMinimumHeight(rowHeight);
    for (std::size_t r = 0; r < rows.size(); ++r) setRow(static_cast<int>(r), rows[r]);
    if (listData.currentRow() >= 0) {
        m_table->setCurrentCell(listData.currentRow(), 0);
        m_table->selectRow(listData.currentRow());
    }
    // The double click is taken from the viewport itself: the view only signals one that
    // follows its own press on the same cell. Enter and Esc, which the list ignores, reach the
    // dialog's keyPressEvent.
    m_table->viewport()->installEventFilter(this);
    content->addWidget(m_table);
    m_info = Style::textLabel(QString(), QStringLiteral("info"), this);
    m_info->setVisible(false);
    content->addWidget(m_info);

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

    m_placeKey = placeKey(title, columns);
    if (const auto place = places().constFind(m_placeKey); place != places().constEnd()) {
        // Opened again (after an item moved, say): where it was, as it was, so that what the
        // finger aims at has not moved.
        setGeometry(place->geometry);
        m_scrollToRestore = place->scroll;
    } else {
        // Wide enough for every column, and for the title on one line up to two thirds of the
        // screen, and tall enough for a few rows, within the screen; the title and the prompt
        // take the lines they need at that width.
        const int frameExtra = 2 * 16 + 2 * 3 + 2 + 32;
        const int shownRows = std::clamp(static_cast<int>(rows.size()), 3, kVisibleRows);
        QRect available(0, 0, 1024, 768);
        if (const QScreen* screen = Style::operatorScreen()) available = screen->availableGeometry();
        ensurePolished();
        int width = std::max(tableWidth + frameExtra, 420);
        if (const auto* titleLabel = findChild<QLabel*>(QStringLiteral("title")))
            width = std::max(width, std::min(QFontMetrics(titleLabel->font()).horizontalAdvance(title) + frameExtra,
                                             available.width() * 2 / 3));
        width = std::min(width, available.width() * 9 / 10);
        const int laidOut = hasHeightForWidth() ? heightForWidth(width) : sizeHint().height();
        const int height = laidOut - m_table->sizeHint().height() + rowHeight * (shownRows + 1) + 4;
        resize(width, std::min(height, available.height() * 9 / 10));
    }
    m_table->setFocus();
}

void SearchListDialog::setRow(int row, const QStringList& texts) {
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        auto* item = new QTableWidgetItem(texts.value(static_cast<qsizetype>(c)));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(Qt::AlignVCenter | (m_columns[c].rightAligned ? Qt::AlignRight : Qt::AlignLeft));
        m_table->setItem(row, static_cast<int>(c), item);
    }
}

void SearchListDialog::follow(TClientDataSet& dataSet, const SearchListFollow& how) {
    if (!how.reread || how.connectionString.isEmpty()) return;
    m_dataSet = &dataSet;
    m_follow = how;
    m_keys = SearchListData::keysOf(dataSet, how.keys);
    m_flashEnd.setSingleShot(true);
    m_flashEnd.setInterval(900);
    connect(&m_flashEnd, &QTimer::timeout, this, [this] {
        for (int r = 0; r < m_table->rowCount(); ++r)
            for (int c = 0; c < m_table->columnCount(); ++c)
                if (QTableWidgetItem* item = m_table->item(r, c)) item->setData(FlashRole, QVariant());
    });
    try {
        m_watch = new FloorWatch(how.connectionString, how.filial, how.loja, this);
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "the list will not follow the floor:" << e.what();
        return;
    }
    connect(m_watch, &FloorWatch::changed, this, [this] {
        if (refresh())
            qCInfo(lcOps).noquote() << "list" << windowTitle() << "refreshed" << monotonicMs() - m_watch->heardAt()
                                    << "ms after the change";
    });
    m_watch->start();
}

bool SearchListDialog::refresh() {
    if (!m_dataSet || !m_follow.reread) return false;
    try {
        m_follow.reread(*m_dataSet);
        const SearchListData listData(*m_dataSet);
        emit refreshed(apply(listData, SearchListData::keysOf(*m_dataSet, m_follow.keys)));
    } catch (const std::exception& e) {
        // The list stays as it was; the next change tries again.
        qCWarning(lcOps).noquote() << "could not read the list again:" << e.what();
        return false;
    }
    return true;
}

int SearchListDialog::apply(const SearchListData& listData, const std::vector<QStringList>& keys) {
    const int row = m_table->currentRow();
    const bool wasChosen = row >= 0 && row < static_cast<int>(m_keys.size()) && m_table->item(row, 0) &&
                           m_table->item(row, 0)->isSelected();
    const QStringList chosenKey = wasChosen ? m_keys[static_cast<std::size_t>(row)] : QStringList();
    const int scrolled = m_table->verticalScrollBar()->value();
    const auto flash = [this](int r) {
        for (int c = 0; c < m_table->columnCount(); ++c)
            if (QTableWidgetItem* item = m_table->item(r, c)) item->setData(FlashRole, true);
    };
    int changed = 0;
    // Rows that went, then the rows read in their order: the same row rewritten where it differs,
    // a new or moved one put in its place.
    for (int r = static_cast<int>(m_keys.size()) - 1; r >= 0; --r) {
        if (std::find(keys.begin(), keys.end(), m_keys[static_cast<std::size_t>(r)]) != keys.end()) continue;
        m_table->removeRow(r);
        m_keys.erase(m_keys.begin() + r);
        ++changed;
    }
    const auto& rows = listData.rows();
    for (std::size_t i = 0; i < keys.size() && i < rows.size(); ++i) {
        const int r = static_cast<int>(i);
        if (i < m_keys.size() && m_keys[i] == keys[i]) {
            bool differs = false;
            for (int c = 0; c < static_cast<int>(m_columns.size()); ++c)
                differs = differs || !m_table->item(r, c) || m_table->item(r, c)->text() != rows[i].value(c);
            if (!differs) continue;
        } else {
            if (const auto moved = std::find(m_keys.begin() + r, m_keys.end(), keys[i]); moved != m_keys.end()) {
                m_table->removeRow(static_cast<int>(moved - m_keys.begin()));
                m_keys.erase(moved);
            }
            m_table->insertRow(r);
            m_keys.insert(m_keys.begin() + r, keys[i]);
        }
        setRow(r, rows[i]);
        flash(r);
        ++changed;
    }
    if (wasChosen) {
        const auto found = std::find(m_keys.begin(), m_keys.end(), chosenKey);
        if (found != m_keys.end()) {
            m_table->setCurrentCell(static_cast<int>(found - m_keys.begin()), 0);
            m_table->selectRow(static_cast<int>(found - m_keys.begin()));
        } else {
            // The user's choice is gone: nothing else is chosen in its place.
            m_table->setCurrentIndex(QModelIndex());
            m_table->clearSelection();
            m_info->setText(m_follow.goneLine ? m_follow.goneLine(chosenKey) : QString());
            m_info->setVisible(!m_info->text().isEmpty());
        }
    }
    m_table->verticalScrollBar()->setValue(scrolled);
    if (changed) m_flashEnd.start();
    return changed;
}

void SearchListDialog::forgetPositions() { places().clear(); }

void SearchListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only now has the list its size.
    m_table->doItemsLayout();
    fitColumns();
    if (m_scrollToRestore >= 0)
        m_table->verticalScrollBar()->setValue(m_scrollToRestore);
    else if (QTableWidgetItem* current = m_table->currentItem())
        m_table->scrollToItem(current, QAbstractItemView::PositionAtCenter);
}

void SearchListDialog::hideEvent(QHideEvent* event) {
    places().insert(m_placeKey, {geometry(), m_table->verticalScrollBar()->value()});
    QDialog::hideEvent(event);
}

void SearchListDialog::fitColumns() {
    const std::vector<int> widths = SearchListData::fill(m_naturalWidths, m_textWidths, m_table->viewport()->width());
    for (std::size_t c = 0; c < widths.size(); ++c) m_table->setColumnWidth(static_cast<int>(c), widths[c]);
}

void SearchListDialog::pick() {
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_table->rowCount()) return;
    m_picked = row;
    accept();
}

bool SearchListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_table->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize: fitColumns(); break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = m_table->rowAt(mouse->position().toPoint().y());
        // Below the last row there is nothing to choose: the choice stays as it is.
        if (row < 0) return true;
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            m_table->setCurrentCell(row, 0);
            pick();
            return true;
        }
        break;
    }
    default: break;
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
