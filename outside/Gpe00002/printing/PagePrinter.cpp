#include "printing/PagePrinter.h"

#include "core/Refusal.h"
#include "printing/Wrap.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <algorithm>
#include <functional>

namespace Gpe00002::PagePrinter {

namespace {

constexpr qreal kPaperMm = 80;  // the receipt's width, so that the PDF looks like the slip
constexpr qreal kMarginMm = 5;
constexpr qreal kMaxPageMm = 400;
const QString kFamily = QStringLiteral("Liberation Sans");
const QString kFixedPitchFamily = QStringLiteral("Liberation Mono");

// A row on the page: text placed by its alignment, with an amount flush right, or a rule.
struct Row {
    QString text, right;
    int font = 0;  // index into Layout::fonts
    PrintLine::Align align = PrintLine::Align::Left;
    bool rule = false;
    qreal height = 0;
    qreal indent = 0;
};

struct Layout {
    QFont fonts[3];
    std::vector<Row> rows;
    qreal height = 0;
};

int fontIndex(PrintLine::Style style) {
    return style == PrintLine::Style::Large ? 2 : style == PrintLine::Style::Bold ? 1 : 0;
}

Layout layOut(const PrintDocument& document, QPaintDevice* device, qreal width) {
    Layout layout;
    qreal sizes[] = {8.5, 8.5, 13};
    if (document.fixedPitch) {
        // As small as it takes for a line of kColumns characters to fit the width.
        QFont probe(kFixedPitchFamily);
        probe.setPointSizeF(sizes[0]);
        const qreal line =
            QFontMetricsF(probe, device).horizontalAdvance(QString(PrintDocument::kColumns, QLatin1Char('M')));
        const qreal scale = std::min<qreal>(1, width / line);
        for (qreal& size : sizes) size *= scale;
    }
    for (int i = 0; i < 3; ++i) {
        layout.fonts[i] = QFont(document.fixedPitch ? kFixedPitchFamily : kFamily);
        layout.fonts[i].setPointSizeF(sizes[i]);
        layout.fonts[i].setBold(i > 0);
    }
    for (const PrintLine& line : document.lines) {
        const int font = fontIndex(line.style);
        const QFontMetricsF metrics(layout.fonts[font], device);
        const qreal lineHeight = metrics.lineSpacing();
        if (line.rule) {
            layout.rows.push_back({{}, {}, font, line.align, true, lineHeight * 0.6, 0});
            continue;
        }
        const qreal gap = metrics.horizontalAdvance(QStringLiteral("  "));
        const qreal rightWidth = line.right.isEmpty() ? 0 : metrics.horizontalAdvance(line.right) + gap;
        const qreal indent =
            std::min(width / 2, metrics.horizontalAdvance(QString(leadingSpaces(line.text), QLatin1Char(' '))));
        const QStringList rows =
            wrapText(line.text, [&](const QString& row) { return metrics.horizontalAdvance(row) <= width - indent; });
        for (const QString& text : rows)
            layout.rows.push_back({text, {}, font, line.align, false, lineHeight, text.isEmpty() ? 0 : indent});
        if (!line.right.isEmpty()) {
            if (indent + metrics.horizontalAdvance(rows.back()) + rightWidth > width)
                layout.rows.push_back({{}, line.right, font, line.align, false, lineHeight, 0});
            else
                layout.rows.back().right = line.right;
        }
    }
    for (const Row& row : layout.rows) layout.height += row.height;
    return layout;
}

// Paints the rows top to bottom, turning the page (`newPage`) when the next row does not fit.
void paint(QPainter& painter, const Layout& layout, qreal width, qreal pageHeight, const std::function<void()>& newPage,
           qreal ruleWidth) {
    qreal y = 0;
    for (const Row& row : layout.rows) {
        if (y > 0 && y + row.height > pageHeight + 0.5) {
            newPage();
            y = 0;
        }
        if (row.rule) {
            painter.setPen(QPen(Qt::black, ruleWidth));
            painter.drawLine(QPointF(0, y + row.height / 2), QPointF(width, y + row.height / 2));
        } else {
            painter.setFont(layout.fonts[row.font]);
            painter.setPen(Qt::black);
            const QFontMetricsF metrics(layout.fonts[row.font], painter.device());
            const qreal baseline = y + metrics.ascent() + (row.height - metrics.height()) / 2;
            const qreal textWidth = metrics.horizontalAdvance(row.text);
            const qreal x = row.align == PrintLine::Align::Center  ? (width - textWidth) / 2
                            : row.align == PrintLine::Align::Right ? width - textWidth
                                                                   : row.indent;
            if (!row.text.isEmpty())
                painter.drawText(QPointF(row.right.isEmpty() ? x : row.indent, baseline), row.text);
            if (!row.right.isEmpty())
                painter.drawText(QPointF(width - metrics.horizontalAdvance(row.right), baseline), row.right);
        }
        y += row.height;
    }
}

void requireGui() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw ERefusal(QStringLiteral("Impressão em páginas (PDF ou impressora do sistema) exige a interface gráfica"));
}

// "Reimpressão mesa 0012" -> "reimpressao-mesa-0012".
QString fileStem(const QString& title) {
    QString stem;
    for (const QChar c : title.normalized(QString::NormalizationForm_D)) {
        if (c.isMark()) continue;
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            stem += c.toLower();
        else if (!stem.endsWith(QLatin1Char('-')))
            stem += QLatin1Char('-');
    }
    while (stem.endsWith(QLatin1Char('-'))) stem.chop(1);
    while (stem.startsWith(QLatin1Char('-'))) stem.remove(0, 1);
    return stem.isEmpty() ? QStringLiteral("documento") : stem;
}

}  // namespace

