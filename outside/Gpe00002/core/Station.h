#pragma once
// The station the package runs on: its branch, store and cash register and the operator logged
// in, from the station's files below the executable's folder, read as the menu reads them:
// PARAMETROSQOR.CDS (CDFILIAL, CDLOJA, CDCAIXA, CDOPERADORLOGIN) and
// Dados/Cadastros/ControleAcess.cds (CDOPERADOR, which wins over CDOPERADORLOGIN); IDESQUEMA;
// and DSIMPRESSORA, where the station prints (printing/Printer.h).

#include "core/Export.h"

#include <QString>

namespace Gpe00002 {

struct GPE00002_EXPORT Station {
    QString filial, loja, caixa, operador;
    QString esquema;  // IDESQUEMA, for the messages
    QString host;     // the machine's name, for the journal
    // DSIMPRESSORA: "tcp:HOST[:PORT]", "file:PATH", "printer:NAME", "pdf:FOLDER", or empty for PDF
    // files in the station's folder "impressos" (printing/Printer.h).
    QString impressora = {};
    // Reservations (operations/ReservarMesa.h): a table is held from MINRESANTES minutes before a
    // reservation's time, the reservation takes it for MINRESDURACAO minutes, and it is a no-show
    // when not seated MINRESTOLERANCIA minutes after its time. A missing column or a value that is
    // not a whole number of minutes (0 to 1440; the duration at least 1) keeps the default.
    int minResAntes = 60;
    int minResDuracao = 120;
    int minResTolerancia = 20;
    // CTDESFAZER: the access code an operator needs (VerificaAcesso) to undo an operation from its
    // success notice; 0 (missing, empty, or not a positive number) asks for none.
    int ctDesfazer = 0;

    // Reads the files. With `needBranchAndStore`, a parameters file that is missing or lacks
    // CDFILIAL or CDLOJA (or holds them empty) raises ERefusal naming the file and the column;
    // otherwise what is missing stays empty. A file that is there but cannot be read raises
    // ERefusal with the reason.
    static Station read(bool needBranchAndStore);
};

}  // namespace Gpe00002
