#include "screens/WaiterReportView.h"

#include "core/Log.h"
#include "DbTypes.h"
#include "store/FloorWatch.h"
#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
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

void setFlash(QTreeWidgetItem& item, bool on) {
    for (int column = 0; column < item.columnCount(); ++column)
        item.setData(column, WaiterReportDialog::FlashRole, on ? QVariant(true) : QVariant());
}

// Writes `texts` into `item`; true when anything shown differs from before.
bool setTexts(QTreeWidgetItem& item, const QStringList& texts) {
    bool changed = item.columnCount() != texts.size();
    for (int column = 0; column < texts.size(); ++column) {
        if (!changed && item.text(column) == texts[column]) continue;
        item.setText(column, texts[column]);
        changed = true;
    }
    return changed;
}

// The heading of a kind of sale and its waiters' lines, over what `heading` showed; answers the
// lines that changed, flashing them when `flash`.
int setTotals(QTreeWidgetItem& heading, const QString& title, const WaiterTotals& totals, bool flash) {
    int changed = 0;
    const auto mark = [&](QTreeWidgetItem& item) {
        ++changed;
        if (flash) setFlash(item, true);
    };
    if (setTexts(heading, {QStringLiteral("%1 · %2 · %3").arg(title, itemsText(totals.itens), totals.valor.text())}))
        mark(heading);
    std::vector<QStringList> lines;
    for (const WaiterTotal& waiter : totals.vendedores)
        lines.push_back({waiterText(waiter.vendedor, waiter.nome), QString::number(waiter.itens), waiter.valor.text()});
    if (lines.empty()) lines.push_back({QStringLiteral("Nenhum item.")});
    // A waiter's line by the waiter: one that went goes, one that came is put in its place.
    for (int i = heading.childCount() - 1; i >= 0; --i) {
        const QString who = heading.child(i)->text(0);
        if (std::none_of(lines.begin(), lines.end(), [&](const QStringList& line) { return line[0] == who; })) {
            delete heading.takeChild(i);
            ++changed;
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int at = static_cast<int>(i);
        QTreeWidgetItem* line =
            at < heading.childCount() && heading.child(at)->text(0) == lines[i][0] ? heading.child(at) : nullptr;
        if (!line) {
            line = new QTreeWidgetItem;
            heading.insertChild(at, line);
            line->setSizeHint(0, QSize(0, kRowHeight));
            if (lines[i].size() > WaiterReportDialog::Valor) {
                line->setTextAlignment(WaiterReportDialog::Itens, Qt::AlignRight | Qt::AlignVCenter);
                line->setTextAlignment(WaiterReportDialog::Valor, Qt::AlignRight | Qt::AlignVCenter);
            }
        }
        if (setTexts(*line, lines[i])) mark(*line);
    }
    // Lines of a waiter that moved in the order stay after the ones read: drop them.
    while (heading.childCount() > static_cast<int>(lines.size())) delete heading.takeChild(heading.childCount() - 1);
    return changed;
}

QStringList changeTexts(const WaiterChange& change) {
    // The product first: on a narrow screen the column is cut at its end.
    const QString item = change.item ? QStringLiteral("%1 (%2/%3)")
                                           .arg(change.nomeProduto.isEmpty() ? change.produto : change.nomeProduto,
                                                change.comanda, change.numeroItem)
                                     : QStringLiteral("Venda %1").arg(change.venda);
    QStringList who;
    for (const QString* part : {&change.aplicacao, &change.endereco, &change.usuario})
        if (!part->isEmpty()) who << *part;
    return {change.quando.toString(QStringLiteral("HH:mm:ss")), change.mesa, item,
            waiterText(change.de, change.nomeDe) + QStringLiteral(" → ") + waiterText(change.para, change.nomePara),
            who.join(QLatin1Char(' '))};
}

QString noChanges(const WaiterReport& report) {
    if (!report.historico)
        return QStringLiteral(
            "O histórico de alterações de garçom não está instalado neste banco de dados "
            "(instale-o com res00011-report --install-history).");
    if (report.alteracoes.empty()) return QStringLiteral("Nenhuma alteração de garçom neste dia.");
    return {};
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

WaiterReportDialog::WaiterReportDialog(const WaiterReport& report) : m_report(report) {
    QVBoxLayout* content = Style::frameDialog(*this, QStringLiteral("Relatório de garçons"));
    content->addWidget(Style::textLabel(
        QStringLiteral("Filial %1 · Loja %2 · Dia %3").arg(report.filial, report.loja, dayText(report.dia)),
        QStringLiteral("loja"), this));

    m_totals = list(this, QStringLiteral("totais"),
                    {QStringLiteral("Garçom"), QStringLiteral("Itens"), QStringLiteral("Valor")});
    QFont bold = m_totals->font();
    bold.setBold(true);
    for (int i = 0; i < 2; ++i) {
        auto* heading = new QTreeWidgetItem(m_totals);
        heading->setFont(0, bold);
        heading->setBackground(0, QColor(0xF6, 0xE3, 0xDA));
        heading->setSizeHint(0, QSize(0, kRowHeight));
        m_totals->setFirstColumnSpanned(i, QModelIndex(), true);
    }
    m_totals->headerItem()->setTextAlignment(Itens, Qt::AlignRight | Qt::AlignVCenter);
    m_totals->headerItem()->setTextAlignment(Valor, Qt::AlignRight | Qt::AlignVCenter);

    QLabel* changesTitle = Style::textLabel(QStringLiteral("Alterações de garçom em %1").arg(dayText(report.dia)),
                                            QStringLiteral("alteracoesTitulo"), this);
    QFont titleFont = changesTitle->font();
    titleFont.setBold(true);
    changesTitle->setFont(titleFont);
    m_none = Style::textLabel(QString(), QStringLiteral("historico"), this);
    m_changes = list(this, QStringLiteral("alteracoes"),
                     {QStringLiteral("Hora"), QStringLiteral("Mesa"), QStringLiteral("Item"), QStringLiteral("Garçom"),
                      QStringLiteral("Quem")});
    fill(report, false);
    m_totals->expandAll();

    int width = fitColumns(m_totals, {320, 100, 160});
    m_totals->header()->setStretchLastSection(false);
    m_totals->header()->setSectionResizeMode(Garcom, QHeaderView::Stretch);
    const int totalRows = 2 + std::max<int>(1, static_cast<int>(report.abertas.vendedores.size())) +
                          std::max<int>(1, static_cast<int>(report.doDia.vendedores.size()));
    m_totals->setMinimumHeight(std::min(totalRows + 1, 8) * kRowHeight);
    content->addWidget(m_totals, 1);
    content->addWidget(changesTitle);
    content->addWidget(m_none);
    if (!report.alteracoes.empty()) width = std::max(width, fitColumns(m_changes, {100, 80, 240, 200, 100}));
    m_changes->header()->setStretchLastSection(false);
    m_changes->header()->setSectionResizeMode(Item, QHeaderView::Stretch);
    m_changes->setMinimumHeight(std::min(static_cast<int>(report.alteracoes.size()) + 1, 5) * kRowHeight);
    content->addWidget(m_changes, 1);

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

    m_flashEnd.setSingleShot(true);
    m_flashEnd.setInterval(900);
    connect(&m_flashEnd, &QTimer::timeout, this, [this] {
        for (QTreeWidget* tree : {m_totals, m_changes})
            for (QTreeWidgetItemIterator it(tree); *it; ++it) setFlash(**it, false);
    });
    if (!report.reread || report.connectionString.isEmpty()) return;
    try {
        m_watch = new FloorWatch(report.connectionString, report.filial, report.loja, this);
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "the waiters' report will not follow the floor:" << e.what();
        return;
    }
    connect(m_watch, &FloorWatch::changed, this, [this] {
        if (refresh())
            qCInfo(lcOps).noquote() << "waiters' report of store" << m_report.filial + u'/' + m_report.loja
                                    << "refreshed" << monotonicMs() - m_watch->heardAt() << "ms after the change";
    });
    m_watch->start();
}

int WaiterReportDialog::fill(const WaiterReport& report, bool flash) {
    m_report.abertas = report.abertas;
    m_report.doDia = report.doDia;
    m_report.historico = report.historico;
    m_report.alteracoes = report.alteracoes;
    int changed = setTotals(*m_totals->topLevelItem(0), QStringLiteral("Vendas abertas"), report.abertas, flash) +
                  setTotals(*m_totals->topLevelItem(1), QStringLiteral("Vendas do dia %1").arg(dayText(report.dia)),
                            report.doDia, flash);
    // The day's changes only grow: the new ones are added at the end.
    for (std::size_t i = 0; i < report.alteracoes.size(); ++i) {
        const QStringList texts = changeTexts(report.alteracoes[i]);
        QTreeWidgetItem* line = m_changes->topLevelItem(static_cast<int>(i));
        if (!line) {
            line = new QTreeWidgetItem(m_changes);
            line->setSizeHint(0, QSize(0, kRowHeight));
        }
        if (setTexts(*line, texts)) {
            ++changed;
            if (flash) setFlash(*line, true);
        }
    }
    while (m_changes->topLevelItemCount() > static_cast<int>(report.alteracoes.size()))
        delete m_changes->takeTopLevelItem(m_changes->topLevelItemCount() - 1);
    const QString none = noChanges(report);
    m_none->setText(none);
    m_none->setVisible(!none.isEmpty());
    m_changes->setVisible(none.isEmpty());
    if (flash && changed) m_flashEnd.start();
    return changed;
}

int WaiterReportDialog::apply(const WaiterReport& report) {
    // Lines added or taken away must not scroll the lists away from what the user looks at.
    const int totalsScrolled = m_totals->verticalScrollBar()->value();
    const int changesScrolled = m_changes->verticalScrollBar()->value();
    const int changed = fill(report, true);
    m_totals->verticalScrollBar()->setValue(totalsScrolled);
    m_changes->verticalScrollBar()->setValue(changesScrolled);
    return changed;
}

bool WaiterReportDialog::refresh() {
    if (!m_report.reread) return false;
    WaiterReport report;
    try {
        report = m_report.reread();
    } catch (const std::exception& e) {
        // The report stays as it was; the next change tries again.
        qCWarning(lcOps).noquote() << "could not read the waiters' report again:" << e.what();
        return false;
    }
    emit refreshed(apply(report));
    return true;
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
