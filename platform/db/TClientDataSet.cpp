#include "TClientDataSet.h"

#include "DataPacket.h"

#include <QFile>
#include <QSaveFile>

TClientDataSet::TClientDataSet(QString name) : TDataSet(std::move(name)) {}

void TClientDataSet::setData(const QByteArray& packet) {
    TPacketTable table = decodePacket(packet);
    setContent(table.fields, std::move(table.rows));
}

void TClientDataSet::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open file '%1': %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    try {
        setData(bytes);
    } catch (const EPacketError& e) {
        fail(QStringLiteral("File '%1' is not a valid data packet: %2").arg(fileName, e.message()));
    }
}

void TClientDataSet::SaveToFile(const QString& fileName) const {
    const QByteArray bytes = toPacket();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail(QStringLiteral("Cannot write file '%1': %2").arg(fileName, file.errorString()));
}

void TClientDataSet::CreateDataSet() {
    if (!hasPersistentFields() && m_fieldDefs.empty())
        fail(QStringLiteral("Cannot create a dataset without fields"));
    createEmpty(m_fieldDefs);
}

void TClientDataSet::doOpen() { fail(QStringLiteral("Missing data packet: load data or create the dataset first")); }
