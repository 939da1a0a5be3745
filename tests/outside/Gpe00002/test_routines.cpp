// The routine variables after load, and the table operations' screens.

#include "Dialogs.h"
#include "ModalDriver.h"
#include "screens/OperationScreens.h"

#include "TClientDataSet.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

// No test calls InstallDefaultRoutines: the variables hold what loading the library put there.
TEST(Routines, EveryVariableIsSetWhenTheLibraryIsLoaded) {
    EXPECT_TRUE(Gpe00002::ControleAcess);
    EXPECT_TRUE(Gpe00002::VerificaAcesso);
    EXPECT_TRUE(Gpe00002::CriaJuntarMesas);
    EXPECT_TRUE(Gpe00002::CriaTrComanN);
    EXPECT_TRUE(Gpe00002::CriaFReservaMesa);
    EXPECT_TRUE(Gpe00002::ReimprimePedido);
    EXPECT_TRUE(Gpe00002::CriaConsultaJuncao);
    EXPECT_TRUE(Gpe00002::RelFiscais);
    EXPECT_TRUE(Gpe00002::TecladoNumerico);
    EXPECT_TRUE(Gpe00002::Pesquisa);
    EXPECT_TRUE(Gpe00002::MapaMesas);
    EXPECT_TRUE(Gpe00002::Confirma);
    EXPECT_TRUE(Gpe00002::ConfirmaCancelaPadrao);
    EXPECT_TRUE(Gpe00002::Texto);
    EXPECT_TRUE(Gpe00002::EditaTexto);
    EXPECT_TRUE(Gpe00002::Escolha);
    EXPECT_TRUE(Gpe00002::ExibeAgrupamentos);
    EXPECT_TRUE(Gpe00002::ExibeRelatorioGarcons);
}

// The operations' own dialogues: the question whose Enter answers Cancela, the text field that
// starts with what was typed before (selected: typing replaces it), and the list under a title that says what is
// chosen, opening on the dataset's current row.
TEST(Routines, TheOperationsDialoguesOpenTheirScreensAsAsked) {
    struct Case {
        const char* name;
        std::function<QString()> run;            // what the variable answered
        std::function<QString(QWidget*)> drive;  // what the screen showed; then answers it
        QString shown, answered;
    };
    TClientDataSet list(QStringLiteral("cdsOpcoes"));
    list.FieldDefs() = {{"OPCAO", TFieldType::ftString, 8}};
    list.CreateDataSet();
    for (const char* option : {"VOLTAR", "SENTAR", "CANCELAR"}) {
        list.Append();
        list.FieldByName(QStringLiteral("OPCAO")).setAsString(QLatin1String(option));
        list.Post();
    }
    const auto question = [](bool enter) {
        return [enter] {
            return Gpe00002::ConfirmaCancelaPadrao(QStringLiteral("Cancelar reserva"), QStringLiteral("Cancelar?")) ==
                           enter
                       ? QStringLiteral("ok")
                       : QStringLiteral("no");
        };
    };
    const Case cases[] = {
        {"a question whose Enter cancels", question(false),
         [](QWidget* dialog) {
             const QString shown = labelText(dialog, "question");
             QTest::keyClick(dialog, Qt::Key_Return);
             return shown;
         },
         "Cancelar?", "ok"},
        {"which Confirma still confirms", question(true),
         [](QWidget* dialog) {
             QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("confirm")), Qt::LeftButton);
             return labelText(dialog, "question");
         },
         "Cancelar?", "ok"},
        {"a text field with what was typed before",
         [] {
             return Gpe00002::EditaTexto("Reservar mesa 0010", "Nome do cliente", 50, "Silva").value_or("<cancelled>");
         },
         [](QWidget* dialog) {
             const QString shown = dialog->findChild<QLineEdit*>(QStringLiteral("texto"))->text();
             QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("texto")), QStringLiteral("Costa"));
             QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("texto")), Qt::Key_Return);
             return shown;
         },
         "Silva", "Costa"},
        {"a titled list on the current row",
         [&list] {
             list.First();
             list.Next();
             const bool picked = Gpe00002::Escolha(list, "Escolha o que fazer com a reserva", "Mesa 0002 reservada");
             return picked ? list.FieldByName(QStringLiteral("OPCAO")).AsString() : QStringLiteral("<cancelled>");
         },
         [](QWidget* dialog) {
             const QString shown =
                 labelText(dialog, "title") + " / " + labelText(dialog, "prompt") + " / " +
                 QString::number(dialog->findChild<QTableWidget*>(QStringLiteral("list"))->currentRow());
             QTest::keyClick(dialog, Qt::Key_Return);
             return shown;
         },
         "Escolha o que fazer com a reserva / Mesa 0002 reservada / 1", "SENTAR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString shown;
        onModal([&](QWidget* dialog) { shown = c.drive(dialog); });
        EXPECT_EQ(c.run(), c.answered);
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(Routines, TitlesFollowModeAndKind) {
    using Gpe00002::OperationText;
    const std::vector<std::pair<OperationText, OperationText>> cases = {
        {Gpe00002::trComanNText("2", "N", "S"), {"Transferir produto", "Tipo: 2 | Indicador: N | Texto: S"}},
        {Gpe00002::trComanNText("3", "S", ""), {"Transferir posição", "Tipo: 3 | Indicador: S | Texto: (vazio)"}},
        {Gpe00002::trComanNText("9", "S", "S"), {"Transferência", "Tipo: 9 | Indicador: S | Texto: S"}},
    };
    for (const auto& [actual, expected] : cases) {
        EXPECT_EQ(actual.title, expected.title);
        EXPECT_EQ(actual.arguments, expected.arguments);
    }
}

TEST(Routines, EachOperationShowsItsScreenUntilClosed) {
    struct Case {
        std::function<void()> run;
        QString title;
        QString arguments;
        Qt::Key closeKey;
    };
    const Case cases[] = {
        // A kind the package does not know shows its arguments.
        {[] { Gpe00002::CriaTrComanN("9", "N", "S"); }, "Transferência", "Tipo: 9 | Indicador: N | Texto: S",
         Qt::Key_Escape},
        {[] { Gpe00002::CriaTrComanN("", "S", ""); }, "Transferência", "Tipo: (vazio) | Indicador: S | Texto: (vazio)",
         Qt::Key_Return},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        QString title, arguments, button;
        onModal([&](QWidget* dialog) {
            title = labelText(dialog, "title");
            arguments = labelText(dialog, "line1");
            auto* close = dialog->findChild<QPushButton*>("close");
            button = close ? close->text() : QString();
            if (c.closeKey == Qt::Key_unknown && close)
                QTest::mouseClick(close, Qt::LeftButton);
            else
                QTest::keyClick(dialog, c.closeKey);
        });
        c.run();
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(arguments, c.arguments);
        EXPECT_EQ(button, "Fechar");
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

}  // namespace
