#include "store/FloorWatch.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "DbNotifier.h"
#include "store/PackageDatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <stdexcept>

namespace Gpe00002 {

QString floorChannel(const QString& filial, const QString& loja) {
    const auto part = [](const QString& text) {
        QString kept;
        for (const QChar c : text.trimmed().toLower())
            if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) kept += c;
        return kept;
    };
    return QStringLiteral("res00011_mesas_%1_%2").arg(part(filial), part(loja));
}

bool floorPayloadIsOurs(const QString& payload) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return false;
    const QJsonObject object = document.object();
    const QJsonValue jornal = object.value(QLatin1String("jornal"));
    const QJsonValue mesas = object.value(QLatin1String("mesas"));
    if (!object.value(QLatin1String("operacao")).isString() || !mesas.isArray()) return false;
    if (!jornal.isNull() && !jornal.isDouble() && !jornal.isString()) return false;
    const QJsonArray numbers = mesas.toArray();
    return std::all_of(numbers.begin(), numbers.end(), [](const QJsonValue& numero) { return numero.isString(); });
}

bool installLiveFloor(PackageDatabase& db) {
    if (!db.postgres()) return false;
    QFile file(QStringLiteral(":/gpe00002/live-floor.sql"));
    if (!file.open(QIODevice::ReadOnly)) throw std::logic_error("the live floor's script is missing from the build");
    try {
        db.connection().Execute(QString::fromUtf8(file.readAll()));
    } catch (const EDatabaseError& e) {
        // The script stopped inside its transaction: end it, so that the connection is usable.
        try {
            db.connection().Execute(QStringLiteral("ROLLBACK"));
        } catch (const EDatabaseError&) {}
        qCWarning(lcOps).noquote() << "cannot install the live floor:" << e.what();
        throw ERefusal(
            QStringLiteral("Não foi possível instalar o piso ao vivo; nada foi alterado. (%1)").arg(e.message()));
    }
    qCInfo(lcOps) << "installed the live floor's triggers";
    return true;
}

qint64 monotonicMs() {
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

FloorWatch::FloorWatch(QObject* parent) : QObject(parent) {
    m_coalesce.setSingleShot(true);
    m_coalesce.setTimerType(Qt::PreciseTimer);
    connect(&m_coalesce, &QTimer::timeout, this, &FloorWatch::fire);
}

FloorWatch::FloorWatch(const QString& connectionString, const QString& filial, const QString& loja, QObject* parent)
    : FloorWatch(parent) {
    m_channel = floorChannel(filial, loja);
    m_notifier = new DbNotifier(connectionString, {m_channel}, this);
    connect(m_notifier, &DbNotifier::notified, this,
            [this](const QString& channel, const QString& payload, int) { take(channel, payload); });
    // What was sent while nobody listened is lost: read everything again.
    connect(m_notifier, &DbNotifier::caughtUp, this, &FloorWatch::poke);
}

FloorWatch::~FloorWatch() {
    if (m_notifier) m_notifier->stop();
}

void FloorWatch::start() {
    if (m_notifier) m_notifier->start();
}

bool FloorWatch::isListening() const { return m_notifier && m_notifier->isListening(); }

void FloorWatch::setPollInterval(int milliseconds) {
    if (m_notifier) m_notifier->setPollInterval(milliseconds);
}

void FloorWatch::take(const QString& channel, const QString& payload) {
    // SQLite's change has neither channel nor payload.
    const bool anyChange = channel.isEmpty() && payload.isEmpty();
    if (!anyChange && ((!m_channel.isEmpty() && channel != m_channel) || !floorPayloadIsOurs(payload))) {
        // Another program flooding the channel must not flood the log as well: one line a second.
        ++m_ignored;
        if (m_lastIgnoredLog.isValid() && m_lastIgnoredLog.elapsed() < 1000) return;
        qCWarning(lcOps).noquote() << "ignored" << m_ignored << "notification(s) on" << channel
                                   << "that are not the package's, the last:" << payload.left(200);
        m_ignored = 0;
        m_lastIgnoredLog.start();
        return;
    }
    poke();
}

void FloorWatch::poke() {
    if (m_pending) return;
    m_pending = true;
    m_heardAt = monotonicMs();
    // The first change of a quiet spell shows at once; the ones that follow wait for the window's end.
    const qint64 since = m_lastFired.isValid() ? m_lastFired.elapsed() : kCoalesceMs;
    m_coalesce.start(static_cast<int>(std::max<qint64>(0, kCoalesceMs - since)));
}

void FloorWatch::fire() {
    m_pending = false;
    m_lastFired.start();
    emit changed();
}

}  // namespace Gpe00002
