// The operations' other dialogues: the confirmation, and the text field with its on-screen
// keyboard and its maximum.

#include "Dialogs.h"
#include "ModalDriver.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Steps: "[A]" clicks the key named "keyA" ("[ok]" and "[cancel]" the buttons so named), "Enter",
// "Return", "Esc" and "Backspace" press those keys, anything else is typed on the keyboard.
void play(QWidget* dialog, const std::vector<QString>& steps) {
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("texto"));
    QWidget* typing = field ? static_cast<QWidget*>(field) : dialog;
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1Char('[')) && step.size() > 2) {
            const QString name = step.mid(1, step.size() - 2);
            auto* button = dialog->findChild<QPushButton*>(name == "ok" || name == "cancel" || name == "confirm"
                                                               ? name
                                                               : QStringLiteral("key") + name);
            if (!button) return ADD_FAILURE() << "no key " << step.toStdString();
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (step == "Enter" || step == "Return" || step == "Esc" || step == "Backspace") {
            QTest::keyClick(typing, step == "Enter"    ? Qt::Key_Enter
                                    : step == "Return" ? Qt::Key_Return
                                    : step == "Esc"    ? Qt::Key_Escape
                                                       : Qt::Key_Backspace);
        } else {
            for (QChar c : step) QTest::sendKeyEvent(QTest::KeyAction::Click, typing, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

TEST(Confirma, EnterAndConfirmaConfirmEscAndCancelaDoNot) {
    const std::pair<QString, bool> cases[] = {{"Enter", true}, {"Return", true}, {"[confirm]", true}, {"Esc", false}, {"[cancel]", false}};
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

TEST(Texto, TypingOnTheKeyboardAndOnTheScreen) {
    struct Case { const char* name; int maxLength; std::vector<QString> steps; std::optional<QString> typed; };
    const Case cases[] = {
        {"on-screen keys, upper case first", 40, {"[M]", "[A]", "[Ç]", "[Ã]", "[Espaco]", "[1]", "[-]", "[ok]"}, "MAÇÃ 1-"},
        {"lower case", 40, {"[J]", "[Maiusc]", "[O]", "[Ã]", "[O]", "[Maiusc]", "[É]", "Enter"}, "JoãoÉ"},
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

}  // namespace
