#include "Process.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace {
QString& folderOverride() {
    static QString folder;
    return folder;
}
}  // namespace

namespace Process {

QString executablePath() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString executableFolder() {
    if (!folderOverride().isEmpty()) return folderOverride();
    // An installed terminal keeps its station apart from its programs (see setStationFolder).
    const QString station = qEnvironmentVariable("RES00011_STATION");
    if (!station.isEmpty()) return QFileInfo(station).absoluteFilePath();
    return QFileInfo(executablePath()).absolutePath();
}

void setStationFolder(const QString& folder) { setExecutableFolderForTests(folder); }

void setExecutableFolderForTests(const QString& folder) {
    QString cleaned = folder;
    while (cleaned.size() > 1 && cleaned.endsWith('/')) cleaned.chop(1);
    folderOverride() = cleaned;
}

bool FileExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0) return true;
    // A folder on the way that cannot be searched is not a missing file: loading says why.
    return errno != ENOENT && errno != ENOTDIR;
}

QString ExtractShortPathName(const QString& path) { return FileExists(path) ? path : QString(); }

}  // namespace Process
