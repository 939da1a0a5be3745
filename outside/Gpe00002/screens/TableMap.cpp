#include "screens/TableMap.h"

#include "core/Log.h"
#include "DbTypes.h"
#include "InputGuard.h"
#include "store/FloorWatch.h"
#include "screens/TableGrid.h"
#include "screens/TableLook.h"
#include "TouchStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <map>

namespace Gpe00002 {

namespace {

constexpr int kScrollBarWidth = 36;

QString roomTitle(const QString& sala) {
    return sala.isEmpty() ? QStringLiteral("Sem sala") : QStringLiteral("Sala %1").arg(sala);
}

// Lays out a dialog that is not shown yet as showing it would: each layout takes the size its
// widget has, top down.
void layOutUnshown(QWidget* widget) {
    if (QLayout* layout = widget->layout()) layout->activate();
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) layOutUnshown(child);
}

// Rooms in the order of their codes, numerically when both are numbers.
bool roomBefore(const QString& a, const QString& b) {
    bool aNumber = false, bNumber = false;
    const qlonglong x = a.toLongLong(&aNumber), y = b.toLongLong(&bNumber);
    if (aNumber && bNumber && x != y) return x < y;
    return a < b;
}

}  // namespace

TableMap::TableMap(TableMapRequest request, QWidget* parent) : QWidget(parent), m_request(std::move(request)) {
    setObjectName(QStringLiteral("mapa"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    setStyleSheet(
        QStringLiteral("QScrollArea { border: none; background: white; }"
                       "QScrollArea > QWidget > QWidget { background: white; }"
                       "QScrollBar:vertical { width: %2px; background: #EEEEEE; margin: 0; }"
                       "QScrollBar::handle:vertical { background: #9E9E9E; min-height: 56px; border-radius: 6px;"
                       " margin: 3px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QTabWidget::pane { border: 2px solid %1; top: -2px; background: white; }"
                       "QTabBar::tab { background: white; color: black; border: 2px solid %1;"
                       " border-top-left-radius: 6px; border-top-right-radius: 6px; min-height: 40px;"
                       " min-width: 110px; padding: 4px 16px; margin-right: 4px; font-weight: bold; }"
                       "QTabBar::tab:selected { background: %1; color: white; }")
            .arg(Style::kAccent.name())
            .arg(kScrollBarWidth));

    // Rooms in the order of their codes; tables in the order given (by number).
    std::map<QString, std::size_t> roomIndex;
    std::vector<QString> salas;
    for (const MapTable& table : m_request.tables)
        if (!std::count(salas.begin(), salas.end(), table.mesa.sala)) salas.push_back(table.mesa.sala);
    std::sort(salas.begin(), salas.end(), roomBefore);
    if (salas.empty()) salas.emplace_back();
    for (const QString& sala : salas) {
        roomIndex[sala] = m_rooms.size();
        m_rooms.push_back({sala, {}, nullptr, nullptr});
    }

    if (m_rooms.size() > 1) {
        m_tabs = new RoomTabs(this);
        m_tabs->setObjectName(QStringLiteral("salas"));
        m_tabs->setFocusPolicy(Qt::NoFocus);
        m_tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
        m_tabs->tabBar()->setFont(mapFont(Style::kFontPoints, true));
        m_tabs->setDocumentMode(false);
        m_tabs->tabBar()->installEventFilter(this);
        layout->addWidget(m_tabs, 1);
    }
    for (Room& room : m_rooms) {
        room.scroll = new QScrollArea(this);
        room.scroll->setObjectName(QStringLiteral("sala") + room.sala);
        room.scroll->setFocusPolicy(Qt::NoFocus);
        room.scroll->setFrameShape(QFrame::NoFrame);
        room.scroll->setWidgetResizable(true);
        room.scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        room.scroll->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
        room.grid = new TableGrid(room.scroll);
        room.scroll->setWidget(room.grid);
        if (m_tabs)
            m_tabs->addTab(room.scroll, roomTitle(room.sala));
        else
            layout->addWidget(room.scroll, 1);
    }
    for (std::size_t i = 0; i < m_request.tables.size(); ++i) {
        const MapTable& table = m_request.tables[i];
        Room& room = m_rooms[roomIndex[table.mesa.sala]];
        auto* button = new TableButton(table, room.grid);
        room.grid->add(button);
        room.tables.push_back(static_cast<int>(i));
        m_roomOf.push_back(static_cast<int>(roomIndex[table.mesa.sala]));
        m_buttons.push_back(button);
        m_longestNumber = std::max(m_longestNumber, table.mesa.numero.size());
        const int index = static_cast<int>(i);
        connect(button, &QAbstractButton::clicked, this, [this, index] { touched(index); });
        // A disabled button takes no click: its press is caught here, to say why; so is a
        // second tap.
        button->installEventFilter(this);
    }
    if (m_tabs) connect(m_tabs, &QTabWidget::currentChanged, this, [this](int room) { roomShown(room); });

    m_info = Style::textLabel({}, QStringLiteral("info"), this);
    m_info->setMinimumHeight(QFontMetrics(m_info->font()).height() + 4);
    layout->addWidget(m_info);
    if (m_request.multiple) {
        m_chosenLine = Style::textLabel({}, QStringLiteral("escolhidas"), this);
        QFont bold = m_chosenLine->font();
        bold.setBold(true);
        m_chosenLine->setFont(bold);
        layout->addWidget(m_chosenLine);
    }
    layout->addWidget(buildLegend());
    say({}, false);
    // Come back to with Cancela: the previous choice shows, marked where several may be chosen,
    // under the cursor where one is.
    for (const QString& numero : m_request.marked) {
        const int index = findTable(numero);
        if (index < 0 || !m_request.tables[static_cast<std::size_t>(index)].enabled) continue;
        if (m_request.multiple) {
            m_chosen.insert(index);
            m_buttons[static_cast<std::size_t>(index)]->setChosen(true);
        } else {
            placeCursor(index);
        }
    }
    refreshChosen();
}

QWidget* TableMap::buildLegend() {
    auto* legend = new FlowRow(this);
    legend->setObjectName(QStringLiteral("legenda"));
    const QFont font = mapFont(11, false);
    const auto addItem = [&](const QString& text, const std::function<void(QPainter&, const QRectF&)>& paint) {
        QPixmap swatch(QSize(24, 24) * devicePixelRatioF());
        swatch.setDevicePixelRatio(devicePixelRatioF());
        swatch.fill(Qt::transparent);
        {
            QPainter painter(&swatch);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(painter, QRectF(1, 1, 22, 22));
        }
        auto* item = new QWidget(legend);
        auto* row = new QHBoxLayout(item);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(5);
        auto* icon = new QLabel(item);
        icon->setPixmap(swatch);
        auto* label = new QLabel(text, item);
        label->setFont(font);
        row->addWidget(icon);
        row->addWidget(label);
        legend->add(item);
    };

    bool otherState = false, notOffered = false, grouped = false;
    const QStringList known = knownStates();
    for (const MapTable& table : m_request.tables) {
        otherState = otherState || !known.contains(table.mesa.estado);
        notOffered = notOffered || !table.enabled;
        grouped = grouped || !table.mesa.grupo.isEmpty();
    }
    for (const QString& estado : known) {
        const StateLook look = stateLook(estado);
        addItem(look.name, [look](QPainter& p, const QRectF& r) { paintTile(p, r, look.fill, true); });
    }
    if (otherState)
        addItem(QStringLiteral("Outro estado"),
                [](QPainter& p, const QRectF& r) { paintTile(p, r, stateLook(QStringLiteral("?")).fill, true); });
    if (notOffered)
        addItem(QStringLiteral("Indisponível"),
                [](QPainter& p, const QRectF& r) { paintTile(p, r, stateLook(kLivre).fill, false); });
    if (m_request.multiple)
        addItem(QStringLiteral("Escolhida"), [](QPainter& p, const QRectF& r) {
            paintTile(p, r, QColor(0x90, 0x90, 0x90), true);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 3));
            p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
            p.setPen(QPen(Qt::white, 3));
            p.drawRoundedRect(r.adjusted(4.5, 4.5, -4.5, -4.5), 4, 4);
        });
    if (grouped)
        addItem(QStringLiteral("Agrupamento"), [](QPainter& p, const QRectF& r) {
            p.setPen(QPen(Qt::black, 1.5));
            p.setBrush(Qt::white);
            p.drawRoundedRect(r.adjusted(0, 4, 0, -4), 8, 8);
            p.setFont(mapFont(11, true));
            p.drawText(r, Qt::AlignCenter, QStringLiteral("3"));
        });
    return legend;
}

