#include "screens/GroupingsView.h"

#include "core/Log.h"
#include "core/Numbers.h"
#include "DbTypes.h"
#include "screens/TableLook.h"
#include "store/FloorWatch.h"
#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

namespace Gpe00002 {

namespace {

constexpr int kRowHeight = 44;
constexpr int kCellPadding = 8;

// Cells with their text kept off the edges; the background (a state's colour, a selection)
// still fills the whole cell.
class PaddedCells : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QBrush background =
            option.state & QStyle::State_Selected ? option.palette.brush(QPalette::Highlight) : cell.backgroundBrush;
        if (background.style() != Qt::NoBrush) painter->fillRect(option.rect, background);
        QStyleOptionViewItem inset(option);
        inset.rect = option.rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
        QStyledItemDelegate::paint(painter, inset, index);
        if (index.data(GroupingsDialog::FlashRole).toBool()) {
            // The row's ring: its top and bottom on every cell, its ends on the first and last.
            const QRect r = option.rect.adjusted(1, 1, -1, -1);
            painter->save();
            painter->setPen(QPen(QColor(0xFF, 0xD6, 0x00), 3));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            if (index.column() == 0) painter->drawLine(r.topLeft(), r.bottomLeft());
            if (index.column() == index.model()->columnCount(index.parent()) - 1 || index.parent() == QModelIndex())
                painter->drawLine(r.topRight(), r.bottomRight());
            painter->restore();
        }
    }
};

QString people(const QString& text) {
    bool number = false;
    const double value = text.trimmed().toDouble(&number);
    return number ? quantityText(value) : text.trimmed();
}

QString waiter(const GroupingTable& table) {
    const QString code = table.vendedor.trimmed(), name = table.nomeVendedor.trimmed();
    if (code.isEmpty() || name.isEmpty()) return code + name;
    return code + QLatin1Char(' ') + name;
}

bool hasSale(const GroupingTable& table) { return table.mesa.vendaAberta || !table.vendedor.trimmed().isEmpty(); }

QString storeLine(const GroupingOverview& overview) {
    const int count = static_cast<int>(overview.grupos.size());
    return QStringLiteral("Filial %1 · Loja %2 · %3")
        .arg(overview.filial, overview.loja,
             count == 1 ? QStringLiteral("1 agrupamento") : QStringLiteral("%1 agrupamentos").arg(count));
}

QString headingText(const Grouping& grouping) {
    Money total;
    for (const GroupingTable& table : grouping.mesas) total += table.total;
    const int tables = static_cast<int>(grouping.mesas.size());
    return QStringLiteral("Agrupamento %1 · %2 · total %3")
        .arg(groupingNumber(grouping.numero),
             tables == 1 ? QStringLiteral("1 mesa") : QStringLiteral("%1 mesas").arg(tables), total.text());
}

// Writes `table` into `row`; true when anything shown differs from before.
bool fillRow(QTreeWidgetItem& row, const GroupingTable& table) {
    const StateLook look = stateLook(table.mesa.estado);
    const bool sale = hasSale(table);
    const QString texts[GroupingsDialog::ColumnCount] = {table.mesa.numero,
                                                         table.mesa.nome,
                                                         look.name,
                                                         sale ? waiter(table) : QString(),
                                                         sale ? people(table.pessoas) : QString(),
                                                         sale ? table.total.text() : QString()};
    bool changed = row.background(GroupingsDialog::Estado) != QBrush(look.fill) ||
                   row.foreground(GroupingsDialog::Estado) != QBrush(look.text);
    for (int column = 0; column < GroupingsDialog::ColumnCount; ++column) {
        if (row.text(column) == texts[column]) continue;
        row.setText(column, texts[column]);
        changed = true;
    }
    if (changed) {
        row.setBackground(GroupingsDialog::Estado, look.fill);
        row.setForeground(GroupingsDialog::Estado, look.text);
    }
    return changed;
}

void setFlash(QTreeWidgetItem& item, bool on) {
    for (int column = 0; column < GroupingsDialog::ColumnCount; ++column)
        item.setData(column, GroupingsDialog::FlashRole, on ? QVariant(true) : QVariant());
}

constexpr int kFlashMs = 900;

}  // namespace

