#include "TClientDataSet.h"

#include "DataPacket.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TClientDataSet::TClientDataSet(QString name) : TDataSet(std::move(name)) {}

void TClientDataSet::setData(const QByteArray& packet) {
    TPacketTable table = decodePacket(packet);
    setContent(table.fields, std::move(table.rows));
}

namespace {

// What is at a path instead of a file.
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a directory");
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

}  // namespace

void TClientDataSet::LoadFromFile(const QString& fileName) {
    // Opened without waiting, so that a FIFO or a device in the file's place is refused at once
    // instead of blocking the screen until somebody writes to it.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("Cannot open file '%1': %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const QString what = kindOf(status.st_mode);
        ::close(fd);
        fail(QStringLiteral("Cannot open file '%1': it is %2").arg(fileName, what));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(QStringLiteral("Cannot open file '%1': %2").arg(fileName, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
    try {
        setData(bytes);
    } catch (const EPacketError& e) {
        fail(QStringLiteral("File '%1' is not a valid data packet: %2").arg(fileName, e.message()));
    }
}

void TClientDataSet::SaveToFile(const QString& fileName) const {
    if (const QString problem = savePacketFile(fileName, toPacket()); !problem.isEmpty())
        fail(QStringLiteral("Cannot write file '%1': %2").arg(fileName, problem));
}

void TClientDataSet::CreateDataSet() {
    if (!hasPersistentFields() && m_fieldDefs.empty()) fail(QStringLiteral("Cannot create a dataset without fields"));
    createEmpty(m_fieldDefs);
}

void TClientDataSet::doOpen() { fail(QStringLiteral("Missing data packet: load data or create the dataset first")); }
