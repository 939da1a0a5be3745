#include "screens/GroupingsView.h"

#include "core/Numbers.h"
#include "screens/TableLook.h"
#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTreeWidget>
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

}  // namespace

GroupingsDialog::GroupingsDialog(const GroupingOverview& overview) {
    QVBoxLayout* content = Style::frameDialog(*this, QStringLiteral("Agrupamentos de mesas"));
    const int count = static_cast<int>(overview.grupos.size());
    content->addWidget(Style::textLabel(
        QStringLiteral("Filial %1 · Loja %2 · %3")
            .arg(overview.filial, overview.loja,
                 count == 1 ? QStringLiteral("1 agrupamento") : QStringLiteral("%1 agrupamentos").arg(count)),
        QStringLiteral("loja"), this));

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

    // The grouping the consultation named first, then the others as given.
    std::vector<std::size_t> order;
    const bool named = overview.selecionado >= 0 && overview.selecionado < count;
    if (named) order.push_back(static_cast<std::size_t>(overview.selecionado));
    for (std::size_t i = 0; i < overview.grupos.size(); ++i)
        if (!named || i != static_cast<std::size_t>(overview.selecionado)) order.push_back(i);

    QFont headingFont = font();
    headingFont.setBold(true);
    QTreeWidgetItem* selected = nullptr;
    for (std::size_t g : order) {
        const Grouping& grouping = overview.grupos[g];
        Money total;
        for (const GroupingTable& table : grouping.mesas) total += table.total;
        const int tables = static_cast<int>(grouping.mesas.size());
        auto* heading = new QTreeWidgetItem(m_tree);
        heading->setText(
            0, QStringLiteral("Agrupamento %1 · %2 · total %3")
                   .arg(groupingNumber(grouping.numero),
                        tables == 1 ? QStringLiteral("1 mesa") : QStringLiteral("%1 mesas").arg(tables), total.text()));
        heading->setFont(0, headingFont);
        heading->setBackground(0, QColor(0xF6, 0xE3, 0xDA));
        heading->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        heading->setSizeHint(0, QSize(0, kRowHeight));
        heading->setData(0, Qt::UserRole, grouping.numero);
        m_tree->setFirstColumnSpanned(m_tree->indexOfTopLevelItem(heading), QModelIndex(), true);
        if (named && g == static_cast<std::size_t>(overview.selecionado)) selected = heading;

        for (const GroupingTable& table : grouping.mesas) {
            auto* row = new QTreeWidgetItem(heading);
            row->setFlags(Qt::ItemIsEnabled);
            const StateLook look = stateLook(table.mesa.estado);
            const bool sale = hasSale(table);
            row->setText(Mesa, table.mesa.numero);
            row->setText(Nome, table.mesa.nome);
            row->setText(Estado, look.name);
            row->setBackground(Estado, look.fill);
            row->setForeground(Estado, look.text);
            row->setText(Garcom, sale ? waiter(table) : QString());
            row->setText(Pessoas, sale ? people(table.pessoas) : QString());
            row->setText(Total, sale ? table.total.text() : QString());
            row->setTextAlignment(Estado, Qt::AlignCenter);
            row->setTextAlignment(Pessoas, Qt::AlignRight | Qt::AlignVCenter);
            row->setTextAlignment(Total, Qt::AlignRight | Qt::AlignVCenter);
            row->setSizeHint(0, QSize(0, kRowHeight));
        }
    }
    m_tree->expandAll();
    m_tree->headerItem()->setTextAlignment(Pessoas, Qt::AlignRight | Qt::AlignVCenter);
    m_tree->headerItem()->setTextAlignment(Total, Qt::AlignRight | Qt::AlignVCenter);
    if (selected) {
        m_tree->setCurrentItem(selected);
        selected->setSelected(true);
    }

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

    QLabel* none =
        Style::textLabel(QStringLiteral("Nenhum agrupamento de mesas nesta loja."), QStringLiteral("nenhum"), this);
    none->setVisible(overview.grupos.empty());
    m_tree->setVisible(!overview.grupos.empty());
    content->addWidget(none);

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
