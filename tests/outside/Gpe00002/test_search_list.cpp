// The search list: which columns and rows it shows, picking a record by keys, mouse and OK,
// cancelling, an empty dataset and the colours it is given.

#include "Gpe00002.h"
#include "ModalDriver.h"
#include "SearchList.h"
#include "TClientDataSet.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

namespace {

using Gpe00002::SearchListData;

// Four tables: CODIGO (shown as "Mesa"), INTERNO (hidden), NOME (20 characters) and VALOR.
class SearchListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ds.FieldDefs() = {{"CODIGO", TFieldType::ftInteger, 0},
                          {"INTERNO", TFieldType::ftString, 5},
                          {"NOME", TFieldType::ftString, 20},
                          {"VALOR", TFieldType::ftFloat, 0}};
        ds.CreateDataSet();
        const std::vector<std::pair<int, const char*>> tables = {
            {1, "Salão"}, {2, "Varanda"}, {3, "Bar"}, {4, "Terraço"}};
        for (const auto& [code, name] : tables) {
            ds.Append();
            ds.FieldByName("CODIGO").setAsInteger(code);
            ds.FieldByName("INTERNO").setAsString("x");
            ds.FieldByName("NOME").setAsString(name);
            ds.FieldByName("VALOR").setAsFloat(code * 1.5);
            ds.Post();
        }
        ds.FieldByName("CODIGO").setDisplayLabel("Mesa");
        ds.FieldByName("INTERNO").setVisible(false);
        ds.FieldByName("VALOR").setDisplayWidth(8);
        moveTo(3);
    }
    void moveTo(int recNo) {
        ds.First();
        while (ds.RecNo() < recNo) ds.Next();
    }
    bool pesquisa() { return Gpe00002::Pesquisa(ds, 0, 0, 11776174, 13684686, 4407615, 8487297, 0); }

    TClientDataSet ds{"Mesas"};
};

TEST_F(SearchListTest, ListsTheVisibleFieldsAndEveryShownRecordAndKeepsTheCursor) {
    const SearchListData data(ds);
    ASSERT_EQ(data.columns().size(), 3u);
    const std::vector<std::tuple<int, QString, int, bool>> expected = {
        {0, "Mesa", 10, true}, {2, "NOME", 20, false}, {3, "VALOR", 8, true}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& column = data.columns()[i];
        EXPECT_EQ(std::tie(column.field, column.label, column.displayWidth, column.numeric), expected[i]) << i;
    }
    const std::vector<QStringList> rows = {
        {"1", "Salão", "1,5"}, {"2", "Varanda", "3"}, {"3", "Bar", "4,5"}, {"4", "Terraço", "6"}};
    EXPECT_EQ(data.rows(), rows);
    EXPECT_EQ(data.currentRow(), 2);
    EXPECT_EQ(ds.RecNo(), 3);

    ds.setFilter("CODIGO > 2");
    ds.setFiltered(true);
    ds.Next();
    const SearchListData filtered(ds);
    EXPECT_EQ(filtered.rows(), (std::vector<QStringList>{rows[2], rows[3]}));
    EXPECT_EQ(filtered.currentRow(), 1);
    EXPECT_EQ(ds.RecNo(), 2);
}

TEST_F(SearchListTest, MakeCurrentAndColumnWidth) {
    for (int row = 3; row >= 0; --row) {
        SearchListData::makeCurrent(ds, row);
        EXPECT_EQ(ds.FieldByName("CODIGO").AsInteger(), row + 1);
    }
    EXPECT_THROW(SearchListData::makeCurrent(ds, 4), EDatabaseError);
    EXPECT_THROW(SearchListData::makeCurrent(ds, -1), EDatabaseError);
    EXPECT_EQ(SearchListData::columnWidth(10, 8, 6, 50), 86);
    EXPECT_EQ(SearchListData::columnWidth(5, 8, 6, 50), 50);
    EXPECT_EQ(SearchListData::columnWidth(-1, 8, 6, 30), 30);
}

TEST_F(SearchListTest, ColoursAreBgrNumbersAndOthersKeepTheDefault) {
    const QColor fallback(1, 2, 3);
    EXPECT_EQ(Gpe00002::SearchColors::colorFromBgr(11776174, fallback), QColor(0xAE, 0xB0, 0xB3));
    EXPECT_EQ(Gpe00002::SearchColors::colorFromBgr(0x0000FF, fallback), QColor(255, 0, 0));
    EXPECT_EQ(Gpe00002::SearchColors::colorFromBgr(0xFF0000, fallback), QColor(0, 0, 255));
    EXPECT_EQ(Gpe00002::SearchColors::colorFromBgr(-16777201, fallback), fallback);
    EXPECT_EQ(Gpe00002::SearchColors::colorFromBgr(0x1000000, fallback), fallback);
}

