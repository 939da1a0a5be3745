#pragma once
// Wrapping a line's text into rows, the same for the receipt's columns and the page's width.

#include <QString>
#include <QStringList>
#include <functional>

namespace Gpe00002 {

// The leading spaces of `text`, which indent every row of it.
inline qsizetype leadingSpaces(const QString& text) {
    qsizetype n = 0;
    while (n < text.size() && text[n] == u' ') ++n;
    return n;
}

// Rows of `text` (less its leading spaces) that fit: a line break starts a row, a row ends at
// the last space that lets it fit (spaces inside a row are kept, so columns padded with spaces
// stay aligned), and a word that fits no row is cut. Other control characters become spaces.
inline QStringList wrapText(const QString& text, const std::function<bool(const QString&)>& fits) {
    QString clean = text.mid(leadingSpaces(text));
    clean.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& c : clean)
        if (c != u'\n' && (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))) c = u' ';
    QStringList rows;
    for (QString rest : clean.split(QLatin1Char('\n'))) {
        rest = rest.trimmed();
        if (rest.isEmpty()) rows << QString();
        while (!rest.isEmpty()) {
            if (fits(rest)) {
                rows << rest;
                break;
            }
            qsizetype cut = 0;
            for (qsizetype space = rest.indexOf(u' '); space > 0 && fits(rest.left(space).trimmed());
                 space = rest.indexOf(u' ', space + 1))
                cut = space;
            if (cut == 0)
                while (cut + 1 < rest.size() && fits(rest.left(cut + 1))) ++cut;
            cut = std::max<qsizetype>(cut, 1);
            rows << rest.left(cut).trimmed();
            rest = rest.mid(cut).trimmed();
        }
    }
    return rows;
}

}  // namespace Gpe00002
