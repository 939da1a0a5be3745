#include "screens/OperationScreens.h"

#include "screens/InfoDialog.h"
#include "Screen.h"

#include <QStringList>
#include <initializer_list>
#include <utility>

namespace Gpe00002 {

namespace {

// "Name: value | Name: value"; an empty value shows as "(vazio)" so that it is seen.
QString argumentLine(std::initializer_list<std::pair<const char*, const std::string*>> arguments) {
    QStringList parts;
    for (const auto& [name, value] : arguments) {
        const QString text = value->empty() ? QStringLiteral("(vazio)") : QString::fromStdString(*value);
        parts.append(QString::fromUtf8(name) + QStringLiteral(": ") + text);
    }
    return parts.join(QStringLiteral(" | "));
}

}  // namespace

OperationText trComanNText(const std::string& tipo, const std::string& flag, const std::string& texto) {
    QString title = QStringLiteral("Transferência");
    if (tipo == "1") title = QStringLiteral("Transferir mesa");
    if (tipo == "2") title = QStringLiteral("Transferir produto");
    if (tipo == "3") title = QStringLiteral("Transferir posição");
    return {title, argumentLine({{"Tipo", &tipo}, {"Indicador", &flag}, {"Texto", &texto}})};
}

void showOperation(const OperationText& text) {
    InfoDialog dialog(text.title, {text.arguments}, QStringLiteral("Fechar"));
    Screen::showModal(dialog);
}

}  // namespace Gpe00002
