// The numeric keypad: keyboard and key buttons, erase, clear, the maximum length, confirm and
// cancel, and keys big enough for a finger.

#include "Gpe00002.h"
#include "ModalDriver.h"

#include <QPushButton>
#include <QTest>
#include <map>

namespace {

// Steps: "5" types a digit on the keyboard, "[5]" or "[Apaga]" clicks that key, "Backspace",
// "Enter", "Return" and "Esc" press those keys.
void play(QWidget* dialog, const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        if (step.front() == '[') {
            auto* key =
                dialog->findChild<QPushButton*>(QString::fromStdString("key" + step.substr(1, step.size() - 2)));
            if (!key) {
                ADD_FAILURE() << "no key " << step;
                return;
            }
            QTest::mouseClick(key, Qt::LeftButton);
        } else if (step == "Backspace" || step == "Enter" || step == "Return" || step == "Esc") {
            const Qt::Key key = step == "Backspace" ? Qt::Key_Backspace
                                : step == "Enter"   ? Qt::Key_Enter
                                : step == "Return"  ? Qt::Key_Return
                                                    : Qt::Key_Escape;
            QTest::keyClick(dialog, key);
        } else {
            QTest::keyClick(dialog, static_cast<Qt::Key>(Qt::Key_0 + (step[0] - '0')));
        }
    }
}