TEST_F(SearchListTest, ShowsTheColumnsAndRowsForTouch) {
    onModal([](QWidget* dialog) {
        auto* list = dialog->findChild<QTableWidget*>("list");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->columnCount(), 3);
        EXPECT_EQ(list->rowCount(), 4);
        const QFontMetrics header(list->horizontalHeader()->font());
        for (int c = 0; c < 3; ++c) {
            const QString label = list->horizontalHeaderItem(c)->text();
            EXPECT_EQ(label, (QStringList{"Mesa", "NOME", "VALOR"}[c]));
            EXPECT_GE(list->columnWidth(c), header.horizontalAdvance(label));
        }
        EXPECT_GE(list->columnWidth(1), 20 * QFontMetrics(list->font()).averageCharWidth());
        EXPECT_GE(list->rowHeight(0), 48);
        EXPECT_GE(list->font().pointSize(), 16);
        EXPECT_EQ(list->item(3, 1)->text(), "Terraço");
        EXPECT_EQ(list->currentRow(), 2);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(pesquisa());
}

TEST(SearchList, ShowsACodeThatFillsItsColumnWhole) {
    TClientDataSet seats{"Lugares"};
    seats.FieldDefs() = {{"NRLUGARMESA", TFieldType::ftString, 4}};
    seats.CreateDataSet();
    seats.Append();
    seats.FieldByName("NRLUGARMESA").setAsString("0008");
    seats.Post();
    seats.FieldByName("NRLUGARMESA").setDisplayLabel("L");  // narrower than the code
    onModal([](QWidget* dialog) {
        auto* list = dialog->findChild<QTableWidget*>("list");
        // The view draws the text inside these margins, and elides what does not fit.
        const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        EXPECT_LE(QFontMetrics(list->font()).horizontalAdvance("0008") + margins, list->columnWidth(0));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(Gpe00002::Pesquisa(seats, 0, 0, 11776174, 13684686, 4407615, 8487297, 0));
}

TEST_F(SearchListTest, PickingMakesTheRecordCurrentAndCancellingLeavesTheCursor) {
    using Action = std::function<void(QWidget*, QTableWidget*)>;
    const auto click = [](QWidget* dialog, const char* name) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(name), Qt::LeftButton);
    };
    struct Case {
        const char* name;
        Action action;
        bool picked;
        int recNo;
    };
    const Case cases[] = {
        {"arrows on the list, Enter",
         [](QWidget*, QTableWidget* list) {
             QTest::keyClick(list, Qt::Key_Up);
             QTest::keyClick(list, Qt::Key_Up);
             QTest::keyClick(list, Qt::Key_Up);  // stays on the first row
             QTest::keyClick(list, Qt::Key_Down);
             QTest::keyClick(list, Qt::Key_Enter);
         },
         true, 2},
        {"arrows on the dialog, Return",
         [](QWidget* dialog, QTableWidget*) {
             QTest::keyClick(dialog, Qt::Key_Up);
             QTest::keyClick(dialog, Qt::Key_Return);
         },
         true, 2},
        {"double click",
         [](QWidget*, QTableWidget* list) {
             const QRect cell = list->visualItemRect(list->item(3, 1));
             QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
         },
         true, 4},
        {"click and OK",
         [&](QWidget* dialog, QTableWidget* list) {
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0, 0)).center());
             click(dialog, "ok");
         },
         true, 1},
        {"Esc after moving",
         [](QWidget* dialog, QTableWidget* list) {
             QTest::keyClick(list, Qt::Key_Down);
             QTest::keyClick(dialog, Qt::Key_Escape);
         },
         false, 3},
        {"Cancela", [&](QWidget* dialog, QTableWidget*) { click(dialog, "cancel"); }, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        moveTo(3);
        onModal([&](QWidget* dialog) { c.action(dialog, dialog->findChild<QTableWidget*>("list")); });
        EXPECT_EQ(pesquisa(), c.picked);
        EXPECT_EQ(ds.RecNo(), c.recNo);
    }
}

TEST_F(SearchListTest, EmptyDatasetListsNothingAndAnswersFalse) {
    while (!ds.IsEmpty()) ds.Delete();
    bool stillOpen = false;
    onModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->findChild<QTableWidget*>("list")->rowCount(), 0);
        QTest::mouseClick(dialog->findChild<QPushButton*>("ok"), Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Enter);
        stillOpen = QApplication::activeModalWidget() == dialog && dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(pesquisa());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ds.RecNo(), 0);

    ds.Close();
    EXPECT_THROW(pesquisa(), EDatabaseError);
}

}  // namespace
