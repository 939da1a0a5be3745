#include "screens/TableMap.h"

#include "InputGuard.h"
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
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <map>

namespace Gpe00002 {

namespace {

constexpr int kMinCellWidth = 112;
constexpr int kCellHeight = 100;
constexpr int kSpacing = 6;
constexpr int kMargin = 4;
// The gap around a tile, where the keyboard cursor's ring is drawn.
constexpr qreal kRing = 5;
constexpr int kTypingPauseMs = 2000;
constexpr int kScrollBarWidth = 36;

QFont face(int points, bool bold) {
    QFont font(Style::kFontFamily);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// `text` in at most two lines of `width`, broken between words; what does not fit is elided.
QStringList twoLines(const QString& text, const QFontMetricsF& metrics, qreal width) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first;
    qsizetype used = 0;
    for (; used < words.size(); ++used) {
        const QString longer = first.isEmpty() ? words[used] : first + QLatin1Char(' ') + words[used];
        if (!first.isEmpty() && metrics.horizontalAdvance(longer) > width) break;
        first = longer;
    }
    QStringList lines{metrics.elidedText(first, Qt::ElideRight, width)};
    if (used < words.size()) lines << metrics.elidedText(words.mid(used).join(QLatin1Char(' ')), Qt::ElideRight, width);
    return lines;
}

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

// The rooms' tabs. A tab widget places its pages only when it is shown: pageArea() answers the
// size they take at its present size, as the layout gives it, also before.
class RoomTabs : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

    QSize pageArea() const {
        if (isVisible() && currentWidget()) return currentWidget()->size();
        QStyleOptionTabWidgetFrame option;
        initStyleOption(&option);
        return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).size();
    }
};

// One table: a tile in its state's colour with the number, the name, the grouping's badge and
// a last line with the state, or the reason when it is not offered.
class TableButton : public QAbstractButton {
public:
    TableButton(const MapTable& table, QWidget* parent) : QAbstractButton(parent), m_table(table) {
        setObjectName(QStringLiteral("mesa") + table.mesa.numero);
        setFocusPolicy(Qt::NoFocus);
        setEnabled(table.enabled);
        setProperty("oferecida", table.enabled);
        setProperty("escolhida", false);
        setProperty("sobCursor", false);
        const StateLook look = stateLook(table.mesa.estado);
        QString tip = QStringLiteral("Mesa %1").arg(table.mesa.numero);
        if (!table.mesa.nome.isEmpty()) tip += QStringLiteral(" (%1)").arg(table.mesa.nome);
        tip += QStringLiteral(": ") + look.name.toLower();
        if (!table.mesa.grupo.isEmpty())
            tip += QStringLiteral(", agrupamento %1").arg(groupingNumber(table.mesa.grupo));
        if (!table.enabled) tip += QStringLiteral(". Indisponível: %1").arg(table.reason);
        setToolTip(tip);
        setAccessibleName(tip);
    }

