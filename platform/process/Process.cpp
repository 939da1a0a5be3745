#include "Process.h"

#include <QCoreApplication>
#include <QFileInfo>

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
    return QFileInfo(executablePath()).absolutePath();
}

void setExecutableFolderForTests(const QString& folder) {
    QString cleaned = folder;
    while (cleaned.size() > 1 && cleaned.endsWith('/')) cleaned.chop(1);
    folderOverride() = cleaned;
}

bool FileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString ExtractShortPathName(const QString& path) { return FileExists(path) ? path : QString(); }

}  // namespace Process
