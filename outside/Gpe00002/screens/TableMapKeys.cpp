// The table map's keys: the cursor over a room's tiles (arrows, Home, End), the rooms (PageUp,
// PageDown), a table's number typed to find it (a pause starts a new one; Backspace erases a
// digit), Enter and Space.
#include "screens/TableMap.h"

#include "screens/TableGrid.h"

#include <QKeyEvent>
#include <algorithm>

namespace Gpe00002 {

namespace {

constexpr int kTypingPauseMs = 2000;

}  // namespace

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

}  // namespace Gpe00002
