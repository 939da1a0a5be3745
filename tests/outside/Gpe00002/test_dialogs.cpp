// The operations' other dialogues: the confirmation, the text field with its on-screen keyboard
// and its maximum, and the groupings of a store; and what every dialogue does for a hurried
// finger: input from before it was shown does not act on it, and it stays where it was placed.

#include "Dialogs.h"
#include "ModalDriver.h"
#include "TouchStyle.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

namespace {

// Steps: "[A]" clicks the key named "keyA" ("[ok]" and "[cancel]" the buttons so named), "Enter",
// "Return", "Esc" and "Backspace" press those keys, anything else is typed on the keyboard.
void play(QWidget* dialog, const std::vector<QString>& steps) {
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("texto"));
    QWidget* typing = field ? static_cast<QWidget*>(field) : dialog;
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1Char('[')) && step.size() > 2) {
            const QString name = step.mid(1, step.size() - 2);
            auto* button = dialog->findChild<QPushButton*>(
                name == "ok" || name == "cancel" || name == "confirm" ? name : QStringLiteral("key") + name);
            if (!button) return ADD_FAILURE() << "no key " << step.toStdString();
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (step == "Enter" || step == "Return" || step == "Esc" || step == "Backspace") {
            QTest::keyClick(typing, step == "Enter"    ? Qt::Key_Enter
                                    : step == "Return" ? Qt::Key_Return
                                    : step == "Esc"    ? Qt::Key_Escape
                                                       : Qt::Key_Backspace);
        } else {
            for (QChar c : step)
                QTest::sendKeyEvent(QTest::KeyAction::Click, typing, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

TEST(Confirma, EnterAndConfirmaConfirmEscAndCancelaDoNot) {
    const std::pair<QString, bool> cases[] = {
        {"Enter", true}, {"Return", true}, {"[confirm]", true}, {"Esc", false}, {"[cancel]", false}};
    for (const auto& [step, confirmed] : cases) {
        SCOPED_TRACE(step.toStdString());
        QString title, question;
        onModal([&](QWidget* dialog) {
            title = labelText(dialog, "title");
            question = labelText(dialog, "question");
            for (const char* name : {"confirm", "cancel"}) {
                const auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
                EXPECT_TRUE(button && button->minimumWidth() >= 64 && button->minimumHeight() >= 56) << name;
            }
            play(dialog, {step});
        });
        EXPECT_EQ(Gpe00002::Confirma("Separar mesa", "Separar a mesa 0021 do agrupamento 0000000003?"), confirmed);
        EXPECT_EQ(title, "Separar mesa");
        EXPECT_EQ(question, "Separar a mesa 0021 do agrupamento 0000000003?");
    }
}

TEST(InputGuard, SettleTimeIsOffOffscreenUnlessTheVariableOrATestSetsIt) {
    struct Case {
        const char* name;
        const char* variable;  // nullptr: unset
        int set;               // -1: not set
        int settle;
    };
    const Case cases[] = {
        {"offscreen", nullptr, -1, 0}, {"the variable", "250", -1, 250}, {"the variable turns it off", "0", -1, 0},
        {"a test", "250", 300, 300},   {"not a number", "x", -1, 0},     {"negative", "-5", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.variable) qputenv("RES00011_SETTLE_MS", c.variable);
        const SettleTime settle(c.set);
        EXPECT_EQ(InputGuard::settleMs(), c.settle);
        qunsetenv("RES00011_SETTLE_MS");
    }
    EXPECT_EQ(InputGuard::kDefaultSettleMs, 300);
}

TEST(InputGuard, AQuestionIsAnsweredOnlyByInputThatBeganAfterItSettled) {
    const SettleTime settle(300);
    const auto confirm = [](QWidget* dialog) { return dialog->findChild<QPushButton*>(QStringLiteral("confirm")); };
    struct Case {
        const char* name;
        bool opensOnPress;  // else on the click, as buttons do
        int busyMs;         // the time the question takes to come
        std::function<void(QWidget* dialog)> input;
        bool confirmed;
    };
    const Case cases[] = {
        {"the release of the press that opened it", true, 0, [&](QWidget* d) { Finger::release(confirm(d), 60); },
         false},
        {"the second tap of a double tap", false, 0, [&](QWidget* d) { Finger::tap(confirm(d), 150, true); }, false},
        {"a tap from before the question appeared", false, 400, [&](QWidget* d) { Finger::tap(confirm(d), -50); },
         false},
        {"Enter at once", false, 0, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Enter); }, false},
        {"a tap after the settle time", false, 0, [&](QWidget* d) { Finger::tap(confirm(d), 400); }, true},
        {"Enter after the settle time", false, 0,
         [](QWidget* d) {
             QTest::qWait(400);
             QTest::keyClick(d, Qt::Key_Enter);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPushButton opener(QStringLiteral("Separar"));
        opener.show();
        std::optional<bool> answer;
        bool stillOpen = false;
        const auto ask = [&] {
            QThread::msleep(static_cast<unsigned long>(c.busyMs));
            answer = Gpe00002::Confirma("Separar mesa", "Separar a mesa 0016 do agrupamento 0000000002?");
        };
        if (c.opensOnPress)
            QObject::connect(&opener, &QPushButton::pressed, ask);
        else
            QObject::connect(&opener, &QPushButton::clicked, ask);
        onModal([&](QWidget* dialog) {
            Finger::sync();
            c.input(dialog);
            stillOpen = dialog->isVisible();
            if (stillOpen) static_cast<QDialog*>(dialog)->reject();
        });
        if (c.opensOnPress)
            Finger::press(&opener, 1000);
        else
            Finger::tap(&opener, 1000);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(*answer, c.confirmed);
        EXPECT_EQ(stillOpen, !c.confirmed);
    }
}

TEST(Dialogues, StandCentredOnTheScreenAndNeverMoveOrResizeWhileOpen) {
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<void(QWidget* dialog)> change;  // what changes a text inside
    };
    Gpe00002::TableMapRequest map{"Agrupar mesas", "Escolha as mesas", {}, true, 2};
    for (const char* numero : {"0001", "0002", "0003"}) {
        Gpe00002::MapTable table;
        table.mesa.numero = QString::fromLatin1(numero);
        table.mesa.estado = QStringLiteral("L");
        table.enabled = table.mesa.numero != "0002";
        table.reason = QStringLiteral("ocupada por uma venda aberta há muito tempo, com muitos itens e garçons");
        map.tables.push_back(table);
    }
    const Case cases[] = {
        {"keypad",
         [] {
             std::string v;
             Gpe00002::TecladoNumerico(v, "Mesa", "Informe a mesa", "", 4, 0, 0, 0, 0, 0);
         },
         [](QWidget* d) { QTest::keyClicks(d, QStringLiteral("12345")); }},
        {"text", [] { Gpe00002::Texto("Reservar mesa", "Nome do cliente", 3); }, [](QWidget* d) { play(d, {"abcd"}); }},
        {"map", [&] { Gpe00002::MapaMesas(map); },
         [](QWidget* d) { QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("mesa0002")), Qt::LeftButton); }},
        {"question", [] { Gpe00002::Confirma("Separar mesa", "Separar a mesa 0016?"); }, [](QWidget*) {}},
    };
    const QRect screen = Style::operatorScreen()->availableGeometry();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QRect shown, changed;
        onModal([&](QWidget* dialog) {
            shown = dialog->geometry();
            c.change(dialog);
            QApplication::processEvents();
            changed = dialog->geometry();
            static_cast<QDialog*>(dialog)->reject();
        });
        c.open();
        EXPECT_TRUE(screen.contains(shown))
            << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();
        EXPECT_LE((shown.center() - screen.center()).manhattanLength(), 2);
        EXPECT_EQ(changed, shown);
    }
}

