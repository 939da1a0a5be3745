// Printing: the station's setting, the ESC/POS stream a receipt printer on a loopback port
// receives, printers that do not answer, and PDF files read back with pdftotext.
#include "EscPosDecoder.h"

#include "Process.h"
#include "core/Refusal.h"
#include "printing/EscPos.h"
#include "printing/Printer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Gpe00002::PrintDocument;
using Gpe00002::PrintLine;
using Gpe00002::PrintTarget;

// A receipt printer on a loopback port. It answers every status request with `status` and keeps
// what it receives until the other side closes; a silent one takes connections (the system does)
// but never reads.
class FakePrinter {
public:
    explicit FakePrinter(bool answers = true, unsigned char status = 0x12) : m_status(status) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_listener, 4);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        if (answers) m_thread = std::thread([this] { serve(); });
    }
    ~FakePrinter() {
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    QByteArray received() {
        if (m_thread.joinable()) m_thread.join();
        return m_received;
    }

private:
    void serve() {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 10000) != 1) return;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        int answered = 0;
        for (;;) {
            pollfd readable{fd, POLLIN, 0};
            char buffer[4096];
            if (::poll(&readable, 1, 10000) != 1) break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            m_received.append(buffer, n);
            for (int asked = static_cast<int>(m_received.count(QByteArray("\x10\x04\x01", 3))); answered < asked;
                 ++answered)
                if (::write(fd, &m_status, 1) != 1) break;
        }
        ::close(fd);
    }

    unsigned char m_status;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    QByteArray m_received;
};

PrintDocument sample() {
    PrintDocument doc;
    doc.title = QStringLiteral("Reimpressão mesa 0012");
    doc.add(QStringLiteral("REIMPRESSÃO"), PrintLine::Style::Large, PrintLine::Align::Center);
    doc.add(QStringLiteral("Mesa 0012"), PrintLine::Style::Bold);
    doc.addColumns(QStringLiteral("2 x Água mineral"), QStringLiteral("11,00"));
    doc.add(QStringLiteral("   obs.: sem gelo\x1bp, limão à parte"));
    doc.rule();
    doc.add(QStringLiteral("Não é documento fiscal"), PrintLine::Style::Normal, PrintLine::Align::Right);
    return doc;
}

QString refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const Gpe00002::ERefusal& e) {
        return e.message();
    }
    return QStringLiteral("(no refusal)");
}

TEST(Printer, TheSettingNamesWhereTheStationPrints) {
    QTemporaryDir station;
    Process::setExecutableFolderForTests(station.path());
    const QString here = station.path();
    const std::pair<const char*, QString> cases[] = {
        {"", "pdf:" + here + "/impressos"},
        {"pdf:impressos", "pdf:" + here + "/impressos"},
        {" PDF:/srv/slips ", "pdf:/srv/slips"},
        {"tcp:10.0.0.9", "tcp:10.0.0.9:9100"},
        {"tcp:cozinha.local:9101", "tcp:cozinha.local:9101"},
        {"tcp:[fe80::1]:9100", "tcp:[fe80::1]:9100"},
        {"file:/dev/usb/lp0", "file:/dev/usb/lp0"},
        {"file:saida.bin", "file:" + here + "/saida.bin"},
        {"printer:Caixa 1", "printer:Caixa 1"},
        {"tcp:", "Impressora \"tcp:\": informe tcp:ENDEREÇO ou tcp:ENDEREÇO:PORTA (porta de 1 a 65535)"},
        {"tcp:10.0.0.9:70000",
         "Impressora \"tcp:10.0.0.9:70000\": informe tcp:ENDEREÇO ou tcp:ENDEREÇO:PORTA (porta de 1 a 65535)"},
        {"LPT1", "Impressora \"LPT1\" não reconhecida (use tcp:, file:, printer: ou pdf:)"},
        {"printer:", "Impressora \"printer:\" não reconhecida (use tcp:, file:, printer: ou pdf:)"},
    };
    for (const auto& [setting, expected] : cases) {
        SCOPED_TRACE(setting);
        QString answer;
        try {
            answer = PrintTarget::fromSetting(QString::fromUtf8(setting)).describe();
        } catch (const Gpe00002::ERefusal& e) {
            answer = e.message();
        }
        EXPECT_EQ(answer, expected);
    }
    Process::setExecutableFolderForTests({});
}

TEST(Printer, TextGoesOutInCodePage860WithoutControlCharacters) {
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("ãçÉõÂ"), "\x84\x87\x90\x94\x8f"},
        {QStringLiteral("e\u0301"), "\x82"},  // decomposed é
        {QStringLiteral("ë€😀"), "e??"},       // not on the page
        {QStringLiteral("a\x1b"
                        "p\x10\x04\x01"
                        "b"),
         "a p   b"},  // no command gets through
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(Gpe00002::EscPos::toCp860(text).toHex(' '), bytes.toHex(' '));
}