TEST(Keypad, TypingErasingClearingConfirmingAndCancelling) {
    struct Case {
        const char* name;
        std::string initial;
        int size;
        std::vector<std::string> steps;
        bool ok;
        std::string value;
    };
    const Case cases[] = {
        {"keyboard digits", "", 4, {"1", "2", "Enter"}, true, "12"},
        {"key buttons", "", 4, {"[7]", "[0]", "[3]", "[OK]"}, true, "703"},
        {"a starting value is kept when nothing is typed", "0002", 4, {"Enter"}, true, "0002"},
        {"the first digit replaces a starting value", "0002", 4, {"4", "Enter"}, true, "4"},
        {"then digits follow it", "5", 4, {"[9]", "[1]", "Return"}, true, "91"},
        {"erase removes a starting value whole", "123", 4, {"[Apaga]", "8", "Enter"}, true, "8"},
        {"erase by key and Backspace", "", 4, {"1", "2", "3", "[Apaga]", "Backspace", "8", "Enter"}, true, "18"},
        {"erase on empty", "", 4, {"Backspace", "[Apaga]", "4", "Enter"}, true, "4"},
        {"clear", "123", 4, {"[Limpa]", "6", "Enter"}, true, "6"},
        {"four digits at most", "", 4, {"1", "2", "3", "4", "5", "[6]", "Enter"}, true, "1234"},
        {"no maximum", "", 0, {"1", "2", "3", "4", "5", "6", "Enter"}, true, "123456"},
        {"negative maximum is none", "", -1, {"9", "9", "9", "9", "9", "1", "Enter"}, true, "999991"},
        {"Esc keeps the value", "42", 4, {"1", "Esc"}, false, "42"},
        {"Cancela keeps the value", "42", 4, {"[Limpa]", "[Cancela]"}, false, "42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string value = c.initial;
        onModal([&](QWidget* dialog) { play(dialog, c.steps); });
        EXPECT_EQ(Gpe00002::TecladoNumerico(value, "Mesa", "Informe a mesa", "", c.size, 0, 0, 0, 0, 0), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(Keypad, ShowsAStartingValueSelectedAndSaysWhenItIsFull) {
    onModal([](QWidget* dialog) {
        auto* display = dialog->findChild<QLabel*>(QStringLiteral("display"));
        auto* warning = dialog->findChild<QLabel*>(QStringLiteral("aviso"));
        ASSERT_TRUE(display && warning);
        EXPECT_TRUE(display->property("selecionado").toBool());
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("prompt2"))->isHidden())
            << "a second prompt equal to the first is shown once";
        play(dialog, {"1", "2", "3", "4"});
        EXPECT_FALSE(display->property("selecionado").toBool());
        EXPECT_TRUE(warning->isHidden());
        play(dialog, {"5"});
        EXPECT_EQ(display->text(), "1234");
        EXPECT_FALSE(warning->isHidden());
        EXPECT_EQ(warning->text(), "Máximo de 4 dígitos");
        play(dialog, {"Backspace"});
        EXPECT_TRUE(warning->isHidden());
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    std::string value = "0002";
    EXPECT_FALSE(Gpe00002::TecladoNumerico(value, "Alterar Garçom", "Informe o numero do Garçom",
                                           "Informe o numero do Garçom", 4, 0, 0, 0, 0, 0));
}

TEST(Keypad, KeysStayWhereTheyAreWhenTheWarningShows) {
    const QStringList names = {"key0", "key1", "key2", "key3", "key4",  "key5",
                               "key6", "key7", "key8", "key9", "keyOK", "keyApaga"};
    const auto keyPlaces = [&](QWidget* dialog) {
        std::map<QString, QRect> places;
        for (const QString& name : names) {
            const QWidget* key = dialog->findChild<QPushButton*>(name);
            places[name] = QRect(key->mapTo(dialog, QPoint(0, 0)), key->size());
        }
        return places;
    };
    onModal([&](QWidget* dialog) {
        const std::map<QString, QRect> before = keyPlaces(dialog);
        const QRect window = dialog->geometry();
        play(dialog, {"1", "2", "3", "4", "5"});
        QApplication::processEvents();
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("aviso"))->isVisible());
        EXPECT_EQ(keyPlaces(dialog), before);
        EXPECT_EQ(dialog->geometry(), window);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    std::string value;
    EXPECT_FALSE(Gpe00002::TecladoNumerico(value, "Mesa", "Informe a mesa", "", 4, 0, 0, 0, 0, 0));
}

TEST(Keypad, ShowsItsTextsAndTouchSizedKeys) {
    onModal([](QWidget* dialog) {
        EXPECT_EQ(labelText(dialog, "title"), "Mesa");
        EXPECT_EQ(labelText(dialog, "prompt"), "Informe a mesa");
        EXPECT_EQ(labelText(dialog, "prompt2"), "de destino");
        EXPECT_EQ(labelText(dialog, "display"), "17");
        const auto keys = dialog->findChildren<QPushButton*>();
        EXPECT_EQ(keys.size(), 14);
        for (const QPushButton* key : keys) {
            SCOPED_TRACE(key->objectName().toStdString());
            EXPECT_GE(key->minimumWidth(), 64);
            EXPECT_GE(key->minimumHeight(), 56);
            EXPECT_GE(key->font().pointSize(), 16);
            EXPECT_EQ(key->focusPolicy(), Qt::NoFocus);
            EXPECT_EQ(QFontInfo(key->font()).family(), "Liberation Sans");
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    std::string value = "17";
    EXPECT_FALSE(Gpe00002::TecladoNumerico(value, "Mesa", "Informe a mesa", "de destino", 4, 0, 0, 0, 0, 0));
}

TEST(Keypad, LongPromptsLeaveEveryKeyItsFullHeight) {
    onModal([](QWidget* dialog) {
        const auto keys = dialog->findChildren<QPushButton*>();
        for (const QPushButton* key : keys)
            for (const QPushButton* other : keys)
                EXPECT_TRUE(key == other || !key->geometry().intersects(other->geometry()))
                    << key->objectName().toStdString() << " over " << other->objectName().toStdString();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    std::string value = "2";
    EXPECT_FALSE(Gpe00002::TecladoNumerico(value, "Transferir produto", "Quantidade de AGUA MINERAL 500ML a transferir",
                                           "Confirme 2 para transferir tudo, ou digite unidades inteiras", 6, 0, 0, 0,
                                           0, 0));
}

}  // namespace