QStringList TableMap::chosen() const {
    QStringList numbers;
    if (m_request.multiple) {
        for (int index : m_chosen) numbers << m_request.tables[static_cast<std::size_t>(index)].mesa.numero;
    } else if (m_cursor >= 0 && m_request.tables[static_cast<std::size_t>(m_cursor)].enabled) {
        numbers << m_request.tables[static_cast<std::size_t>(m_cursor)].mesa.numero;
    }
    numbers.sort();
    return numbers;
}

int TableMap::minimum() const { return m_request.multiple ? std::max(1, m_request.minimum) : 1; }

bool TableMap::canConfirm() const { return chosen().size() >= minimum(); }

QString TableMap::cursorTable() const {
    return m_cursor >= 0 ? m_request.tables[static_cast<std::size_t>(m_cursor)].mesa.numero : QString();
}

bool TableMap::secondTap(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease) {
        const bool ignored = m_ignoringTap;
        m_ignoringTap = false;
        return ignored;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
    const qint64 at = InputGuard::eventTime(*static_cast<QMouseEvent*>(event));
    // The double click that Qt sends after a press belongs to that press.
    if (type == QEvent::MouseButtonDblClick && (m_ignoringTap || at == m_lastTap)) return m_ignoringTap;
    const int settle = InputGuard::settleMs();
    m_ignoringTap = m_lastTap != 0 && settle > 0 && at >= m_lastTap && at - m_lastTap < settle;
    if (!m_ignoringTap) m_lastTap = at;
    return m_ignoringTap;
}

