#pragma once
// What the package prints (a reprinted order, a report), independent of where it goes: lines of
// text for a receipt printer's narrow paper, each plain, bold or large, left, centred or right,
// optionally with a second text set flush right on the same line (an amount). A receipt printer
// wraps a long line at its columns; a page (PDF, a system printer) at its width. Leading spaces
// indent every row of a wrapped line.

#include "core/Export.h"

#include <QString>
#include <algorithm>
#include <vector>

namespace Gpe00002 {

struct PrintLine {
    enum class Style { Normal, Bold, Large };
    enum class Align { Left, Center, Right };
    QString text;
    Style style = Style::Normal;
    Align align = Align::Left;
    QString right;      // set flush right on the line's last row (the line is then left-aligned)
    bool rule = false;  // a separator: dashes on a receipt, a thin line on a page
};

struct GPE00002_EXPORT PrintDocument {
    static constexpr int kColumns = 48;  // characters of a line on 80 mm paper

    QString title;  // names the document (a PDF's title and file name)
    std::vector<PrintLine> lines;
    // Laid out in columns of spaces, as a receipt printer prints: a page then prints it in a
    // fixed-pitch font, kColumns characters to a line, so that the columns stay aligned.
    bool fixedPitch = false;

    void add(const QString& text, PrintLine::Style style = PrintLine::Style::Normal,
             PrintLine::Align align = PrintLine::Align::Left) {
        lines.push_back({text, style, align, {}, false});
    }
    // `left` and, flush right on the same line, `right`.
    void addColumns(const QString& left, const QString& right, PrintLine::Style style = PrintLine::Style::Normal) {
        lines.push_back({left, style, PrintLine::Align::Left, right, false});
    }
    void rule() { lines.push_back({QString(kColumns, QLatin1Char('-')), PrintLine::Style::Normal, {}, {}, true}); }
    // `left` and `right` on one line of `width` characters, `left` cut where they would meet.
    static QString columns(const QString& left, const QString& right, int width = kColumns) {
        const int room = std::max(0, width - static_cast<int>(right.size()) - 1);
        return left.left(room).leftJustified(room) + QLatin1Char(' ') + right;
    }
};

}  // namespace Gpe00002
