#pragma once
// Where a station prints, and printing there. The station's setting DSIMPRESSORA
// (PARAMETROSQOR.CDS) says where:
//   tcp:HOST[:PORT]  a receipt printer speaking ESC/POS over TCP (port 9100 by default)
//   file:PATH        ESC/POS appended to a device or a file (relative to the station's folder)
//   printer:NAME     one of the system's printers (Qt Print Support)
//   pdf:FOLDER       a PDF file per document in FOLDER (relative to the station's folder)
// Without a setting: PDF files in the folder "impressos" of the station's folder.
// Pages (PDF, system printers) need the application's GUI object (QGuiApplication).

#include "core/PrintDocument.h"

namespace Gpe00002 {

struct GPE00002_EXPORT PrintTarget {
    enum class Kind { Tcp, File, Printer, Pdf };
    Kind kind = Kind::Pdf;
    QString where;  // host, path, printer name or folder
    int port = 9100;

    // Raises ERefusal naming the setting when it is not one of the forms above.
    static PrintTarget fromSetting(const QString& setting);
    QString describe() const;  // "tcp:10.0.0.9:9100", "pdf:/var/lib/.../impressos", ...
};

// Prints `document` at `target`; answers where it went (for a PDF, the file's path). Raises
// ERefusal with a clear message, within a few seconds, when the printer cannot be reached or
// refuses: nothing is then counted as printed. A receipt printer over TCP must answer a status
// request (DLE EOT) before the document and another one sent after it, which it reaches only
// once it has taken the document in: connecting and the first answer are given kPrinterAnswerMs
// each, the document and the second answer kPrinterSendMs (the printer may be printing what came
// before). A device or file must take the bytes within kPrinterSendMs.
GPE00002_EXPORT QString printDocument(const PrintDocument& document, const PrintTarget& target);

// Where a printed document went, as the journal and the transcript name it: "pdf:" and the file
// for a PDF, the target's own form otherwise (printDocument's answer for `target`).
GPE00002_EXPORT QString printedAt(const PrintTarget& target, const QString& answer);

inline constexpr int kPrinterAnswerMs = 3000;
inline constexpr int kPrinterSendMs = 10000;

}  // namespace Gpe00002