QString printPdf(const PrintDocument& document, const QString& folder) {
    requireGui();
    if (!QDir().mkpath(folder))
        throw ERefusal(QStringLiteral("Não foi possível criar a pasta %1 para o PDF; nada foi impresso").arg(folder));
    const QString stem =
        QDir(folder).filePath(fileStem(document.title) + QLatin1Char('-') +
                              QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = stem + QStringLiteral(".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n) path = stem + QStringLiteral("-%1.pdf").arg(n);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ERefusal(
            QStringLiteral("Não foi possível gravar o PDF %1 (%2); nada foi impresso").arg(path, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("Funções Operacionais"));
        writer.setResolution(600);
        const qreal mm = writer.resolution() / 25.4;
        const qreal width = (kPaperMm - 2 * kMarginMm) * mm;
        const Layout layout = layOut(document, &writer, width);
        const qreal pageHeight = std::min(layout.height, (kMaxPageMm - 2 * kMarginMm) * mm);
        writer.setPageSize(QPageSize(QSizeF(kPaperMm, pageHeight / mm + 2 * kMarginMm + 1), QPageSize::Millimeter,
                                     QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
        QPainter painter;
        if (!painter.begin(&writer))
            throw ERefusal(QStringLiteral("Não foi possível gravar o PDF %1; nada foi impresso").arg(path));
        paint(
            painter, layout, width, pageHeight, [&writer] { writer.newPage(); }, 0.25 * mm);
        painter.end();
    }
    if (!file.commit())
        throw ERefusal(
            QStringLiteral("Não foi possível gravar o PDF %1 (%2); nada foi impresso").arg(path, file.errorString()));
    return path;
}

void printOnSystemPrinter(const PrintDocument& document, const QString& name) {
    requireGui();
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull()) {
        const QStringList known = QPrinterInfo::availablePrinterNames();
        throw ERefusal(QStringLiteral("A impressora \"%1\" não existe neste computador (%2); nada foi impresso")
                           .arg(name, known.isEmpty() ? QStringLiteral("não há nenhuma instalada")
                                                      : QStringLiteral("há: ") + known.join(QStringLiteral(", "))));
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(document.title);
    QPainter painter;
    if (!painter.begin(&printer))
        throw ERefusal(QStringLiteral("A impressora \"%1\" não aceitou o documento; nada foi impresso").arg(name));
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const Layout layout = layOut(document, &printer, page.width());
    paint(
        painter, layout, page.width(), page.height(), [&printer] { printer.newPage(); },
        printer.resolution() / 25.4 * 0.25);
    if (!painter.end())
        throw ERefusal(QStringLiteral("A impressora \"%1\" não aceitou o documento; nada foi impresso").arg(name));
}

}  // namespace Gpe00002::PagePrinter