TEST(Texto, TypingOnTheKeyboardAndOnTheScreen) {
    struct Case {
        const char* name;
        int maxLength;
        std::vector<QString> steps;
        std::optional<QString> typed;
    };
    const Case cases[] = {
        {"on-screen keys, a capital at each word's start",
         40,
         {"[M]", "[A]", "[Ç]", "[Ã]", "[Espaco]", "[S]", "[Espaco]", "[1]", "[-]", "[ok]"},
         "Maçã S 1-"},
        {"Maiúsc for the next letter", 40, {"[J]", "[O]", "[Ã]", "[O]", "[Maiusc]", "[É]", "[E]", "Enter"}, "JoãoÉe"},
        {"the keyboard", 40, {"José da Silva", "Return"}, "José da Silva"},
        {"erase and clear", 40, {"Ana", "[Apaga]", "Backspace", "[Limpa]", "Bia", "[ok]"}, "Bia"},
        {"spaces at the ends are dropped", 40, {"  Rui ", "Enter"}, "Rui"},
        {"at most the maximum, by keyboard and keys", 5, {"abcdefg", "[X]", "Enter"}, "abcde"},
        {"no maximum", 0, {QString(60, QLatin1Char('x')), "Enter"}, QString(60, QLatin1Char('x'))},
        {"Esc", 40, {"Ana", "Esc"}, std::nullopt},
        {"Cancela", 40, {"Ana", "[cancel]"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString start;
        onModal([&](QWidget* dialog) {
            start = dialog->findChild<QLineEdit*>(QStringLiteral("texto"))->text();
            play(dialog, c.steps);
        });
        EXPECT_EQ(Gpe00002::Texto("Reservar mesa", "Nome do cliente", c.maxLength), c.typed);
        EXPECT_EQ(start, "");
    }
}

TEST(Texto, SaysWhenTheFieldIsFull) {
    onModal([](QWidget* dialog) {
        EXPECT_EQ(labelText(dialog, "contador"), "0 de 4");
        play(dialog, {"[A]", "bcd"});
        EXPECT_EQ(labelText(dialog, "aviso"), "");
        EXPECT_EQ(labelText(dialog, "contador"), "4 de 4");
        play(dialog, {"e"});
        EXPECT_EQ(labelText(dialog, "aviso"), "Máximo de 4 caracteres");
        play(dialog, {"Backspace"});
        EXPECT_EQ(labelText(dialog, "aviso"), "");
        play(dialog, {"[Espaco]", "[Z]"});
        EXPECT_EQ(labelText(dialog, "aviso"), "Máximo de 4 caracteres");
        for (const auto* key : dialog->findChildren<QPushButton*>()) {
            EXPECT_GE(key->minimumWidth(), 64) << key->objectName().toStdString();
            EXPECT_GE(key->minimumHeight(), 56) << key->objectName().toStdString();
        }
        play(dialog, {"Enter"});
    });
    EXPECT_EQ(Gpe00002::Texto("Reservar mesa", "Nome", 4), "Abc");
}

Gpe00002::GroupingTable member(const char* numero, const char* estado, const char* waiter = "", const char* name = "",
                               const char* people = "", double total = 0) {
    Gpe00002::GroupingTable table;
    table.mesa.numero = QString::fromLatin1(numero);
    table.mesa.nome = QStringLiteral("Mesa %1").arg(table.mesa.numero.toInt());
    table.mesa.estado = QString::fromLatin1(estado);
    table.mesa.vendaAberta = *waiter != 0;
    table.vendedor = QString::fromLatin1(waiter);
    table.nomeVendedor = QString::fromUtf8(name);
    table.pessoas = QString::fromLatin1(people);
    table.total = Gpe00002::Money::fromDouble(total);
    return table;
}

QStringList rowTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column) texts << item->text(column);
    return texts;
}

