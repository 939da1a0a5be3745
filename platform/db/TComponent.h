#pragma once
// Base of the named, non-visual components of the database layer, and the event type they fire.

#include <QString>
#include <functional>

class TComponent {
public:
    explicit TComponent(QString name = {}) : m_name(std::move(name)) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const QString& Name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

private:
    QString m_name;
};

// An event handler; Sender is the component that fires it.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
