// The numeric keypad: keyboard and key buttons, erase, clear, the maximum length, confirm and
// cancel, and keys big enough for a finger.

#include "Gpe00002.h"
#include "ModalDriver.h"

#include <QPushButton>
#include <QTest>

namespace {

// Steps: "5" types a digit on the keyboard, "[5]" or "[Apaga]" clicks that key, "Backspace",
// "Enter", "Return" and "Esc" press those keys.
void play(QWidget* dialog, const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        if (step.front() == '[') {
            auto* key = dialog->findChild<QPushButton*>(QString::fromStdString("key" + step.substr(1, step.size() - 2)));
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
    struct Case { const char* name; std::string initial; int size; std::vector<std::string> steps; bool ok; std::string value; };
    const Case cases[] = {
        {"keyboard digits", "", 4, {"1", "2", "Enter"}, true, "12"},
        {"key buttons", "", 4, {"[7]", "[0]", "[3]", "[OK]"}, true, "703"},
        {"starts with the value", "5", 4, {"[9]", "Return"}, true, "59"},
        {"erase by key and Backspace", "123", 4, {"[Apaga]", "Backspace", "8", "Enter"}, true, "18"},
        {"erase on empty", "", 4, {"Backspace", "[Apaga]", "4", "Enter"}, true, "4"},
        {"clear", "123", 4, {"[Limpa]", "6", "Enter"}, true, "6"},
        {"four digits at most", "", 4, {"1", "2", "3", "4", "5", "[6]", "Enter"}, true, "1234"},
        {"no maximum", "", 0, {"1", "2", "3", "4", "5", "6", "Enter"}, true, "123456"},
        {"negative maximum is none", "99999", -1, {"1", "Enter"}, true, "999991"},
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
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    std::string value = "17";
    EXPECT_FALSE(Gpe00002::TecladoNumerico(value, "Mesa", "Informe a mesa", "de destino", 4, 0, 0, 0, 0, 0));
}

}  // namespace