GroupingsDialog::GroupingsDialog(const GroupingOverview& overview) : m_overview(overview) {
    QVBoxLayout* content = Style::frameDialog(*this, QStringLiteral("Agrupamentos de mesas"));
    m_store = Style::textLabel(storeLine(overview), QStringLiteral("loja"), this);
    content->addWidget(m_store);
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("agrupamentos"));
    m_tree->setColumnCount(ColumnCount);
    m_tree->setHeaderLabels({QStringLiteral("Mesa"), QStringLiteral("Nome"), QStringLiteral("Estado"),
                             QStringLiteral("Garçom"), QStringLiteral("Pessoas"), QStringLiteral("Total")});
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setUniformRowHeights(true);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->header()->setSectionsMovable(false);
    m_tree->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // No rule for the items themselves: one would hide the state's colours the items carry.
    m_tree->setStyleSheet(
        QStringLiteral("QTreeWidget { background: white; color: black; border: 1px solid #9E9E9E; }"
                       "QHeaderView::section { background: #EEEEEE; color: black; padding: 6px 8px;"
                       " border: none; border-bottom: 1px solid #9E9E9E; }"
                       "QScrollBar:vertical { width: 32px; }"));
    QPalette colours = m_tree->palette();
    colours.setColor(QPalette::Highlight, Style::kAccent);
    colours.setColor(QPalette::HighlightedText, Qt::white);
    m_tree->setPalette(colours);
    m_tree->setIndentation(16);
    m_tree->setItemDelegate(new PaddedCells(m_tree));
    // Item views take the platform's own list font rather than their parent's: set it.
    m_tree->setFont(font());
    QFont headerFont = font();
    headerFont.setPointSize(Style::kFontPoints - 2);
    headerFont.setBold(true);
    m_tree->header()->setFont(headerFont);

    const int count = static_cast<int>(overview.grupos.size());
    fill(overview, false);
    if (overview.selecionado >= 0 && overview.selecionado < count) {
        if (QTreeWidgetItem* selected =
                heading(overview.grupos[static_cast<std::size_t>(overview.selecionado)].numero)) {
            m_tree->setCurrentItem(selected);
            selected->setSelected(true);
        }
    }
    m_tree->headerItem()->setTextAlignment(Pessoas, Qt::AlignRight | Qt::AlignVCenter);
    m_tree->headerItem()->setTextAlignment(Total, Qt::AlignRight | Qt::AlignVCenter);
    // Columns as wide as their widest text, the name taking what is left.
    const QFontMetrics metrics(font());
    const int minimumWidths[ColumnCount] = {90, 160, 130, 180, 100, 130};
    int width = 0;
    for (int column = 0; column < ColumnCount; ++column) {
        m_tree->resizeColumnToContents(column);
        const int header = metrics.horizontalAdvance(m_tree->headerItem()->text(column)) + 40;
        m_tree->setColumnWidth(
            column, std::max({m_tree->columnWidth(column) + 2 * kCellPadding + 8, minimumWidths[column], header}));
        width += m_tree->columnWidth(column);
    }
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(Nome, QHeaderView::Stretch);
    content->addWidget(m_tree, 1);

    m_none =
        Style::textLabel(QStringLiteral("Nenhum agrupamento de mesas nesta loja."), QStringLiteral("nenhum"), this);
    m_none->setVisible(overview.grupos.empty());
    m_tree->setVisible(!overview.grupos.empty());
    content->addWidget(m_none);
    m_info = Style::textLabel(QString(), QStringLiteral("info"), this);
    m_info->setVisible(false);
    content->addWidget(m_info);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* close = Style::touchButton(QStringLiteral("Fechar"), QStringLiteral("close"), this);
    close->setMinimumWidth(160);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    content->addLayout(buttons);

    // Wide enough for every column, tall enough for every row, within the screen.
    int rows = 0;
    for (const Grouping& grouping : overview.grupos) rows += 1 + static_cast<int>(grouping.mesas.size());
    QSize wanted(
        std::max(width + 2 * 19 + 36, 560),
        sizeHint().height() + (overview.grupos.empty() ? 0 : (rows + 1) * kRowHeight - m_tree->sizeHint().height()));
    if (const QScreen* screen = Style::operatorScreen()) {
        const QSize available = screen->availableGeometry().size();
        wanted = wanted.boundedTo(QSize(available.width() - 24, available.height() - 24));
    }
    resize(wanted);

    m_flashEnd.setSingleShot(true);
    m_flashEnd.setInterval(kFlashMs);
    connect(&m_flashEnd, &QTimer::timeout, this, [this] {
        for (QTreeWidgetItemIterator it(m_tree); *it; ++it) setFlash(**it, false);
    });
    follow();
}

QTreeWidgetItem* GroupingsDialog::heading(const QString& numero) const {
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        if (m_tree->topLevelItem(i)->data(0, Qt::UserRole).toString() == numero) return m_tree->topLevelItem(i);
    return nullptr;
}

