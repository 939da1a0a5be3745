// The table map: choosing by touch and by keyboard, single and multiple, the minimum, tables not
// offered, rooms, and tiles big enough for a finger on a 1024x768 screen.

#include "Dialogs.h"
#include "ModalDriver.h"
#include "screens/TableMap.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

using Gpe00002::MapTable;
using Gpe00002::TableMapRequest;

MapTable table(const char* numero, const char* sala, const char* estado, const char* reason = "",
               const char* grupo = "") {
    Gpe00002::TableState state;
    state.numero = QString::fromLatin1(numero);
    state.nome = QStringLiteral("Mesa %1").arg(state.numero.toInt());
    state.sala = QString::fromLatin1(sala);
    state.estado = QString::fromLatin1(estado);
    state.grupo = QString::fromLatin1(grupo);
    return {state, *reason == 0, QString::fromUtf8(reason)};
}

// Two rooms; 0002 is not offered; 0003 and 0020 are grouped.
TableMapRequest request(bool multiple, int minimum = 1) {
    return {QStringLiteral("Agrupar mesas"),
            QStringLiteral("Escolha as mesas"),
            {table("0001", "1", "L"), table("0002", "1", "O", "ocupada"), table("0003", "1", "L", "", "0000000003"),
             table("0020", "1", "R", "", "0000000003"), table("0021", "1", "P"), table("0031", "2", "L"),
             table("0032", "2", "X")},
            multiple,
            minimum};
}

