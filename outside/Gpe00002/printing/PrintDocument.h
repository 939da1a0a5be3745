#pragma once
// What the package prints (a reprinted order, a report), independent of where it goes: lines of
// text for a receipt printer's narrow paper, each plain, bold or large, left, centred or right.

#include "Gpe00002.h"

#include <QString>
#include <vector>

namespace Gpe00002 {

struct PrintLine {
    enum class Style { Normal, Bold, Large };
    enum class Align { Left, Center, Right };
    QString text;
    Style style = Style::Normal;
    Align align = Align::Left;
};

struct GPE00002_EXPORT PrintDocument {
    static constexpr int kColumns = 48;  // characters of a line on 80 mm paper

    QString title;  // names the document (a PDF's title and file name)
    std::vector<PrintLine> lines;

    void add(const QString& text, PrintLine::Style style = PrintLine::Style::Normal,
             PrintLine::Align align = PrintLine::Align::Left) {
        lines.push_back({text, style, align});
    }
    void rule() { add(QString(kColumns, QLatin1Char('-'))); }
    // `left` and `right` on one line of kColumns characters, `left` cut where they would meet.
    static QString columns(const QString& left, const QString& right);
};

}  // namespace Gpe00002
