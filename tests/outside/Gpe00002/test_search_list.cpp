// The search list: which columns and rows it shows, picking a record by keys, mouse and OK,
// cancelling, an empty dataset and the colours it is given.

#include "Gpe00002.h"
#include "ModalDriver.h"
#include "screens/SearchList.h"
#include "TClientDataSet.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
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

TEST(SearchList, RightAlignsNumbersAmountsAndQuantitiesAndFillsItsWidth) {
    const std::tuple<const char*, bool, bool> alignments[] = {
        {"VRTOTAL", false, true}, {"QTITENS", false, true},    {"vrDesconto", false, true},
        {"CODIGO", true, true},   {"NMPRODUTO", false, false}, {"NRVENDAREST", false, false},
    };
    for (const auto& [name, numeric, right] : alignments)
        EXPECT_EQ(SearchListData::rightAligned(QString::fromLatin1(name), numeric), right) << name;

    struct Case {
        const char* name;
        std::vector<int> natural, least;
        int room;
        std::vector<int> widths;
    };
    const Case cases[] = {
        {"room to spare: each grows by its share", {100, 50, 50}, {100, 50, 50}, 400, {200, 100, 100}},
        {"exactly the room", {100, 50}, {80, 50}, 150, {100, 50}},
        {"a long header gives way first", {300, 100}, {120, 100}, 300, {200, 100}},
        {"then the texts, by their share", {400, 100}, {300, 100}, 200, {150, 50}},
        {"rounding goes to the last", {100, 100, 100}, {100, 100, 100}, 301, {100, 100, 101}},
    };
    for (const Case& c : cases) EXPECT_EQ(SearchListData::fill(c.natural, c.least, c.room), c.widths) << c.name;

    // The reprint's tickets: an amount held as text is right-aligned, header and cells.
    TClientDataSet tickets{"cdsComandas"};
    tickets.FieldDefs() = {{"NRCOMANDA", TFieldType::ftString, 10}, {"VRTOTAL", TFieldType::ftString, 16}};
    tickets.CreateDataSet();
    tickets.Append();
    tickets.FieldByName("NRCOMANDA").setAsString("0000000001");
    tickets.FieldByName("VRTOTAL").setAsString("1.234,50");
    tickets.Post();
    onModal([](QWidget* dialog) {
        auto* list = dialog->findChild<QTableWidget*>("list");
        for (int c = 0; c < 2; ++c) {
            const Qt::Alignment horizontal = c == 1 ? Qt::AlignRight : Qt::AlignLeft;
            EXPECT_EQ(Qt::Alignment(list->item(0, c)->textAlignment()) & Qt::AlignHorizontal_Mask, horizontal);
            EXPECT_EQ(Qt::Alignment(list->horizontalHeaderItem(c)->textAlignment()) & Qt::AlignHorizontal_Mask,
                      horizontal);
        }
        EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(Gpe00002::Pesquisa(tickets, 0, 0, 11776174, 13684686, 4407615, 8487297, 0));
}

TEST_F(SearchListTest, WholeRowsAreTheTargetOfATouch) {
    struct Case {
        const char* name;
        std::function<void(QTableWidget*)> touch;
        bool picked;
        int recNo;
    };
    // Right of the last column's text, and below the last row.
    const auto right = [](QTableWidget* list, int row) {
        return QPoint(list->viewport()->width() - 4, list->visualItemRect(list->item(row, 0)).center().y());
    };
    const auto below = [](QTableWidget* list) {
        return QPoint(20, list->visualItemRect(list->item(list->rowCount() - 1, 0)).bottom() + 10);
    };
    const Case cases[] = {
        {"a touch right of the texts chooses the row, OK picks it",
         [&](QTableWidget* list) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, right(list, 1)); }, true, 2},
        {"a double touch there picks it",
         [&](QTableWidget* list) { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, right(list, 0)); }, true,
         1},
        {"a touch below the last row keeps the choice",
         [&](QTableWidget* list) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below(list)); }, true, 3},
        {"a double touch there picks nothing",
         [&](QTableWidget* list) { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below(list)); }, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        moveTo(3);
        onModal([&](QWidget* dialog) {
            auto* list = dialog->findChild<QTableWidget*>("list");
            c.touch(list);
            if (dialog->isVisible() && c.picked)
                QTest::mouseClick(dialog->findChild<QPushButton*>("ok"), Qt::LeftButton);
            else if (dialog->isVisible())
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(pesquisa(), c.picked);
        EXPECT_EQ(ds.RecNo(), c.recNo);
    }
}

TEST(SearchList, OpenedAgainAfterAMoveItKeepsItsPlaceAndScroll) {
    // Twenty items; each pass moves the picked one away, as the product transfer does.
    TClientDataSet items{"cdsProduto"};
    items.FieldDefs() = {{"NMPRODUTO", TFieldType::ftString, 30}, {"QTPRODCOMVEN", TFieldType::ftFloat, 0}};
    items.CreateDataSet();
    for (int i = 1; i <= 20; ++i) {
        items.Append();
        items.FieldByName("NMPRODUTO").setAsString(QStringLiteral("Item %1").arg(i));
        items.FieldByName("QTPRODCOMVEN").setAsFloat(i);
        items.Post();
    }
    struct Seen {
        QRect geometry;
        int scroll = -1;
    };
    // Opens the list on the first record, notes where it stands and, with `scrollTo`, scrolls
    // there and picks the first row in view.
    const auto open = [&](int scrollTo) {
        Seen seen;
        onModal([&](QWidget* dialog) {
            auto* list = dialog->findChild<QTableWidget*>("list");
            seen = {dialog->geometry(), list->verticalScrollBar()->value()};
            if (scrollTo < 0) return QTest::keyClick(dialog, Qt::Key_Escape);
            list->verticalScrollBar()->setValue(scrollTo);
            list->setCurrentCell(list->rowAt(1), 0);
            QTest::keyClick(dialog, Qt::Key_Enter);
        });
        items.First();
        if (Gpe00002::Pesquisa(items, 0, 0, 11776174, 13684686, 4407615, 8487297, 0)) items.Delete();
        return seen;
    };
    Gpe00002::SearchListDialog::forgetPositions();
    const Seen first = open(7);
    EXPECT_EQ(first.scroll, 0) << "a list opened the first time shows its current row, the first";
    const Seen again = open(9);
    EXPECT_EQ(again.geometry, first.geometry);
    EXPECT_EQ(again.scroll, 7);
    EXPECT_EQ(open(-1).scroll, 9);
    EXPECT_EQ(items.RecordCount(), 18);

    Gpe00002::SearchListDialog::forgetPositions();
    EXPECT_EQ(open(-1).scroll, 0) << "an operation that starts forgets the places";
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
