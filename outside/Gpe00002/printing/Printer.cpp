#include "Printer.h"

#include "../operations/Refusal.h"
#include "Process.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace Gpe00002 {

QString PrintDocument::columns(const QString& left, const QString& right) {
    const int room = std::max(0, kColumns - static_cast<int>(right.size()) - 1);
    return left.left(room).leftJustified(room) + QLatin1Char(' ') + right;
}

PrintTarget PrintTarget::fromSetting(const QString& setting) {
    PrintTarget target;
    const QString text = setting.trimmed();
    if (text.isEmpty()) {
        target.where = Process::executableFolder() + QStringLiteral("/impressos");
        return target;
    }
    throw ERefusal(QStringLiteral("Impressora \"%1\" não reconhecida (use tcp:, file:, printer: ou pdf:)").arg(text));
}

QString PrintTarget::describe() const { return QStringLiteral("pdf:") + where; }

QString printDocument(const PrintDocument& document, const PrintTarget& target) {
    // Plain text until the printers are built.
    QDir().mkpath(target.where);
    const QString path = QStringLiteral("%1/%2-%3.txt")
                             .arg(target.where, document.title,
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw ERefusal(QStringLiteral("Não foi possível imprimir em %1").arg(path));
    for (const PrintLine& line : document.lines) file.write(line.text.toUtf8() + '\n');
    return path;
}

}  // namespace Gpe00002
