#include "printing/Printer.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "printing/EscPos.h"
#include "printing/PagePrinter.h"
#include "Process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpSocket>

#include <cerrno>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Gpe00002 {

namespace {

QString stationPath(const QString& path) { return QDir(Process::executableFolder()).absoluteFilePath(path); }

[[noreturn]] void fail(const QString& message) {
    qCWarning(lcOps).noquote() << "printing failed:" << message;
    throw ERefusal(message);
}

[[noreturn]] void notPrinted(const PrintTarget& target, const QString& what) {
    fail(QStringLiteral("A impressora %1 %2; nada foi impresso").arg(target.describe(), what));
}

// Once the document has been sent, some of it may be on paper.
[[noreturn]] void notConfirmed(const PrintTarget& target, const QString& what) {
    fail(QStringLiteral("A impressora %1 %2; confira o papel: a impressão não foi registrada")
             .arg(target.describe(), what));
}

QString socketProblem(const QTcpSocket& socket, int waitedMs) {
    switch (socket.error()) {
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral("não respondeu em %1 s").arg(waitedMs / 1000);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("recusou a conexão (desligada, ou nada atende nessa porta)");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("não foi encontrada na rede (endereço desconhecido)");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("encerrou a conexão");
    case QAbstractSocket::NetworkError: return QStringLiteral("não está ao alcance da rede");
    default: return QStringLiteral("falhou na comunicação (%1)").arg(socket.errorString());
    }
}

int remaining(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(1, deadline.remainingTime()));
}

// The answer to a status request: the status byte, or what else came back instead.
struct StatusAnswer {
    std::optional<unsigned char> status;  // a printer's status byte
    QString notAPrinter;                  // why what came back is none
};

// Waits until `deadline` for the answer to a status request; nullopt when none came (the
// socket's error says why). Only a single byte with the status byte's fixed bits is a printer's
// answer: an echo of the request, a service greeting with its banner or a web server is not.
std::optional<StatusAnswer> statusAnswer(QTcpSocket& socket, const QDeadlineTimer& deadline) {
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(remaining(deadline))) return std::nullopt;
    const QByteArray answer = socket.readAll();
    const auto byte = static_cast<unsigned char>(answer.front());
    if (answer.size() == 1 && (byte & EscPos::kStatusFixedMask) == EscPos::kStatusFixedBits)
        return StatusAnswer{byte, {}};
    if (answer.startsWith("HTTP/"))
        return StatusAnswer{std::nullopt, QStringLiteral("respondeu como um servidor web (HTTP), não como impressora")};
    return StatusAnswer{std::nullopt, QStringLiteral("respondeu algo que não é o estado de uma impressora ESC/POS (%1)")
                                          .arg(QString::fromLatin1(answer.left(8).toHex(' ')))};
}

void printTcp(const QByteArray& data, const PrintTarget& target) {
    QTcpSocket socket;
    socket.connectToHost(target.where, static_cast<quint16>(target.port));
    if (!socket.waitForConnected(kPrinterAnswerMs)) notPrinted(target, socketProblem(socket, kPrinterAnswerMs));

    // A printer that takes the connection but does not answer (off line, hung, or a port on
    // which nothing reads) is found out here, before anything is sent.
    socket.write(EscPos::kStatusRequest, sizeof EscPos::kStatusRequest);
    const std::optional<StatusAnswer> before = statusAnswer(socket, QDeadlineTimer(kPrinterAnswerMs));
    if (!before)
        notPrinted(target,
                   socket.error() == QAbstractSocket::SocketTimeoutError
                       ? QStringLiteral("não respondeu ao pedido de estado em %1 s").arg(kPrinterAnswerMs / 1000)
                       : socketProblem(socket, kPrinterAnswerMs));
    if (!before->status) notPrinted(target, before->notAPrinter);
    if (*before->status & EscPos::kOffline)
        notPrinted(target, QStringLiteral("está fora de linha (tampa aberta ou sem papel?)"));

    // The status request after the document is answered only once the printer has taken the
    // document in.
    socket.write(data + QByteArray(EscPos::kStatusRequest, sizeof EscPos::kStatusRequest));
    const QDeadlineTimer deadline(kPrinterSendMs);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining(deadline)))
            notConfirmed(target, deadline.hasExpired()
                                     ? QStringLiteral("não recebeu o documento em %1 s").arg(kPrinterSendMs / 1000)
                                     : socketProblem(socket, kPrinterSendMs));
    const std::optional<StatusAnswer> after = statusAnswer(socket, deadline);
    if (!after)
        notConfirmed(target, socket.error() == QAbstractSocket::SocketTimeoutError
                                 ? QStringLiteral("não confirmou o recebimento em %1 s").arg(kPrinterSendMs / 1000)
                                 : socketProblem(socket, kPrinterSendMs));
    if (!after->status) notConfirmed(target, after->notAPrinter);
    if (*after->status & EscPos::kOffline)
        notConfirmed(target, QStringLiteral("ficou fora de linha durante a impressão (tampa aberta ou sem papel?)"));
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(1000);
}