TEST(ExibeAgrupamentos, ShowsEveryGroupingWithTheNamedOneFirstAndSelected) {
    const Gpe00002::GroupingOverview overview{
        "01",
        "002",
        {{"0000000001", {member("0001", "L"), member("0002", "O", "0007", "João", "4", 1234.5)}},
         {"0000000002", {member("0010", "R"), member("0011", "P", "0003", "Ana", "2", 12)}},
         {"0000000003", {member("0020", "O", "0005", "Rui", "3", 99.999), member("0021", "X")}}},
        1};
    onModal([](QWidget* dialog) {
        EXPECT_EQ(labelText(dialog, "loja"), "Filial 01 · Loja 002 · 3 agrupamentos");
        auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("agrupamentos"));
        ASSERT_TRUE(tree);
        ASSERT_EQ(tree->topLevelItemCount(), 3);
        const QStringList headings = {tree->topLevelItem(0)->text(0), tree->topLevelItem(1)->text(0),
                                      tree->topLevelItem(2)->text(0)};
        EXPECT_EQ(headings,
                  (QStringList{"Agrupamento 2 · 2 mesas · total 12,00", "Agrupamento 1 · 2 mesas · total 1.234,50",
                               "Agrupamento 3 · 2 mesas · total 100,00"}));
        EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{tree->topLevelItem(0)});
        const std::vector<QStringList> rows = {
            {"0010", "Mesa 10", "Reservada", "", "", ""},
            {"0011", "Mesa 11", "Fechando", "0003 Ana", "2", "12,00"},
            {"0001", "Mesa 1", "Livre", "", "", ""},
            {"0002", "Mesa 2", "Ocupada", "0007 João", "4", "1.234,50"},
            {"0020", "Mesa 20", "Ocupada", "0005 Rui", "3", "100,00"},
            {"0021", "Mesa 21", "Estado X", "", "", ""},
        };
        std::vector<QStringList> shown;
        for (int g = 0; g < 3; ++g)
            for (int t = 0; t < tree->topLevelItem(g)->childCount(); ++t)
                shown.push_back(rowTexts(tree->topLevelItem(g)->child(t)));
        EXPECT_EQ(shown, rows);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    Gpe00002::ExibeAgrupamentos(overview);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ExibeAgrupamentos, ClosesWithFecharEnterAndEscAndSaysWhenThereIsNone) {
    for (const QString step : {"[close]", "Enter", "Esc"}) {
        SCOPED_TRACE(step.toStdString());
        bool noneShown = false;
        onModal([&](QWidget* dialog) {
            noneShown = dialog->findChild<QWidget*>(QStringLiteral("nenhum"))->isVisibleTo(dialog);
            if (step == "[close]")
                QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("close")), Qt::LeftButton);
            else
                play(dialog, {step});
        });
        Gpe00002::ExibeAgrupamentos({"01", "002", {}, -1});
        EXPECT_TRUE(noneShown);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(ExibeRelatorioGarcons, ShowsTotalsAndChangesOrWhyThereAreNoneAndAnswersImprimir) {
    Gpe00002::WaiterReport full{"0001", "0001", QDate(2024, 6, 14), {}, {}, true, {}};
    using Gpe00002::Money;
    full.abertas = {{{"0001", "Ana", 6, Money::fromCents(123450)}, {"", "", 1, Money::fromCents(333)}},
                    7,
                    Money::fromCents(123783)};
    Gpe00002::WaiterChange item;
    item.quando = QDateTime(QDate(2024, 6, 14), QTime(19, 40, 12));
    item.mesa = "0012";
    item.comanda = "0000000001";
    item.numeroItem = "000001";
    item.nomeProduto = "Água";
    item.de = "0001";
    item.nomeDe = "Ana";
    item.para = "0002";
    item.aplicacao = "res00011";
    item.endereco = "10.0.0.5";
    Gpe00002::WaiterChange sale = item;
    sale.item = false;
    sale.venda = "0000000003";
    sale.aplicacao = sale.endereco = {};
    full.alteracoes = {item, sale};
    Gpe00002::WaiterReport notInstalled{"0001", "0001", QDate(2024, 6, 14), {}, {}, false, {}};
    Gpe00002::WaiterReport noChanges = notInstalled;
    noChanges.historico = true;

    struct Case {
        const char* step;
        const Gpe00002::WaiterReport& report;
        bool print;
        std::vector<QStringList> totals, changes;
        QString note;
    };
    const Case cases[] = {
        {"[print]",
         full,
         true,
         {{"Vendas abertas · 7 itens · 1.237,83"},
          {"0001 Ana", "6", "1.234,50"},
          {"(sem garçom)", "1", "3,33"},
          {"Vendas do dia 14/06/2024 · 0 itens · 0,00"},
          {"Nenhum item."}},
         {{"19:40:12", "0012", "Água (0000000001/000001)", "0001 Ana → 0002", "res00011 10.0.0.5"},
          {"19:40:12", "0012", "Venda 0000000003", "0001 Ana → 0002", ""}},
         {}},
        {"[close]",
         notInstalled,
         false,
         {},
         {},
         "O histórico de alterações de garçom não está instalado neste banco de dados (instale-o com "
         "res00011-report --install-history)."},
        {"Esc", noChanges, false, {}, {}, "Nenhuma alteração de garçom neste dia."},
        {"Alt+I", noChanges, true, {}, {}, "Nenhuma alteração de garçom neste dia."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        onModal([&](QWidget* dialog) {
            EXPECT_EQ(labelText(dialog, "loja"), "Filial 0001 · Loja 0001 · Dia 14/06/2024");
            for (const char* name : {"print", "close"}) {
                const auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
                EXPECT_TRUE(button && button->minimumWidth() >= 64 && button->minimumHeight() >= 56) << name;
            }
            auto* totals = dialog->findChild<QTreeWidget*>(QStringLiteral("totais"));
            auto* changes = dialog->findChild<QTreeWidget*>(QStringLiteral("alteracoes"));
            ASSERT_TRUE(totals);
            if (!c.totals.empty()) {
                std::vector<QStringList> shown;
                for (int k = 0; k < totals->topLevelItemCount(); ++k) {
                    shown.push_back(rowTexts(totals->topLevelItem(k)));
                    for (int w = 0; w < totals->topLevelItem(k)->childCount(); ++w)
                        shown.push_back(rowTexts(totals->topLevelItem(k)->child(w)));
                }
                EXPECT_EQ(shown, c.totals);
            }
            std::vector<QStringList> listed;
            for (int k = 0; changes && k < changes->topLevelItemCount(); ++k)
                listed.push_back(rowTexts(changes->topLevelItem(k)));
            EXPECT_EQ(listed, c.changes);
            EXPECT_EQ(c.note.isEmpty() ? QString() : labelText(dialog, "historico"), c.note);
            if (c.step[0] == '[')
                QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(c.step + 1).chopped(1)),
                                  Qt::LeftButton);
            else if (c.print)
                QTest::keyClick(dialog, Qt::Key_I, Qt::AltModifier);
            else
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(Gpe00002::ExibeRelatorioGarcons(c.report), c.print);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

}  // namespace
