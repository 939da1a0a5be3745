#include "AccessStore.h"

#include "Process.h"
#include "TClientDataSet.h"

#include <optional>

namespace Gpe00002 {

namespace {

[[noreturn]] void badStore(const QString& path, const QString& detail) {
    throw EDatabaseError(
        QStringLiteral("Arquivo de controle de acesso às operações inválido: %1 (%2)").arg(path, detail));
}

int columnOf(const TDataSet& store, const QString& path, const QString& name, TFieldType type) {
    const TField* field = store.FindField(name);
    if (!field) badStore(path, QStringLiteral("falta a coluna %1").arg(name));
    if (field->DataType() != type)
        badStore(path, QStringLiteral("a coluna %1 é do tipo %2, deveria ser %3")
                           .arg(name, QString::fromLatin1(fieldTypeName(field->DataType())),
                                QString::fromLatin1(fieldTypeName(type))));
    return field->Index();
}

// Folds one row's answer into what earlier rows for the same pair said: a refusal wins.
void fold(std::optional<bool>& answer, bool allowed) { answer = answer.value_or(true) && allowed; }

}  // namespace

QString AccessStore::installationPath() {
    return Process::executableFolder() + QStringLiteral("/Dados/Cadastros/AcessoOperacoes.cds");
}

AccessStore::AccessStore(QString path) : m_path(std::move(path)) {}

bool AccessStore::allows(int code, const QString& operatorCode) const {
    // Anything at the path other than a readable store (a dangling link, a FIFO, a folder) is
    // read, and fails, rather than taken for a missing store.
    if (!Process::FileExists(m_path)) return true;

    TClientDataSet store(QStringLiteral("AcessoOperacoes"));
    try {
        store.LoadFromFile(m_path);
    } catch (const EDatabaseError& e) {
        badStore(m_path, e.message());
    }
    const int operatorColumn = columnOf(store, m_path, QStringLiteral("CDOPERADOR"), TFieldType::ftString);
    const int codeColumn = columnOf(store, m_path, QStringLiteral("CDACESSO"), TFieldType::ftInteger);
    const int allowColumn = columnOf(store, m_path, QStringLiteral("IDPERMITE"), TFieldType::ftString);

    const QString wanted = operatorCode.trimmed();
    std::optional<bool> own;
    std::optional<bool> everyone;
    // Every row is checked, not only those of the pair asked about: a broken row is an error
    // whichever check meets it first.
    int line = 0;
    for (const TRecord& row : store.records()) {
        ++line;
        const auto* rowOperator = std::get_if<std::string>(&row[static_cast<std::size_t>(operatorColumn)]);
        const auto* rowCode = std::get_if<std::int32_t>(&row[static_cast<std::size_t>(codeColumn)]);
        const auto* rowAllow = std::get_if<std::string>(&row[static_cast<std::size_t>(allowColumn)]);
        const QString op = rowOperator ? QString::fromStdString(*rowOperator).trimmed() : QString();
        const QString flag = rowAllow ? QString::fromStdString(*rowAllow).trimmed().toUpper() : QString();
        if (op.isEmpty()) badStore(m_path, QStringLiteral("linha %1: CDOPERADOR vazio").arg(line));
        if (!rowCode) badStore(m_path, QStringLiteral("linha %1: CDACESSO vazio").arg(line));
        if (flag != QLatin1String("S") && flag != QLatin1String("N"))
            badStore(m_path, QStringLiteral("linha %1: IDPERMITE \"%2\" não é S nem N")
                                 .arg(line)
                                 .arg(rowAllow ? QString::fromStdString(*rowAllow) : QString()));
        if (*rowCode != code) continue;
        const bool allowed = flag == QLatin1String("S");
        if (op == wanted) fold(own, allowed);
        if (op == QLatin1String("*")) fold(everyone, allowed);
    }
    if (own) return *own;
    return everyone.value_or(false);
}

}  // namespace Gpe00002