QString fileProblem(int error) {
    switch (error) {
    case ENOENT: return QStringLiteral("não existe");
    case EACCES:
    case EPERM: return QStringLiteral("não pode ser aberta (sem permissão)");
    case ENXIO:
    case ENODEV: return QStringLiteral("não está conectada");
    case EBUSY: return QStringLiteral("está em uso");
    case EISDIR: return QStringLiteral("é uma pasta, não um arquivo nem um dispositivo");
    default: return QStringLiteral("falhou (%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

// Appends to a file or a device without ever blocking past the time limit: a device that stops
// taking bytes (a printer switched off) ends in a message instead of a frozen terminal.
void printFile(const QByteArray& data, const PrintTarget& target) {
    const int fd = ::open(QFile::encodeName(target.where).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) notPrinted(target, fileProblem(errno));
    QDeadlineTimer deadline(kPrinterSendMs);
    qsizetype sent = 0;
    int error = 0;
    while (sent < data.size() && error == 0) {
        const ssize_t n = ::write(fd, data.constData() + sent, static_cast<size_t>(data.size() - sent));
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            error = errno;
        } else {
            pollfd ready{fd, POLLOUT, 0};
            if (::poll(&ready, 1, static_cast<int>(deadline.remainingTime())) == 0) error = ETIMEDOUT;
        }
    }
    ::close(fd);
    if (error == ETIMEDOUT)
        notPrinted(target, QStringLiteral("não recebeu o documento em %1 s").arg(kPrinterSendMs / 1000));
    if (error) notPrinted(target, fileProblem(error));
}

}  // namespace

PrintTarget PrintTarget::fromSetting(const QString& setting) {
    PrintTarget target;
    const QString text = setting.trimmed();
    const QString defaultFolder = stationPath(QStringLiteral("impressos"));
    if (text.isEmpty()) {
        target.where = defaultFolder;
        return target;
    }
    const auto unknown = [&text] {
        return ERefusal(
            QStringLiteral("Impressora \"%1\" não reconhecida (use tcp:, file:, printer: ou pdf:)").arg(text));
    };
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) throw unknown();
    const QString scheme = text.left(colon).toLower();
    const QString rest = text.mid(colon + 1).trimmed();
    if (scheme == QLatin1String("pdf")) {
        target.where = rest.isEmpty() ? defaultFolder : stationPath(rest);
    } else if (scheme == QLatin1String("tcp")) {
        target.kind = Kind::Tcp;
        // HOST, HOST:PORT, or [IPv6]:PORT.
        QString host = rest, port;
        if (rest.startsWith(QLatin1Char('['))) {
            const qsizetype close = rest.indexOf(QLatin1Char(']'));
            if (close < 0) throw unknown();
            host = rest.mid(1, close - 1);
            if (rest.size() > close + 1) {
                if (rest[close + 1] != QLatin1Char(':')) throw unknown();
                port = rest.mid(close + 2);
            }
        } else if (rest.count(QLatin1Char(':')) == 1) {
            host = rest.section(QLatin1Char(':'), 0, 0);
            port = rest.section(QLatin1Char(':'), 1);
        }
        bool ok = true;
        if (!port.isNull()) target.port = port.toInt(&ok);
        if (host.isEmpty() || !ok || target.port < 1 || target.port > 65535)
            throw ERefusal(QStringLiteral("Impressora \"%1\": informe tcp:ENDEREÇO ou tcp:ENDEREÇO:PORTA (porta de 1 a "
                                          "65535)")
                               .arg(text));
        target.where = host;
    } else if (scheme == QLatin1String("file") && !rest.isEmpty()) {
        target.kind = Kind::File;
        target.where = stationPath(rest);
    } else if (scheme == QLatin1String("printer") && !rest.isEmpty()) {
        target.kind = Kind::Printer;
        target.where = rest;
    } else {
        throw unknown();
    }
    return target;
}

QString printedAt(const PrintTarget& target, const QString& answer) {
    return target.kind == PrintTarget::Kind::Pdf ? QStringLiteral("pdf:") + answer : answer;
}

QString PrintTarget::describe() const {
    switch (kind) {
    case Kind::Tcp:
        return QStringLiteral("tcp:%1:%2")
            .arg(where.contains(QLatin1Char(':')) ? QLatin1Char('[') + where + QLatin1Char(']') : where)
            .arg(port);
    case Kind::File: return QStringLiteral("file:") + where;
    case Kind::Printer: return QStringLiteral("printer:") + where;
    case Kind::Pdf: break;
    }
    return QStringLiteral("pdf:") + where;
}

QString printDocument(const PrintDocument& document, const PrintTarget& target) {
    switch (target.kind) {
    case PrintTarget::Kind::Tcp: printTcp(EscPos::document(document), target); break;
    case PrintTarget::Kind::File: printFile(EscPos::document(document), target); break;
    case PrintTarget::Kind::Printer: PagePrinter::printOnSystemPrinter(document, target.where); break;
    case PrintTarget::Kind::Pdf: return PagePrinter::printPdf(document, target.where);
    }
    return target.describe();
}

}  // namespace Gpe00002
