#pragma once
// Message table: lines "key|text"; Msg gives the text of a key.

#include "QorExport.h"

#include <QObject>
#include <QStringList>

class QOR_EXPORT TMessages : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Messages READ Messages WRITE setMessages)
public:
    explicit TMessages(QObject* parent = nullptr);
    const QStringList& Messages() const { return m_messages; }
    void setMessages(const QStringList& lines) { m_messages = lines; }
    // The text after the first '|' of the first line whose key is `key` (exact); throws
    // std::out_of_range naming the key when there is none.
    QString Msg(const QString& key) const;

private:
    QStringList m_messages;
};