    const MapTable& table() const { return m_table; }
    void setChosen(bool chosen) {
        setProperty("escolhida", chosen);
        update();
    }
    void setUnderCursor(bool under) {
        setProperty("sobCursor", under);
        update();
    }
    QSize sizeHint() const override { return {kMinCellWidth, kCellHeight}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool offered = m_table.enabled;
        const StateLook look = stateLook(m_table.mesa.estado);
        const QRectF tile = QRectF(rect()).adjusted(kRing, kRing, -kRing, -kRing);
        paintTile(painter, tile, look.fill, offered);
        const QColor ink = tileText(look, offered);
        const bool chosen = property("escolhida").toBool();

        // A chosen tile's rings take part of its edge: its text moves in.
        const QRectF inside = chosen ? tile.adjusted(12, 8, -12, -8) : tile.adjusted(9, 5, -9, -5);
        // Number, top left; the grouping's badge, top right.
        painter.setFont(face(18, true));
        const QFontMetricsF numberMetrics(painter.font());
        const QRectF numberBox(inside.left(), inside.top(), inside.width(), numberMetrics.height());
        qreal badgeWidth = 0;
        if (!m_table.mesa.grupo.isEmpty()) {
            const QFont badgeFont = face(11, true);
            const QFontMetricsF badgeMetrics(badgeFont);
            const QString text = groupingNumber(m_table.mesa.grupo);
            badgeWidth = std::max(badgeMetrics.horizontalAdvance(text) + 12, badgeMetrics.height() + 4);
            const QRectF badge(inside.right() - badgeWidth + 4, tile.top() + 5, badgeWidth, badgeMetrics.height() + 4);
            painter.setPen(QPen(Qt::black, 1.5));
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
            painter.setFont(badgeFont);
            painter.setPen(Qt::black);
            painter.drawText(badge, Qt::AlignCenter, text);
            painter.setFont(face(18, true));
        }
        painter.setPen(ink);
        painter.drawText(numberBox.adjusted(0, 0, -badgeWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         numberMetrics.elidedText(m_table.mesa.numero, Qt::ElideRight, numberBox.width() - badgeWidth));

        // The name under it, the state or the reason on the last line.
        painter.setFont(face(11, false));
        const QFontMetricsF nameMetrics(painter.font());
        const QRectF nameBox(inside.left(), numberBox.bottom(), inside.width(), nameMetrics.height());
        painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                         nameMetrics.elidedText(m_table.mesa.nome, Qt::ElideRight, nameBox.width()));

        painter.setFont(face(10, !offered));
        const QFontMetricsF lastMetrics(painter.font());
        const qreal checkSize = 22;
        // The reason may take two lines; the state always fits one.
        const QStringList lines =
            twoLines(offered ? look.name : m_table.reason, lastMetrics, inside.width() - (chosen ? checkSize + 4 : 0));
        qreal y = inside.bottom() - lastMetrics.height() * static_cast<qreal>(lines.size());
        for (const QString& line : lines) {
            painter.drawText(QRectF(inside.left(), y, inside.width(), lastMetrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, line);
            y += lastMetrics.height();
        }

        if (chosen) {
            // A black and white ring inside the tile and a check mark: visible on every colour.
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Qt::black, 3));
            painter.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);
            painter.setPen(QPen(Qt::white, 3));
            painter.drawRoundedRect(tile.adjusted(4.5, 4.5, -4.5, -4.5), 5, 5);
            const QRectF check(tile.right() - checkSize - 7, tile.bottom() - checkSize - 7, checkSize, checkSize);
            painter.setPen(QPen(Qt::white, 2));
            painter.setBrush(Qt::black);
            painter.drawEllipse(check);
            QPen tick(Qt::white, 3);
            tick.setCapStyle(Qt::RoundCap);
            tick.setJoinStyle(Qt::RoundJoin);
            painter.setPen(tick);
            const QPointF points[] = {{check.left() + 5.5, check.center().y()},
                                      {check.left() + 9.5, check.bottom() - 6},
                                      {check.right() - 5, check.top() + 6}};
            painter.drawPolyline(points, 3);
        }
        if (property("sobCursor").toBool()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Style::kAccent, 4));
            painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 10, 10);
        }
    }

private:
    MapTable m_table;
};

// The tiles of one room in rows, as many columns as the width takes; the tiles widen to fill a
// row.
class TableGrid : public QWidget {
public:
    explicit TableGrid(QWidget* parent) : QWidget(parent) {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    void add(TableButton* button) { m_buttons.push_back(button); }
    int columns() const { return columnsFor(width()); }
    static int columnsFor(int width) {
        return std::max(1, (width - 2 * kMargin + kSpacing) / (kMinCellWidth + kSpacing));
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const int count = static_cast<int>(m_buttons.size());
        const int columns = columnsFor(width);
        const int rows = (count + columns - 1) / columns;
        return 2 * kMargin + rows * kCellHeight + std::max(0, rows - 1) * kSpacing;
    }
    QSize sizeHint() const override {
        const int width = 2 * kMargin + 6 * kMinCellWidth + 5 * kSpacing;
        return {width, heightForWidth(width)};
    }
    QSize minimumSizeHint() const override { return {2 * kMargin + kMinCellWidth, 2 * kMargin + kCellHeight}; }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int columns = this->columns();
        const int cellWidth = std::max(kMinCellWidth, (width() - 2 * kMargin - (columns - 1) * kSpacing) / columns);
        for (std::size_t i = 0; i < m_buttons.size(); ++i) {
            const int row = static_cast<int>(i) / columns, column = static_cast<int>(i) % columns;
            m_buttons[i]->setGeometry(kMargin + column * (cellWidth + kSpacing),
                                      kMargin + row * (kCellHeight + kSpacing), cellWidth, kCellHeight);
        }
    }

private:
    std::vector<TableButton*> m_buttons;
};

