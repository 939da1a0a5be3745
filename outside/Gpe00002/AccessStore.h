#pragma once
// Which operator may use which access code: a packet file of the installation, read again at
// every check so that a change made by the installer counts at once.
//
// Columns: CDOPERADOR (string, an operator's code or "*" for every operator), CDACESSO
// (integer, the access code) and IDPERMITE (string, "S" allows, "N" refuses). An operator's own
// row wins over the "*" row of the same code; when rows for the same pair disagree, the refusal
// wins. Codes and flags are compared without surrounding blanks; "s" and "n" count as "S" and "N".
//
// Without the file every check is allowed, so that a fresh installation locks nobody out. With
// the file, a pair that no row names is refused. A file that cannot be read, is not a packet,
// lacks a column, has a column of another type or a row with an empty or invalid value raises
// EDatabaseError naming the file: the check never guesses.

#include "core/Export.h"

#include <QString>

namespace Gpe00002 {

class GPE00002_EXPORT AccessStore {
public:
    // Dados/Cadastros/AcessoOperacoes.cds below the executable's folder.
    static QString installationPath();

    explicit AccessStore(QString path = installationPath());

    const QString& path() const { return m_path; }
    bool allows(int code, const QString& operatorCode) const;

private:
    QString m_path;
};

}  // namespace Gpe00002
