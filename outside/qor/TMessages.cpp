#include "TMessages.h"

#include <stdexcept>

TMessages::TMessages(QObject* parent) : QObject(parent) {}

QString TMessages::Msg(const QString& key) const {
    for (const QString& line : m_messages) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        // A line without '|' holds no text; the text keeps its trailing blanks ("Cliente:  ").
        if (bar >= 0 && QStringView(line).left(bar) == key) return line.mid(bar + 1);
    }
    throw std::out_of_range("TMessages: mensagem '" + key.toStdString() + "' não encontrada");
}
