#include "screens/WaiterReportView.h"

#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Gpe00002 {

namespace {

constexpr int kRowHeight = 44;

QString dayText(const QDate& day) { return day.toString(QStringLiteral("dd/MM/yyyy")); }

QString itemsText(int count) { return count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 itens").arg(count); }

// A read-only list in the dialog's font, with touch-high rows and a wide scroll bar.
QTreeWidget* list(QWidget* parent, const QString& name, const QStringList& headers) {
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(name);
    tree->setColumnCount(static_cast<int>(headers.size()));
    tree->setHeaderLabels(headers);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::NoSelection);
    tree->setFocusPolicy(Qt::NoFocus);
    // Narrow screens elide the widest column rather than scroll sideways.
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tree->setTextElideMode(Qt::ElideRight);
    tree->setUniformRowHeights(true);
    tree->setIndentation(16);
    tree->header()->setSectionsMovable(false);
    tree->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    tree->setStyleSheet(
        QStringLiteral("QTreeWidget { background: white; color: black; border: 1px solid #9E9E9E; }"
                       "QTreeWidget::item { padding: 0px 8px; }"
                       "QHeaderView::section { background: #EEEEEE; color: black; padding: 6px 8px;"
                       " border: none; border-bottom: 1px solid #9E9E9E; }"
                       "QScrollBar:vertical { width: 32px; }"));
    // Item views take the platform's own list font rather than their parent's: set it.
    tree->setFont(parent->font());
    QFont headerFont = parent->font();
    headerFont.setPointSize(Style::kFontPoints - 2);
    headerFont.setBold(true);
    tree->header()->setFont(headerFont);
    return tree;
}

QTreeWidgetItem* row(QTreeWidgetItem* parent, const QStringList& texts) {
    auto* item = new QTreeWidgetItem(parent, texts);
    item->setSizeHint(0, QSize(0, kRowHeight));
    return item;
}

void addTotals(QTreeWidget* tree, const QString& title, const WaiterTotals& totals) {
    auto* heading = new QTreeWidgetItem(tree);
    heading->setText(0, QStringLiteral("%1 · %2 · %3").arg(title, itemsText(totals.itens), totals.valor.text()));
    QFont bold = tree->font();
    bold.setBold(true);
    heading->setFont(0, bold);
    heading->setBackground(0, QColor(0xF6, 0xE3, 0xDA));
    heading->setSizeHint(0, QSize(0, kRowHeight));
    tree->setFirstColumnSpanned(tree->indexOfTopLevelItem(heading), QModelIndex(), true);
    if (totals.vendedores.empty()) row(heading, {QStringLiteral("Nenhum item.")});
    for (const WaiterTotal& waiter : totals.vendedores) {
        QTreeWidgetItem* line = row(
            heading, {waiterText(waiter.vendedor, waiter.nome), QString::number(waiter.itens), waiter.valor.text()});
        line->setTextAlignment(WaiterReportDialog::Itens, Qt::AlignRight | Qt::AlignVCenter);
        line->setTextAlignment(WaiterReportDialog::Valor, Qt::AlignRight | Qt::AlignVCenter);
    }
}

// Every column as wide as its widest text, at least `minimum`; answers the width of them all.
int fitColumns(QTreeWidget* tree, std::initializer_list<int> minimum) {
    int width = 0, column = 0;
    for (const int least : minimum) {
        tree->resizeColumnToContents(column);
        const int header = QFontMetrics(tree->header()->font()).horizontalAdvance(tree->headerItem()->text(column));
        tree->setColumnWidth(column, std::max({tree->columnWidth(column) + 24, least, header + 40}));
        width += tree->columnWidth(column++);
    }
    return width;
}

}  // namespace