// Steps: "@0021" touches that table, a run of digits types them, "[ok]" or "[cancel]" clicks that
// button, any other word presses that key.
void play(QWidget* dialog, const std::vector<std::string>& steps) {
    static const std::map<std::string, Qt::Key> keys = {
        {"Enter", Qt::Key_Enter},         {"Return", Qt::Key_Return},    {"Esc", Qt::Key_Escape},
        {"Space", Qt::Key_Space},         {"Left", Qt::Key_Left},        {"Right", Qt::Key_Right},
        {"Backspace", Qt::Key_Backspace}, {"PageDown", Qt::Key_PageDown}};
    for (const std::string& step : steps) {
        if (step.front() == '@' || step.front() == '[') {
            const QString name = step.front() == '@' ? QStringLiteral("mesa") + QString::fromStdString(step.substr(1))
                                                     : QString::fromStdString(step.substr(1, step.size() - 2));
            auto* button = dialog->findChild<QAbstractButton*>(name);
            if (!button) return ADD_FAILURE() << "no button " << step;
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (std::isdigit(static_cast<unsigned char>(step.front()))) {
            for (char digit : step) QTest::keyClick(dialog, static_cast<Qt::Key>(Qt::Key_0 + (digit - '0')));
        } else if (keys.count(step)) {
            QTest::keyClick(dialog, keys.at(step));
        } else {
            return ADD_FAILURE() << "unknown step " << step;
        }
    }
    if (dialog->isVisible()) {
        ADD_FAILURE() << "the map is still open";
        static_cast<QDialog*>(dialog)->reject();
    }
}

TEST(TableMap, ChoosingByTouchAndByKeyboard) {
    struct Case {
        const char* name;
        bool multiple;
        int minimum;
        std::vector<std::string> steps;
        std::optional<QStringList> chosen;
    };
    const Case cases[] = {
        {"a touch chooses", false, 1, {"@0021"}, QStringList{"0021"}},
        {"a table not offered takes no touch", false, 1, {"@0002", "@0001"}, QStringList{"0001"}},
        {"typing a number and Enter", false, 1, {"21", "Enter"}, QStringList{"0021"}},
        {"a number that is no table's chooses nothing", false, 1, {"213", "Return", "Esc"}, std::nullopt},
        {"Backspace erases a typed digit", false, 1, {"20", "Backspace", "1", "Enter"}, QStringList{"0021"}},
        {"a typed table of another room", false, 1, {"31", "Enter"}, QStringList{"0031"}},
        {"a table not offered takes no Enter", false, 1, {"2", "Enter", "Esc"}, std::nullopt},
        // Right from no cursor lands on the room's first table; Space on 0002 (not offered) does nothing.
        {"arrows and Space",
         false,
         1,
         {"Right", "Right", "Space", "Right", "Left", "Right", "Space"},
         QStringList{"0003"}},
        {"OK takes the table under the cursor", false, 1, {"3", "[ok]"}, QStringList{"0003"}},
        {"Enter with no table says so", false, 1, {"Enter", "Esc"}, std::nullopt},
        {"another room's page drops the cursor", false, 1, {"3", "PageDown", "Enter", "[cancel]"}, std::nullopt},
        {"Esc", false, 1, {"Esc"}, std::nullopt},
        {"touches toggle, sorted", true, 1, {"@0020", "@0001", "@0003", "@0003", "[ok]"}, QStringList{"0001", "0020"}},
        {"typed numbers and Enter mark, Enter alone confirms",
         true,
         2,
         {"1", "Enter", "21", "Enter", "Enter"},
         QStringList{"0001", "0021"}},
        {"below the minimum OK and Enter wait",
         true,
         2,
         {"@0001", "[ok]", "Enter", "PageDown", "@0031", "[ok]"},
         QStringList{"0001", "0031"}},
        {"not offered is not marked", true, 1, {"@0002", "2", "Enter", "Right", "Space", "Enter"}, QStringList{"0003"}},
        {"marks survive a change of room",
         true,
         1,
         {"@0001", "PageDown", "@0031", "[ok]"},
         QStringList{"0001", "0031"}},
        {"cancel after marking", true, 1, {"@0001", "[cancel]"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        onModal([&](QWidget* dialog) { play(dialog, c.steps); });
        EXPECT_EQ(Gpe00002::MapaMesas(request(c.multiple, c.minimum)), c.chosen);
    }
}

TEST(TableMap, ATapWithinTheSettleTimeOfTheTapTakenIsPartOfIt) {
    const SettleTime settle(300);
    struct Tap {
        const char* table;  // "salas": the second room's tab
        int afterMs;
        bool secondOfDouble;
    };
    struct Case {
        const char* name;
        std::vector<Tap> taps;
        QStringList marked;
        int room;
    };
    const Case cases[] = {
        {"a double tap marks once", {{"0001", 400, false}, {"0001", 150, true}}, {"0001"}, 0},
        {"a second tap on another table", {{"0001", 400, false}, {"0003", 200, false}}, {"0001"}, 0},
        {"taps 400 ms apart mark and unmark", {{"0001", 400, false}, {"0001", 400, false}}, {}, 0},
        {"the time counts from the tap taken",
         {{"0001", 400, false}, {"0001", 150, true}, {"0001", 200, false}},
         {},
         0},
        {"a tap on a table not offered counts", {{"0002", 400, false}, {"0001", 150, false}}, {}, 0},
        {"a second tap on a room's tab", {{"0001", 400, false}, {"salas", 100, false}}, {"0001"}, 0},
        {"a tab tapped after the settle time", {{"0001", 400, false}, {"salas", 400, false}}, {"0001"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList marked;
        int room = -1;
        QPushButton opener(QStringLiteral("Agrupar"));
        opener.show();
        QObject::connect(&opener, &QPushButton::clicked, [] { Gpe00002::MapaMesas(request(true)); });
        onModal([&](QWidget* dialog) {
            auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("salas"));
            Finger::sync();
            for (const Tap& tap : c.taps) {
                if (std::string(tap.table) == "salas")
                    Finger::tap(tabs->tabBar(), tap.afterMs, false, tabs->tabBar()->tabRect(1).center());
                else
                    Finger::tap(dialog->findChild<QAbstractButton*>(QStringLiteral("mesa") + tap.table), tap.afterMs,
                                tap.secondOfDouble);
            }
            marked = dialog->findChild<Gpe00002::TableMap*>()->chosen();
            room = tabs->currentIndex();
            static_cast<QDialog*>(dialog)->reject();
        });
        Finger::tap(&opener, 1000);
        EXPECT_EQ(marked, c.marked);
        EXPECT_EQ(room, c.room);
    }
}

TEST(TableMap, ShowsWhatIsChosenAndWhyATableIsNotOffered) {
    Gpe00002::TableMapDialog dialog(request(true, 2));
    dialog.show();
    auto* map = dialog.map();
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    auto* busy = dialog.findChild<QAbstractButton*>(QStringLiteral("mesa0002"));
    ASSERT_TRUE(ok && busy);
    EXPECT_FALSE(busy->isEnabled());
    EXPECT_TRUE(busy->toolTip().contains(QStringLiteral("ocupada")));
    EXPECT_FALSE(ok->isEnabled());
    QTest::mouseClick(busy, Qt::LeftButton);
    EXPECT_EQ(labelText(&dialog, "info"), "Mesa 0002 indisponível: ocupada");
    EXPECT_EQ(map->cursorTable(), "0002");
    EXPECT_TRUE(busy->property("sobCursor").toBool()) << "the cursor is drawn where it is";
    QTest::mouseClick(dialog.findChild<QAbstractButton*>(QStringLiteral("mesa0020")), Qt::LeftButton);
    EXPECT_EQ(labelText(&dialog, "escolhidas"), "Escolhidas: 0020 (escolha pelo menos 2)");
    EXPECT_EQ(labelText(&dialog, "info"), "Mesa 0020 (Mesa 20): reservada, agrupamento 3");
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(&dialog, QStringLiteral("3"));
    QTest::keyClick(&dialog, Qt::Key_Enter);
    EXPECT_EQ(labelText(&dialog, "escolhidas"), "Escolhidas: 0003, 0020");
    EXPECT_TRUE(ok->isEnabled());
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("salas"));
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(1), "Sala 2");
    // A store with one room gets no tabs.
    TableMapRequest oneRoom = request(false);
    oneRoom.tables.resize(5);
    Gpe00002::TableMapDialog single(oneRoom);
    EXPECT_EQ(single.findChild<QTabWidget*>(), nullptr);
    EXPECT_NE(single.findChild<QScrollArea*>(QStringLiteral("sala1")), nullptr);
    // Come back to with Cancela, a map shows the previous choice: marked (tables it does not offer
    // left out), or under the cursor.
    TableMapRequest back = request(true, 2);
    back.marked = {"0002", "0031", "0003"};
    EXPECT_EQ(Gpe00002::TableMap(back).chosen(), (QStringList{"0003", "0031"}));
    back = request(false);
    back.marked = {"0031"};
    Gpe00002::TableMap one(back);
    EXPECT_EQ(one.cursorTable(), "0031");
    EXPECT_EQ(one.chosen(), QStringList{"0031"});
}

TEST(TableMap, TilesAreTouchSizedAndManyTablesScrollAt1024x768) {
    TableMapRequest many{QStringLiteral("Transferir mesa"), QStringLiteral("Escolha a mesa de origem"), {}, false, 1};
    for (int i = 1; i <= 120; ++i) {
        const QByteArray numero = QByteArray::number(i).rightJustified(4, '0');
        many.tables.push_back(table(numero.constData(), i <= 100 ? "1" : "2", i % 3 ? "L" : "O", i % 7 ? "" : "ocupada",
                                    i % 5 ? "" : "0000000001"));
    }
    Gpe00002::TableMapDialog dialog(many);
    const QSize screen(1024, 768);
    dialog.resize(Gpe00002::TableMapDialog::sizeFor(screen));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_LE(dialog.width(), screen.width());
    EXPECT_LE(dialog.height(), screen.height());
    auto* room = dialog.findChild<QScrollArea*>(QStringLiteral("sala1"));
    ASSERT_TRUE(room);
    EXPECT_TRUE(room->verticalScrollBar()->isVisible()) << "100 tables scroll";
    QSize smallest(10000, 10000);
    for (auto* button : room->findChildren<QAbstractButton*>()) {
        smallest = smallest.boundedTo(button->size());
        EXPECT_LE(button->geometry().right(), room->viewport()->width()) << button->objectName().toStdString();
    }
    EXPECT_GE(smallest.width(), 64);
    EXPECT_GE(smallest.height(), 64);
    for (const char* name : {"ok", "cancel"}) {
        const QWidget* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_GE(button->width(), 64);
        EXPECT_GE(button->height(), 56);
    }
    // The keyboard's cursor brings a table out of sight into view.
    QTest::keyClicks(&dialog, QStringLiteral("99"));
    const QWidget* far = dialog.findChild<QAbstractButton*>(QStringLiteral("mesa0099"));
    const int top = far->mapTo(room->viewport(), QPoint(0, 0)).y();
    EXPECT_GE(top, 0);
    EXPECT_LE(top + far->height(), room->viewport()->height());
}

}  // namespace