// The legend's items side by side, wrapping to another line when the width runs out.
class FlowRow : public QWidget {
public:
    explicit FlowRow(QWidget* parent) : QWidget(parent) {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    void add(QWidget* item) { m_items.push_back(item); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return place(width, false); }
    QSize sizeHint() const override {
        int width = 0;
        for (const QWidget* item : m_items) width += item->sizeHint().width() + kGap;
        return {width, place(width, false)};
    }
    QSize minimumSizeHint() const override {
        int widest = 0;
        for (const QWidget* item : m_items) widest = std::max(widest, item->sizeHint().width());
        return {widest, place(sizeHint().width(), false)};
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(width(), true); }

private:
    static constexpr int kGap = 14;

    // Answers the height the items take in `width`; with `move`, puts them there.
    int place(int width, bool move) const {
        int x = 0, y = 0, line = 0;
        for (QWidget* item : m_items) {
            const QSize size = item->sizeHint();
            if (x > 0 && x + size.width() > width) {
                x = 0;
                y += line + 4;
                line = 0;
            }
            if (move) item->setGeometry(x, y, size.width(), size.height());
            x += size.width() + kGap;
            line = std::max(line, size.height());
        }
        return y + line;
    }

    std::vector<QWidget*> m_items;
};

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
        m_tabs->tabBar()->setFont(face(Style::kFontPoints, true));
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
    const QFont font = face(11, false);
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
            p.setFont(face(11, true));
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

bool TableMap::handleKey(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        typeDigit(QLatin1Char(static_cast<char>('0' + (key - Qt::Key_0))));
        return true;
    }
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        m_typed.clear();
        moveCursor(key);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (m_tabs) {
            const int count = m_tabs->count();
            m_tabs->setCurrentIndex((m_tabs->currentIndex() + (key == Qt::Key_PageDown ? 1 : count - 1)) % count);
        }
        return true;
    case Qt::Key_Backspace:
        if (!m_typed.isEmpty()) {
            m_typed.chop(1);
            m_lastDigit.restart();
            const int found = m_typed.isEmpty() ? -1 : findTable(m_typed);
            placeCursor(found);
            if (found < 0 && !m_typed.isEmpty())
                say(QStringLiteral("Digitado: %1 (nenhuma mesa com este número)").arg(m_typed), false);
        }
        return true;
    case Qt::Key_Enter:
    case Qt::Key_Return: {
        const QString typed = m_typed;
        m_typed.clear();
        activate(!typed.isEmpty(), typed);
        return true;
    }
    case Qt::Key_Space:
        m_typed.clear();
        activate(true, {});
        return true;
    default: return false;
    }
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
        m_rooms[static_cast<std::size_t>(room)].scroll->ensureWidgetVisible(button, 0, kMargin);
        describe(index);
    } else {
        say({}, false);
    }
    emit chosenChanged();
}

void TableMap::moveCursor(int key) {
    const Room& room = m_rooms[static_cast<std::size_t>(shownRoom())];
    const std::vector<int>& order = room.tables;
    if (order.empty()) return;
    const auto at = std::find(order.begin(), order.end(), m_cursor);
    if (at == order.end()) return placeCursor(order.front());
    const int count = static_cast<int>(order.size());
    const int columns = room.grid->columns();
    int position = static_cast<int>(at - order.begin());
    switch (key) {
    case Qt::Key_Left: position = std::max(0, position - 1); break;
    case Qt::Key_Right: position = std::min(count - 1, position + 1); break;
    case Qt::Key_Up:
        if (position >= columns) position -= columns;
        break;
    case Qt::Key_Down:
        // Down from the row above a shorter last row lands on its last table.
        if (position / columns < (count - 1) / columns) position = std::min(count - 1, position + columns);
        break;
    case Qt::Key_Home: position = 0; break;
    case Qt::Key_End: position = count - 1; break;
    default: break;
    }
    placeCursor(order[static_cast<std::size_t>(position)]);
}

void TableMap::typeDigit(QChar digit) {
    // A pause starts a new number, as does a number longer than any table's.
    if (m_lastDigit.isValid() && m_lastDigit.elapsed() > kTypingPauseMs) m_typed.clear();
    m_lastDigit.restart();
    m_typed.append(digit);
    if (m_typed.size() > std::max<qsizetype>(1, m_longestNumber)) m_typed = digit;
    const int found = findTable(m_typed);
    if (found >= 0) return placeCursor(found);
    // Enter must not choose a table other than the one typed.
    placeCursor(-1);
    say(QStringLiteral("Digitado: %1 (nenhuma mesa com este número)").arg(m_typed), false);
}

void TableMap::activate(bool onTable, const QString& typed) {
    if (m_request.multiple && !onTable) {
        if (canConfirm())
            emit confirmRequested();
        else
            say(QStringLiteral("Escolha pelo menos %1 mesa(s)").arg(minimum()), true);
        return;
    }
    if (m_cursor < 0) {
        say(typed.isEmpty() ? QStringLiteral("Escolha uma mesa: toque nela ou digite o seu número")
                            : QStringLiteral("Não há mesa com o número %1").arg(typed),
            true);
        return;
    }
    if (m_request.multiple) return toggle(m_cursor);
    const MapTable& table = m_request.tables[static_cast<std::size_t>(m_cursor)];
    if (!table.enabled) {
        say(QStringLiteral("Mesa %1 indisponível: %2").arg(table.mesa.numero, table.reason), true);
        return;
    }
    emit confirmRequested();
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

int TableMap::findTable(const QString& typed) const {
    bool typedNumber = false;
    const qlonglong wanted = typed.toLongLong(&typedNumber);
    for (std::size_t i = 0; i < m_request.tables.size(); ++i) {
        const QString& numero = m_request.tables[i].mesa.numero;
        bool isNumber = false;
        const qlonglong value = numero.toLongLong(&isNumber);
        if (numero == typed || (typedNumber && isNumber && value == wanted)) return static_cast<int>(i);
    }
    return -1;
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
