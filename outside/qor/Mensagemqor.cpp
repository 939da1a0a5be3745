#include "Mensagemqor.h"

#include "Screen.h"
#include "TouchStyle.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

namespace Mensagemqor {

namespace {

MensagemHook& mensagemHook() {
    static MensagemHook hook;
    return hook;
}

MensagemMetodoHook& metodoHook() {
    static MensagemMetodoHook hook;
    return hook;
}

[[noreturn]] void failMetodo(const std::string& metodo, const std::string& contexto, const QString& text) {
    std::string where = "Erro em " + metodo;
    if (!contexto.empty()) where += " (" + contexto + ")";
    throw EMensagemMetodo(where + ": " + text.toStdString());
}

struct Kind {
    QStyle::StandardPixmap icon;
    const char* title;
};

Kind kindOf(TTipoMsg tipo) {
    switch (tipo) {
    case tmConfirmacao: return {QStyle::SP_MessageBoxQuestion, "Confirmação"};
    case tmAviso: return {QStyle::SP_MessageBoxWarning, "Aviso"};
    case tmErro: return {QStyle::SP_MessageBoxCritical, "Erro"};
    case tmInformacao: break;
    }
    return {QStyle::SP_MessageBoxInformation, "Informação"};
}

constexpr int kIconSize = 48;
constexpr int kMinimumWidth = 420;

// The touch screens' dialog: borderless, framed in the accent colour, the kind's title, its icon
// beside the text, and one large OK button (Enter) that Esc stands for too.
void showDialog(const QString& texto, const QString& titulo, TTipoMsg tipo, const QString& complemento) {
    const Kind kind = kindOf(tipo);
    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("Mensagem"));
    QVBoxLayout* content = Style::frameDialog(dialog, titulo.isEmpty() ? QString::fromUtf8(kind.title) : titulo);
    dialog.setMinimumWidth(kMinimumWidth);

    auto* icon = new QLabel(&dialog);
    icon->setObjectName(QStringLiteral("icone"));
    icon->setPixmap(dialog.style()->standardIcon(kind.icon, nullptr, &dialog).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);

    QLabel* text = Style::textLabel(complemento.isEmpty() ? texto : texto + QStringLiteral("\n\n") + complemento,
                                    QStringLiteral("texto"), &dialog);
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    QPushButton* ok = Style::touchButton(QStringLiteral("OK"), QStringLiteral("ok"), &dialog);
    ok->setDefault(true);  // Enter; the dialogue itself closes on Esc
    ok->setMinimumWidth(140);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon);
    body->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    content->addLayout(body, 1);
    content->addSpacing(10);
    content->addLayout(buttons);

    // Sized before it is shown, the text taking the lines it needs at the dialogue's width; the
    // frame then places it on the operator's screen and holds it there while it is open.
    dialog.ensurePolished();
    QRect available(0, 0, 1024, 768);
    if (const QScreen* screen = Style::operatorScreen()) available = screen->availableGeometry();
    const int width = std::min(std::max(dialog.sizeHint().width(), kMinimumWidth), available.width() * 9 / 10);
    dialog.resize(width, dialog.hasHeightForWidth() ? dialog.heightForWidth(width) : dialog.sizeHint().height());

    Screen::showModal(dialog);
}

}  // namespace

QVariant MensagemMetodo(const QVariant& value, bool exibe, int codigo, const std::string& metodo,
                        const std::string& unidade, const std::string& contexto, const std::string& esquema) {
    if (metodoHook()) metodoHook()(value, exibe, codigo, metodo, unidade, contexto, esquema);
    // An error is raised whatever `exibe` says: the caller's event guard shows it, once, and
    // no error text is ever taken for a result.
    switch (value.typeId()) {
    case QMetaType::QByteArray:
    case QMetaType::Bool: return value;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        failMetodo(metodo, contexto, text.isEmpty() ? QStringLiteral("resposta vazia") : text);
    }
    case QMetaType::UnknownType: failMetodo(metodo, contexto, QStringLiteral("resposta vazia"));
    default:
        failMetodo(metodo, contexto,
                   QStringLiteral("resposta de tipo inesperado (%1)").arg(QString::fromLatin1(value.typeName())));
    }
}

void Mensagem(const std::string& texto, const std::string& titulo, const std::string& opcao1, const std::string& opcao2,
              TTipoMsg tipo, const std::string& complemento, const std::string& esquema, int codigo,
              TClientDataSet* dataSet) {
    if (mensagemHook()) {
        const MensagemCall call{texto,       titulo,  opcao1, opcao2, static_cast<int>(tipo),
                                complemento, esquema, codigo, dataSet};
        if (mensagemHook()(call)) return;
    }
    const QString text = QString::fromStdString(texto);
    const QString extra = QString::fromStdString(complemento);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No screen: a console run.
        std::fprintf(stderr, "%s\n", (extra.isEmpty() ? text : text + QLatin1Char('\n') + extra).toUtf8().constData());
        return;
    }
    showDialog(text, QString::fromStdString(titulo), tipo, extra);
}

std::string MontaRodapeGeral(bool utilizaImpFis, const std::string& tela, const std::string& /*flag*/) {
    // The footer sits in a narrow label: the screen's code and, when the fiscal printer is in
    // use, a short mark for it. The flag is accepted from callers and changes nothing.
    return utilizaImpFis ? tela + " - ECF" : tela;
}

void setMensagemHook(MensagemHook hook) { mensagemHook() = std::move(hook); }

void setMensagemMetodoHook(MensagemMetodoHook hook) { metodoHook() = std::move(hook); }

}  // namespace Mensagemqor