bool TableMap::eventFilter(QObject* watched, QEvent* event) {
    if (secondTap(event)) return true;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto found = std::find(m_buttons.begin(), m_buttons.end(), watched);
        if (found != m_buttons.end() && !(*found)->isEnabled()) {
            m_typed.clear();
            const int index = static_cast<int>(found - m_buttons.begin());
            placeCursor(index);
            say(QStringLiteral("Mesa %1 indisponível: %2").arg((*found)->table().mesa.numero, (*found)->table().reason),
                true);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TableMap::touched(int index) {
    m_typed.clear();
    placeCursor(index);
    if (m_request.multiple)
        toggle(index);
    else
        emit confirmRequested();
}

void TableMap::toggle(int index) {
    const MapTable& table = m_request.tables[static_cast<std::size_t>(index)];
    if (!table.enabled) {
        say(QStringLiteral("Mesa %1 indisponível: %2").arg(table.mesa.numero, table.reason), true);
        return;
    }
    const bool chosen = !m_chosen.count(index);
    if (chosen)
        m_chosen.insert(index);
    else
        m_chosen.erase(index);
    m_buttons[static_cast<std::size_t>(index)]->setChosen(chosen);
    refreshChosen();
    emit chosenChanged();
}

void TableMap::placeCursor(int index) {
    if (m_cursor >= 0) m_buttons[static_cast<std::size_t>(m_cursor)]->setUnderCursor(false);
    m_cursor = index;
    if (index >= 0) {
        TableButton* button = m_buttons[static_cast<std::size_t>(index)];
        button->setUnderCursor(true);
        const int room = roomOf(index);
        showRoom(room);
        m_rooms[static_cast<std::size_t>(room)].scroll->ensureWidgetVisible(button, 0, kGridMargin);
        describe(index);
    } else {
        say({}, false);
    }
    emit chosenChanged();
}

void TableMap::showRoom(int room) {
    if (m_tabs && m_tabs->currentIndex() != room) m_tabs->setCurrentIndex(room);
}

void TableMap::roomShown(int room) {
    // The cursor stays on the room in view.
    if (m_cursor >= 0 && roomOf(m_cursor) != room) {
        m_typed.clear();
        placeCursor(-1);
    }
}

void TableMap::say(const QString& text, bool refused) {
    QString shown = text;
    if (shown.isEmpty()) {
        if (m_request.tables.empty())
            shown = QStringLiteral("Nenhuma mesa ativa nesta loja.");
        else if (m_request.multiple)
            shown = QStringLiteral("Toque nas mesas para marcar ou desmarcar, ou digite o número e tecle Enter.");
        else
            shown = QStringLiteral("Toque na mesa, ou digite o número e tecle Enter.");
    }
    m_info->setText(shown);
    m_info->setStyleSheet(
        refused ? QStringLiteral("QLabel#info { color: %1; font-weight: bold; }").arg(Style::kAccent.name())
                : QStringLiteral("QLabel#info { color: black; }"));
    if (refused) QApplication::beep();
}

void TableMap::describe(int index) {
    const MapTable& table = m_request.tables[static_cast<std::size_t>(index)];
    if (!table.enabled) {
        say(QStringLiteral("Mesa %1 indisponível: %2").arg(table.mesa.numero, table.reason), false);
        return;
    }
    QString text = QStringLiteral("Mesa %1").arg(table.mesa.numero);
    if (!table.mesa.nome.isEmpty()) text += QStringLiteral(" (%1)").arg(table.mesa.nome);
    text += QStringLiteral(": ") + stateLook(table.mesa.estado).name.toLower();
    if (!table.mesa.grupo.isEmpty()) text += QStringLiteral(", agrupamento %1").arg(groupingNumber(table.mesa.grupo));
    say(text, false);
}

void TableMap::refreshChosen() {
    if (!m_chosenLine) return;
    const QStringList numbers = chosen();
    QString text = numbers.isEmpty() ? QStringLiteral("Nenhuma mesa escolhida")
                                     : QStringLiteral("Escolhidas: %1").arg(numbers.join(QStringLiteral(", ")));
    if (numbers.size() < minimum()) text += QStringLiteral(" (escolha pelo menos %1)").arg(minimum());
    m_chosenLine->setText(text);
}

bool TableMap::refresh() {
    if (!m_request.reread) return false;
    std::vector<MapTable> tables;
    try {
        tables = m_request.reread();
    } catch (const std::exception& e) {
        // The map stays as it was; the next change, or the choice itself, tries again.
        qCWarning(lcOps).noquote() << "could not read the tables of the map again:" << e.what();
        return false;
    }
    emit refreshed(apply(tables));
    return true;
}

namespace {

// What another terminal made of a table that the user had chosen, in the words of the line under
// the map: its new state, or what happened to its grouping, or why it is no longer offered.
QString becameWord(const TableState& before, const MapTable& now) {
    if (now.mesa.estado != before.estado) return stateLook(now.mesa.estado).name.toLower();
    if (now.mesa.grupo != before.grupo)
        return now.mesa.grupo.isEmpty() ? QStringLiteral("separada") : QStringLiteral("agrupada");
    return now.reason;
}

}  // namespace

int TableMap::apply(const std::vector<MapTable>& tables) {
    std::map<QString, const MapTable*> read;
    for (const MapTable& table : tables) read[table.mesa.numero] = &table;
    int changed = 0;
    QStringList lost;
    for (std::size_t i = 0; i < m_request.tables.size(); ++i) {
        MapTable& shown = m_request.tables[i];
        MapTable now;
        if (const auto found = read.find(shown.mesa.numero); found != read.end()) {
            now = *found->second;
        } else {
            now = shown;
            now.enabled = false;
            now.reason = QStringLiteral("removida");
        }
        if (now.mesa.sameAs(shown.mesa) && now.enabled == shown.enabled && now.reason == shown.reason &&
            now.mesa.nome == shown.mesa.nome)
            continue;
        ++changed;
        const int index = static_cast<int>(i);
        const bool wasChosen = shown.enabled && (m_request.multiple ? m_chosen.count(index) > 0 : m_cursor == index);
        if (wasChosen && !now.enabled) {
            lost << QStringLiteral("Mesa %1 %2 agora por outro terminal")
                        .arg(now.mesa.numero, becameWord(shown.mesa, now));
            if (m_chosen.erase(index)) m_buttons[i]->setChosen(false);
        }
        shown = now;
        m_buttons[i]->setTable(now);
        m_buttons[i]->flash();
    }
    if (!changed) return 0;
    if (!lost.isEmpty())
        say(lost.join(QStringLiteral("; ")), true);
    else if (m_cursor >= 0 && m_typed.isEmpty())
        describe(m_cursor);
    refreshChosen();
    emit chosenChanged();
    return changed;
}

int TableMap::roomOf(int index) const { return m_roomOf[static_cast<std::size_t>(index)]; }

int TableMap::spareHeight() const {
    // The whole area, scroll bar included: tables that fit need none.
    const QSize area = roomArea();
    int needed = 0;
    for (const Room& room : m_rooms) needed = std::max(needed, room.grid->heightForWidth(area.width()));
    return std::max(0, area.height() - needed);
}

QSize TableMap::roomArea() const {
    if (m_tabs) return m_tabs->pageArea();
    return m_rooms.front().scroll->size();
}

int TableMap::shownRoom() const { return m_tabs ? std::max(0, m_tabs->currentIndex()) : 0; }

TableMapDialog::TableMapDialog(const TableMapRequest& request) {
    QVBoxLayout* content = Style::frameDialog(*this, request.title);
    if (!request.prompt.isEmpty()) content->addWidget(Style::promptLabel(request.prompt, this));
    m_map = new TableMap(request, this);
    content->addWidget(m_map, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch();
    QPushButton* cancel = Style::touchButton(QStringLiteral("Cancela"), QStringLiteral("cancel"), this);
    cancel->setMinimumWidth(160);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ok = Style::touchButton(QStringLiteral("OK"), QStringLiteral("ok"), this);
    m_ok->setMinimumWidth(160);
    m_ok->setStyleSheet(QStringLiteral("QPushButton:disabled { color: #9E9E9E; border-color: #BDBDBD; }"));
    connect(m_ok, &QPushButton::clicked, this, &TableMapDialog::confirm);
    buttons->addWidget(cancel);
    buttons->addWidget(m_ok);
    content->addLayout(buttons);

    connect(m_map, &TableMap::confirmRequested, this, &TableMapDialog::confirm);
    follow(request);
    connect(m_map, &TableMap::chosenChanged, this, [this] { m_ok->setEnabled(m_map->canConfirm()); });
    m_ok->setEnabled(m_map->canConfirm());

    QSize screen(1024, 768);
    if (const QScreen* shown = Style::operatorScreen()) screen = shown->availableGeometry().size();
    resize(sizeFor(screen));
    // A store with few tables gets a shorter dialog. The layouts place the map now, at the full
    // size, to tell what its tables leave empty.
    ensurePolished();
    layOutUnshown(this);
    if (const int spare = m_map->spareHeight(); spare > 0) resize(width(), height() - spare);
}

void TableMapDialog::follow(const TableMapRequest& request) {
    if (!request.reread || request.connectionString.isEmpty()) return;
    try {
        m_watch = new FloorWatch(request.connectionString, request.filial, request.loja, this);
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "the map will not follow the floor:" << e.what();
        return;
    }
    connect(m_watch, &FloorWatch::changed, m_map, [this, store = request.filial + u'/' + request.loja] {
        if (!m_map->refresh()) return;
        qCInfo(lcOps).noquote() << "map of store" << store << "refreshed" << monotonicMs() - m_watch->heardAt()
                                << "ms after the change";
    });
    m_watch->start();
}

QSize TableMapDialog::sizeFor(const QSize& screen) {
    return {std::min(screen.width() - 24, 1180), std::min(screen.height() - 24, 900)};
}

QStringList TableMapDialog::chosen() const { return m_map->chosen(); }

void TableMapDialog::confirm() {
    if (m_map->canConfirm()) accept();
}

void TableMapDialog::keyPressEvent(QKeyEvent* event) {
    if (m_map->handleKey(event)) return;
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        QDialog::keyPressEvent(event);
}

}  // namespace Gpe00002