WaiterReportDialog::WaiterReportDialog(const WaiterReport& report) {
    QVBoxLayout* content = Style::frameDialog(*this, QStringLiteral("Relatório de garçons"));
    content->addWidget(Style::textLabel(
        QStringLiteral("Filial %1 · Loja %2 · Dia %3").arg(report.filial, report.loja, dayText(report.dia)),
        QStringLiteral("loja"), this));

    QTreeWidget* totals = list(this, QStringLiteral("totais"),
                               {QStringLiteral("Garçom"), QStringLiteral("Itens"), QStringLiteral("Valor")});
    addTotals(totals, QStringLiteral("Vendas abertas"), report.abertas);
    addTotals(totals, QStringLiteral("Vendas do dia %1").arg(dayText(report.dia)), report.doDia);
    totals->expandAll();
    totals->headerItem()->setTextAlignment(Itens, Qt::AlignRight | Qt::AlignVCenter);
    totals->headerItem()->setTextAlignment(Valor, Qt::AlignRight | Qt::AlignVCenter);
    int width = fitColumns(totals, {320, 100, 160});
    totals->header()->setStretchLastSection(false);
    totals->header()->setSectionResizeMode(Garcom, QHeaderView::Stretch);
    const int totalRows = 2 + std::max<int>(1, static_cast<int>(report.abertas.vendedores.size())) +
                          std::max<int>(1, static_cast<int>(report.doDia.vendedores.size()));
    totals->setMinimumHeight(std::min(totalRows + 1, 8) * kRowHeight);
    content->addWidget(totals, 1);

    QLabel* changesTitle = Style::textLabel(QStringLiteral("Alterações de garçom em %1").arg(dayText(report.dia)),
                                            QStringLiteral("alteracoesTitulo"), this);
    QFont bold = changesTitle->font();
    bold.setBold(true);
    changesTitle->setFont(bold);
    content->addWidget(changesTitle);
    QString none;
    if (!report.historico)
        none = QStringLiteral(
            "O histórico de alterações de garçom não está instalado neste banco de dados "
            "(instale-o com res00011-report --install-history).");
    else if (report.alteracoes.empty())
        none = QStringLiteral("Nenhuma alteração de garçom neste dia.");
    if (!none.isEmpty()) {
        content->addWidget(Style::textLabel(none, QStringLiteral("historico"), this));
    } else {
        QTreeWidget* changes = list(this, QStringLiteral("alteracoes"),
                                    {QStringLiteral("Hora"), QStringLiteral("Mesa"), QStringLiteral("Item"),
                                     QStringLiteral("Garçom"), QStringLiteral("Quem")});
        for (const WaiterChange& change : report.alteracoes) {
            // The product first: on a narrow screen the column is cut at its end.
            const QString item = change.item
                                     ? QStringLiteral("%1 (%2/%3)")
                                           .arg(change.nomeProduto.isEmpty() ? change.produto : change.nomeProduto,
                                                change.comanda, change.numeroItem)
                                     : QStringLiteral("Venda %1").arg(change.venda);
            QStringList who;
            for (const QString* part : {&change.aplicacao, &change.endereco, &change.usuario})
                if (!part->isEmpty()) who << *part;
            auto* line =
                new QTreeWidgetItem(changes, {change.quando.toString(QStringLiteral("HH:mm:ss")), change.mesa, item,
                                              waiterText(change.de, change.nomeDe) + QStringLiteral(" → ") +
                                                  waiterText(change.para, change.nomePara),
                                              who.join(QLatin1Char(' '))});
            line->setSizeHint(0, QSize(0, kRowHeight));
        }
        width = std::max(width, fitColumns(changes, {100, 80, 240, 200, 100}));
        changes->header()->setStretchLastSection(false);
        changes->header()->setSectionResizeMode(Item, QHeaderView::Stretch);
        changes->setMinimumHeight(std::min(static_cast<int>(report.alteracoes.size()) + 1, 5) * kRowHeight);
        content->addWidget(changes, 1);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    // Alt+I prints from the keyboard, as the underlined letter shows (also when the button's own
    // shortcut does not see the key: keyPressEvent); Enter and Esc close.
    QPushButton* print = Style::touchButton(QStringLiteral("&Imprimir"), QStringLiteral("print"), this);
    QPushButton* close = Style::touchButton(QStringLiteral("Fechar"), QStringLiteral("close"), this);
    for (QPushButton* button : {print, close}) {
        button->setMinimumWidth(160);
        buttons->addWidget(button);
    }
    connect(print, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    content->addLayout(buttons);

    // Wide enough for the columns, within the screen.
    QSize wanted(std::max(width + 2 * 19 + 36, 640), sizeHint().height());
    if (const QScreen* screen = Style::operatorScreen()) {
        const QSize available = screen->availableGeometry().size();
        wanted = wanted.boundedTo(QSize(available.width() - 24, available.height() - 24));
    }
    resize(wanted);
}

void WaiterReportDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_I && event->modifiers() == Qt::AltModifier) return accept();
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape: reject(); break;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace Gpe00002
