// The routine variables after load, and the table operations' screens.

#include "Dialogs.h"
#include "ModalDriver.h"
#include "OperationScreens.h"

#include <QPushButton>
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
    EXPECT_TRUE(Gpe00002::Texto);
    EXPECT_TRUE(Gpe00002::ExibeAgrupamentos);
    EXPECT_TRUE(Gpe00002::ExibeRelatorioGarcons);
}

TEST(Routines, TitlesFollowModeAndKind) {
    using Gpe00002::OperationText;
    const std::vector<std::pair<OperationText, OperationText>> cases = {
        {Gpe00002::juntarMesasText("S", "01", ""), {"Separar mesas", "Modo: S | Filial: 01 | Loja: (vazio)"}},
        {Gpe00002::juntarMesasText("j", "01", "2"), {"Agrupar ou separar mesas", "Modo: j | Filial: 01 | Loja: 2"}},
        {Gpe00002::trComanNText("2", "N", "S"), {"Transferir produto", "Tipo: 2 | Indicador: N | Texto: S"}},
        {Gpe00002::trComanNText("3", "S", "S"), {"Transferir posição", "Tipo: 3 | Indicador: S | Texto: S"}},
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
