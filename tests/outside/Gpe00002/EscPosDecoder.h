#pragma once
// Reads an ESC/POS stream as a receipt printer would: the code page chosen with ESC t, the rows
// printed with their style and alignment, status requests and the cut. Each row reads
// "SA text": S is N (plain), B (bold) or L (large: double width and height), A is < ^ or >.
#include <QByteArray>
#include <QStringDecoder>
#include <QStringList>
#include <utility>

namespace opstest {

struct Receipt {
    int codePage = -1;  // n of the last ESC t
    QStringList rows;
    int statusRequests = 0;  // DLE EOT n
    bool cutAtEnd = false;   // GS V is the stream's last command but status requests
    QString unknown;         // the first sequence this reader does not know, in hex
};

inline Receipt decodeEscPos(const QByteArray& bytes) {
    Receipt receipt;
    bool bold = false, large = false;
    char align = '<';
    QByteArray text;
    QStringDecoder cp860("IBM860");
    const auto at = [&bytes](qsizetype i) { return i < bytes.size() ? bytes[i] : char(0); };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool cut = std::exchange(receipt.cutAtEnd, false);
        if (c == '\n') {
            receipt.rows << QString(QLatin1Char(large  ? 'L'
                                                : bold ? 'B'
                                                       : 'N')) +
                                QLatin1Char(align) + QLatin1Char(' ') + QString(cp860.decode(text));
            text.clear();
        } else if (c == 0x1b && at(i + 1) == '@') {
            bold = large = false;
            align = '<';
            ++i;
        } else if (c == 0x1b && at(i + 1) == 't') {
            receipt.codePage = at(i + 2);
            i += 2;
        } else if (c == 0x1b && at(i + 1) == 'E') {
            bold = at(i + 2) & 1;
            i += 2;
        } else if (c == 0x1b && at(i + 1) == 'a') {
            align = "<^>"[at(i + 2) % 3];
            i += 2;
        } else if (c == 0x1d && at(i + 1) == '!') {
            large = at(i + 2) == 0x11;
            i += 2;
        } else if (c == 0x1d && at(i + 1) == 'V') {
            i += at(i + 2) >= 65 ? 3 : 2;
            receipt.cutAtEnd = true;
        } else if (c == 0x10 && at(i + 1) == 0x04) {
            ++receipt.statusRequests;
            receipt.cutAtEnd = cut;
            i += 2;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            if (receipt.unknown.isEmpty()) receipt.unknown = QString::fromLatin1(bytes.mid(i, 3).toHex(' '));
        } else {
            text += c;
        }
    }
    return receipt;
}

}  // namespace opstest