TEST(Printer, RowsWrapAtTheColumnsAndSetTheAmountFlushRight) {
    struct Case {
        PrintLine line;
        int width;
        QStringList rows;
    };
    const Case cases[] = {
        {{QStringLiteral("um dois tres"), {}, {}, {}, false}, 7, {"um dois", "tres"}},
        {{QStringLiteral("  obs.: um dois"), {}, {}, {}, false}, 10, {"  obs.: um", "  dois"}},
        {{QStringLiteral("abcdefghij"), {}, {}, {}, false}, 4, {"abcd", "efgh", "ij"}},
        {{QStringLiteral("  a\r\nb  c\tZ\n\nd"), {}, {}, {}, false}, 10, {"  a", "  b  c Z", "", "  d"}},
        {{QStringLiteral("Água"), {}, {}, QStringLiteral("9,90"), false}, 12, {"Água    9,90"}},
        {{QStringLiteral("Água mineral"), {}, {}, QStringLiteral("11,00"), false},
         14,
         {"Água mineral", "         11,00"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Gpe00002::EscPos::rows(c.line, c.width), c.rows) << c.line.text.toStdString();
}

TEST(Printer, AReceiptPrinterGetsStylesAccentsAndTheCut) {
    FakePrinter printer;
    const PrintTarget target{PrintTarget::Kind::Tcp, QStringLiteral("127.0.0.1"), printer.port()};
    EXPECT_EQ(Gpe00002::printDocument(sample(), target), QStringLiteral("tcp:127.0.0.1:%1").arg(printer.port()));
    const opstest::Receipt receipt = opstest::decodeEscPos(printer.received());
    EXPECT_EQ(receipt.codePage, 3);
    EXPECT_EQ(receipt.unknown, QString());
    EXPECT_EQ(receipt.statusRequests, 2);  // before and after the document
    EXPECT_TRUE(receipt.cutAtEnd);
    EXPECT_EQ(receipt.rows, (QStringList{"L^ REIMPRESSÃO", "B< Mesa 0012",
                                         "N< " + QStringLiteral("2 x Água mineral").leftJustified(43) + "11,00",
                                         "N<    obs.: sem gelo p, limão à parte", "N< " + QString(48, QLatin1Char('-')),
                                         "N> Não é documento fiscal"}));
}

TEST(Printer, APrinterThatDoesNotAnswerIsToldWithinSecondsAndNothingIsPrinted) {
    QTemporaryDir dir;
    FakePrinter silent(false), offline(true, 0x1a);
    int unused = 0;
    {
        FakePrinter closed(false);
        unused = closed.port();  // nobody listens there once it is gone
    }
    ::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600);
    struct Case {
        PrintTarget target;
        QString message;
    };
    const auto tcp = [](int port) { return PrintTarget{PrintTarget::Kind::Tcp, QStringLiteral("127.0.0.1"), port}; };
    const auto file = [&dir](const char* name) {
        return PrintTarget{PrintTarget::Kind::File, dir.filePath(QLatin1String(name)), 0};
    };
    const Case cases[] = {
        {tcp(silent.port()),
         "A impressora tcp:127.0.0.1:{port} não respondeu ao pedido de estado em 3 s; nada foi impresso"},
        {tcp(unused),
         "A impressora tcp:127.0.0.1:{port} recusou a conexão (desligada, ou nada atende nessa porta); nada foi "
         "impresso"},
        {tcp(offline.port()),
         "A impressora tcp:127.0.0.1:{port} está fora de linha (tampa aberta ou sem papel?); nada foi impresso"},
        {file("fifo"), "A impressora file:{dir}/fifo não está conectada; nada foi impresso"},
        {file("nada/lp0"), "A impressora file:{dir}/nada/lp0 não existe; nada foi impresso"},
    };
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(refusal([&] { Gpe00002::printDocument(sample(), c.target); }),
                  QString(c.message)
                      .replace(QStringLiteral("{port}"), QString::number(c.target.port))
                      .replace(QStringLiteral("{dir}"), dir.path()));
        EXPECT_LT(timer.elapsed(), 5000);
    }
    EXPECT_EQ(offline.received(), QByteArray("\x10\x04\x01", 3));  // asked, and sent nothing
}

// The text of a PDF as pdftotext lays it out, its lines without the empty ones.
QStringList pdfLines(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(pdftotext.waitForFinished(20000)) << "pdftotext (poppler-utils) is needed";
    QStringList lines;
    for (const QString& line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty()) lines << line;
    return lines;
}

TEST(Printer, APdfIsWrittenWholeAndItsTextReadsBack) {
    QTemporaryDir dir;
    const PrintTarget target{PrintTarget::Kind::Pdf, dir.filePath(QStringLiteral("impressos")), 0};
    const QString first = Gpe00002::printDocument(sample(), target);
    const QString second = Gpe00002::printDocument(sample(), target);
    EXPECT_TRUE(QFileInfo(first).fileName().startsWith(QStringLiteral("reimpressao-mesa-0012-")));
    EXPECT_NE(first, second);
    EXPECT_EQ(QDir(target.where).entryList(QDir::Files).size(), 2);  // no temporary file left

    QStringList lines;
    for (const QString& line : pdfLines(first)) lines << line.simplified();
    EXPECT_EQ(lines, (QStringList{"REIMPRESSÃO", "Mesa 0012", "2 x Água mineral 11,00",
                                  "obs.: sem gelo p, limão à parte", "Não é documento fiscal"}));
}

TEST(Printer, AFixedPitchDocumentKeepsItsColumnsOfSpacesOnAPdf) {
    QTemporaryDir dir;
    PrintDocument document;
    document.fixedPitch = true;
    for (const auto& [left, right] : {std::pair{"Garçom", "Itens         Valor"},
                                      std::pair{"0001 Ana", "6        151,00"}, std::pair{"Total", "17      1.165,00"}})
        document.add(PrintDocument::columns(QString::fromUtf8(left), QString::fromUtf8(right)));
    const QStringList lines =
        pdfLines(Gpe00002::printDocument(document, {PrintTarget::Kind::Pdf, dir.filePath(QStringLiteral("p")), 0}));
    // pdftotext spaces the words by where they stand: counts and amounts end under their headings.
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression count(QStringLiteral("(\\S+)\\s+\\S+$"));
    for (const QString& line : lines) {
        EXPECT_EQ(line.trimmed().size(), lines[0].trimmed().size()) << line.toStdString();
        EXPECT_EQ(count.match(line).capturedEnd(1), count.match(lines[0]).capturedEnd(1)) << line.toStdString();
    }
}

}  // namespace
