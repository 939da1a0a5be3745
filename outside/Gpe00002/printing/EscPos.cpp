#include "printing/EscPos.h"

#include "core/Refusal.h"
#include "printing/Wrap.h"

#include <QStringEncoder>
#include <QStringList>
#include <algorithm>

namespace Gpe00002::EscPos {

namespace {

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

QByteArray toCp860(const QString& text) {
    // Qt converts to the IBM code pages through ICU. Characters beyond ASCII go one at a time, each
    // through an encoder of its own (an ICU encoder keeps its error once it had one), so that each
    // one the page lacks is known and replaced here, never by ICU's substitute (0x7F, a box glyph).
    if (!QStringEncoder("IBM860").isValid())
        throw ERefusal(QStringLiteral("Esta instalação não converte texto para a página de código 860 da impressora"));
    const auto encode = [](const QString& one) -> QByteArray {
        QStringEncoder encoder("IBM860");
        QByteArray bytes = encoder.encode(one);
        return encoder.hasError() || bytes.size() != 1 ? QByteArray() : bytes;
    };
    QByteArray out;
    for (const char32_t c : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        if (isControl(c)) {
            out += ' ';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const QByteArray one = encode(QString::fromUcs4(&c, 1)); !one.isEmpty()) {
            out += one;
        } else {
            const QString base = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D).left(1);
            const QByteArray fallback =
                base.isEmpty() || isControl(base.front().unicode()) ? QByteArray() : encode(base);
            out += fallback.isEmpty() ? QByteArray("?") : fallback;
        }
    }
    return out;
}

QStringList rows(const PrintLine& line, int width) {
    const qsizetype indent = std::min<qsizetype>(width / 2, leadingSpaces(line.text));
    const qsizetype room = width - indent;
    QStringList result = wrapText(line.text, [room](const QString& row) { return row.size() <= room; });
    for (QString& row : result)
        if (!row.isEmpty()) row.prepend(QString(indent, QLatin1Char(' ')));
    if (line.right.isEmpty()) return result;
    const QString right = line.right.left(width);
    if (result.back().size() + 1 + right.size() <= width)
        result.back() = result.back().leftJustified(width - right.size()) + right;
    else
        result << right.rightJustified(width);
    return result;
}

QByteArray document(const PrintDocument& document) {
    QByteArray out;
    out += "\x1b@";  // initialise: plain, left, the printer's defaults
    out += QByteArray("\x1bt") + kCodePage860;
    for (const PrintLine& line : document.lines) {
        const bool large = line.style == PrintLine::Style::Large;
        const bool bold = large || line.style == PrintLine::Style::Bold;
        const int align = !line.right.isEmpty()                    ? 0
                          : line.align == PrintLine::Align::Center ? 1
                          : line.align == PrintLine::Align::Right  ? 2
                                                                   : 0;
        out += QByteArray(
                   "\x1b"
                   "a") +
               static_cast<char>(align);
        out += QByteArray(
                   "\x1b"
                   "E") +
               static_cast<char>(bold ? 1 : 0);
        out += QByteArray("\x1d!") + static_cast<char>(large ? 0x11 : 0x00);
        const int width = large ? PrintDocument::kColumns / 2 : PrintDocument::kColumns;
        const QStringList lineRows = line.rule ? QStringList{QString(width, QLatin1Char('-'))} : rows(line, width);
        for (const QString& row : lineRows) out += toCp860(row) + '\n';
    }
    out += QByteArray(
        "\x1b"
        "E\x00\x1d!\x00\x1b"
        "a\x00",
        9);
    out += QByteArray("\x1dVB\x00", 4);  // feed to the cutter and cut, leaving a hinge
    return out;
}

}  // namespace Gpe00002::EscPos