int GroupingsDialog::fill(const GroupingOverview& overview, bool flash) {
    QFont headingFont = font();
    headingFont.setBold(true);
    int changed = 0;
    const auto mark = [&](QTreeWidgetItem& item) {
        ++changed;
        if (flash) setFlash(item, true);
    };

    // The grouping the consultation named first, then the others as given; groupings already shown
    // keep their place, so that nothing moves under the user's finger.
    std::vector<std::size_t> order;
    const int count = static_cast<int>(overview.grupos.size());
    const bool named = overview.selecionado >= 0 && overview.selecionado < count;
    if (named) order.push_back(static_cast<std::size_t>(overview.selecionado));
    for (std::size_t i = 0; i < overview.grupos.size(); ++i)
        if (!named || i != static_cast<std::size_t>(overview.selecionado)) order.push_back(i);

    QStringList present;
    for (std::size_t g : order) {
        const Grouping& grouping = overview.grupos[g];
        present << grouping.numero;
        QTreeWidgetItem* head = heading(grouping.numero);
        if (!head) {
            head = new QTreeWidgetItem(m_tree);
            head->setFont(0, headingFont);
            head->setBackground(0, QColor(0xF6, 0xE3, 0xDA));
            head->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            head->setSizeHint(0, QSize(0, kRowHeight));
            head->setData(0, Qt::UserRole, grouping.numero);
            m_tree->setFirstColumnSpanned(m_tree->indexOfTopLevelItem(head), QModelIndex(), true);
        }
        if (const QString text = headingText(grouping); head->text(0) != text) {
            head->setText(0, text);
            mark(*head);
        }
        // Its tables in the order read; a table that left the grouping goes.
        for (int i = head->childCount() - 1; i >= 0; --i) {
            const QString numero = head->child(i)->text(Mesa);
            if (std::none_of(grouping.mesas.begin(), grouping.mesas.end(),
                             [&](const GroupingTable& table) { return table.mesa.numero == numero; })) {
                delete head->takeChild(i);
                ++changed;
            }
        }
        for (std::size_t t = 0; t < grouping.mesas.size(); ++t) {
            const GroupingTable& table = grouping.mesas[t];
            QTreeWidgetItem* row = nullptr;
            for (int i = 0; i < head->childCount() && !row; ++i)
                if (head->child(i)->text(Mesa) == table.mesa.numero) row = head->child(i);
            if (!row) {
                row = new QTreeWidgetItem;
                head->insertChild(std::min(static_cast<int>(t), head->childCount()), row);
                row->setFlags(Qt::ItemIsEnabled);
                row->setTextAlignment(Estado, Qt::AlignCenter);
                row->setTextAlignment(Pessoas, Qt::AlignRight | Qt::AlignVCenter);
                row->setTextAlignment(Total, Qt::AlignRight | Qt::AlignVCenter);
                row->setSizeHint(0, QSize(0, kRowHeight));
            }
            if (fillRow(*row, table)) mark(*row);
        }
        head->setExpanded(true);
    }

    QStringList lost;
    for (int i = m_tree->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* head = m_tree->topLevelItem(i);
        const QString numero = head->data(0, Qt::UserRole).toString();
        if (present.contains(numero)) continue;
        if (head->isSelected())
            lost.prepend(
                QStringLiteral("O agrupamento %1 foi desfeito por outro terminal").arg(groupingNumber(numero)));
        changed += 1 + head->childCount();
        delete m_tree->takeTopLevelItem(i);
    }
    if (!lost.isEmpty()) {
        // The user's choice is gone: nothing else is chosen in its place.
        m_tree->clearSelection();
        m_tree->setCurrentItem(nullptr);
        m_info->setText(lost.join(QStringLiteral("; ")));
        m_info->setVisible(true);
    }
    if (m_store) m_store->setText(storeLine(overview));
    if (m_none) {
        m_none->setVisible(overview.grupos.empty());
        m_tree->setVisible(!overview.grupos.empty());
    }
    if (flash && changed) m_flashEnd.start();
    return changed;
}

int GroupingsDialog::apply(const GroupingOverview& overview) {
    // Removing and adding rows must not scroll the list away from what the user looks at.
    const int scrolled = m_tree->verticalScrollBar()->value();
    const int changed = fill(overview, true);
    m_tree->verticalScrollBar()->setValue(scrolled);
    return changed;
}

bool GroupingsDialog::refresh() {
    if (!m_overview.reread) return false;
    GroupingOverview overview;
    try {
        overview = m_overview.reread();
    } catch (const std::exception& e) {
        // The list stays as it was; the next change tries again.
        qCWarning(lcOps).noquote() << "could not read the groupings again:" << e.what();
        return false;
    }
    emit refreshed(apply(overview));
    return true;
}

void GroupingsDialog::follow() {
    if (!m_overview.reread || m_overview.connectionString.isEmpty()) return;
    try {
        m_watch = new FloorWatch(m_overview.connectionString, m_overview.filial, m_overview.loja, this);
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "the groupings will not follow the floor:" << e.what();
        return;
    }
    connect(m_watch, &FloorWatch::changed, this, [this] {
        if (refresh())
            qCInfo(lcOps).noquote() << "groupings of store" << m_overview.filial + u'/' + m_overview.loja << "refreshed"
                                    << monotonicMs() - m_watch->heardAt() << "ms after the change";
    });
    m_watch->start();
}

void GroupingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QTreeWidgetItem* current = m_tree->currentItem())
        m_tree->scrollToItem(current, QAbstractItemView::PositionAtTop);
}

void GroupingsDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape: accept(); break;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace Gpe00002
