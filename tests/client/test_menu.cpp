// The menu's life: entry point, start-up from the local parameter files, closing, failures,
// and the form's look.
#include "Cli_res00011.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "RestaurantSchema.h"
#include "Screen.h"
#include "Srv_res00011.h"
#include "TBlendedBitBtn.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// Reads the form's private members.
class TfrmMenuTestAccess {
public:
    struct Members {
        std::string esquema, operador, filial, loja, confTela, argConsulta, caixa, lugarMesa;
        int agrup, cancAgrup, transfProduto, transfMesa, reservMesa, reiVenSatNFCe;
        bool utilizaImpFis;
    };
    static Members read(const TfrmMenu& f) {
        return {f.stEsquema,       f.stOperador,   f.stFilial,     f.stLoja,          f.stConfTela,
                f.stArgConsulta,   f.stCaixa,      f.stLugarMesa,  f.ctAgrupMesa,     f.ctCancAgrupMesa,
                f.ctTransfProduto, f.ctTransfMesa, f.ctReservMesa, f.ctReiVenSatNFCe, f.boUtilizaImpFis};
    }
};

namespace {

using Cli_res00011::boCriaMenu;
using Cli_res00011::frmMenu;
using Srv_res00011::rdmMenu;

struct Column {
    const char* name;
    TFieldType type;
    int size;
};

// Writes a packet file with the given columns and rows (texts as written, "" for null).
void writePacketFile(const QString& path, const std::vector<Column>& columns,
                     const std::vector<std::vector<QVariant>>& rows) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    TClientDataSet data;
    for (const Column& column : columns) data.FieldDefs().push_back({column.name, column.type, column.size});
    data.CreateDataSet();
    for (const auto& row : rows) {
        data.Append();
        for (std::size_t i = 0; i < row.size(); ++i) data.Fields(static_cast<int>(i)).setValue(row[i]);
        data.Post();
    }
    data.SaveToFile(path);
}

const std::vector<Column> kParameterColumns = {
    {"IDESQUEMA", TFieldType::ftString, 3},
    {"CDOPERADORLOGIN", TFieldType::ftString, 12},
    {"ctAgrupMesa", TFieldType::ftInteger, 0},
    {"ctCancAgrupMesa", TFieldType::ftInteger, 0},
    {"ctTransfProduto", TFieldType::ftInteger, 0},
    {"ctTransfMesa", TFieldType::ftInteger, 0},
    {"ctReservMesa", TFieldType::ftInteger, 0},
    {"IDLUGARMESA", TFieldType::ftString, 1},
    {"UTILIZAIMPFIS", TFieldType::ftBoolean, 0},
    {"CDCAIXA", TFieldType::ftString, 3},
    {"ctReiVenSatNFCe", TFieldType::ftInteger, 0},
    // The station's branch and store, which the operations package reads and the menu does not.
    {"CDFILIAL", TFieldType::ftString, 4},
    {"CDLOJA", TFieldType::ftString, 4},
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Process::setExecutableFolderForTests(m_dir.path());
        qunsetenv("QOR_CONNECTION");
        // The default database: restaurante.db in the executable's folder.
        TADOConnection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") +
                                       m_dir.filePath(QStringLiteral("restaurante.db")));
        connection.Open();
        createRestaurantSchema(connection);
    }
    void TearDown() override {
        Process::setExecutableFolderForTests({});
        qunsetenv("QOR_CONNECTION");
    }

public:
    QString parametersPath() const { return m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS")); }
    QString accessPath() const { return m_dir.filePath(QStringLiteral("Dados/Cadastros/ControleAcess.cds")); }
    QString iniPath() const { return m_dir.filePath(QStringLiteral("conexao.ini")); }

    void writeParameters(const std::vector<std::vector<QVariant>>& rows) {
        writePacketFile(parametersPath(), kParameterColumns, rows);
    }
    void writeAccess(const QVariant& operador) {
        writePacketFile(accessPath(), {{"CDOPERADOR", TFieldType::ftString, 12}}, {{operador}});
    }

protected:
    // Calls the entry point; `whileShown` runs once the menu waits in its modal loop, then the
    // close button closes it (unless whileShown closed it already).
    void runMenu(const std::function<void()>& whileShown, const std::string& filial = "0001",
                 const std::string& loja = "0001", const std::string& conf = "0001", const std::string& arg = "") {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            if (whileShown) whileShown();
            if (frmMenu && frmMenu->isVisible()) frmMenu->lblSairClick();
        });
        Cli_res00011::CriaMenuMesa(filial, loja, conf, arg);
        EXPECT_TRUE(ran) << "the menu was never shown";
    }

    void expectIdle() {
        EXPECT_EQ(frmMenu, nullptr);
        EXPECT_EQ(rdmMenu, nullptr);
        EXPECT_FALSE(boCriaMenu);
    }

    QTemporaryDir m_dir;
};

TEST_F(MenuTest, OpensWithDefaultsWhenNoFileExistsAndFreesEverythingOnClose) {
    TfrmMenuTestAccess::Members seen{};
    bool connected = false, shownCursorDefault = false, flagWhileShown = false;
    QString footer;
    runMenu(
        [&] {
            ASSERT_NE(frmMenu, nullptr);
            ASSERT_NE(rdmMenu, nullptr);
            seen = TfrmMenuTestAccess::read(*frmMenu);
            connected = rdmMenu->adcMenu.Connected();
            shownCursorDefault = Screen::cursor() == Screen::crDefault;
            flagWhileShown = boCriaMenu;
            footer = frmMenu->lblCodTela->text();
        },
        " 0001", "", "0001 ", "consulta");
    EXPECT_TRUE(connected);
    EXPECT_TRUE(shownCursorDefault) << "the default cursor is in force while the menu is shown";
    EXPECT_TRUE(flagWhileShown);
    EXPECT_EQ(seen.filial, " 0001") << "the host's strings are stored unchanged";
    EXPECT_EQ(seen.loja, "");
    EXPECT_EQ(seen.confTela, "0001 ");
    EXPECT_EQ(seen.argConsulta, "consulta");
    EXPECT_EQ(seen.esquema, "");
    EXPECT_EQ(seen.operador, "");
    EXPECT_EQ(seen.caixa, "");
    EXPECT_EQ(seen.lugarMesa, "");
    EXPECT_EQ(seen.agrup + seen.cancAgrup + seen.transfProduto + seen.transfMesa + seen.reservMesa + seen.reiVenSatNFCe,
              0);
    EXPECT_FALSE(seen.utilizaImpFis);
    EXPECT_EQ(footer, QString::fromStdString(Mensagemqor::MontaRodapeGeral(false, "RES00011", "S")));
    EXPECT_NE(footer, "Res00011");
    expectIdle();
    EXPECT_EQ(Screen::cursor(), Screen::crDefault);
}

TEST_F(MenuTest, ReadsTheParameterFileAndTheAccessFileOperatorWins) {
    struct Case {
        const char* name;
        bool parameters;
        bool access;
        QVariant accessOperator;
        std::string operador;
    };
    const Case cases[] = {
        {"parameters only", true, false, {}, "000000000042"},
        {"both", true, true, QStringLiteral("000000000007"), "000000000007"},
        {"both, access operator empty", true, true, QStringLiteral(""), ""},
        {"both, access operator null", true, true, QVariant(), ""},
        {"access only", false, true, QStringLiteral("000000000007"), "000000000007"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(parametersPath());
        QFile::remove(accessPath());
        if (c.parameters)
            writeParameters(
                {{QStringLiteral("002"), QStringLiteral("000000000042"), 10, 11, 12, 13, 14, QStringLiteral("S"), true,
                  QStringLiteral("003"), 15, QStringLiteral("0009"), QStringLiteral("0008")},
                 {QStringLiteral("999"), QStringLiteral("second"), 90, 91, 92, 93, 94, QStringLiteral("N"), false,
                  QStringLiteral("999"), 95}});
        if (c.access) writeAccess(c.accessOperator);
        TfrmMenuTestAccess::Members seen{};
        QString footer;
        runMenu([&] {
            seen = TfrmMenuTestAccess::read(*frmMenu);
            footer = frmMenu->lblCodTela->text();
        });
        EXPECT_EQ(seen.operador, c.operador);
        EXPECT_EQ(seen.filial + "/" + seen.loja, "0001/0001") << "the branch and store are the host's, not the file's";
        if (c.parameters) {
            EXPECT_EQ(seen.esquema, "002") << "only the first record counts";
            EXPECT_EQ(seen.agrup, 10);
            EXPECT_EQ(seen.cancAgrup, 11);
            EXPECT_EQ(seen.transfProduto, 12);
            EXPECT_EQ(seen.transfMesa, 13);
            EXPECT_EQ(seen.reservMesa, 14);
            EXPECT_EQ(seen.lugarMesa, "S");
            EXPECT_TRUE(seen.utilizaImpFis);
            EXPECT_EQ(seen.caixa, "003");
            EXPECT_EQ(seen.reiVenSatNFCe, 15);
            EXPECT_EQ(footer, QString::fromStdString(Mensagemqor::MontaRodapeGeral(true, "RES00011", "S")));
        } else {
            EXPECT_EQ(seen.esquema, "");
            EXPECT_EQ(seen.caixa, "");
            EXPECT_EQ(seen.agrup + seen.transfMesa + seen.reiVenSatNFCe, 0);
            EXPECT_FALSE(seen.utilizaImpFis);
        }
        expectIdle();
    }
}

// A station without its parameters opens the menu on the defaults, which gate the commands off:
// the log says why.
TEST_F(MenuTest, WarnsOfAMissingOrEmptyParameterFileAndStartsAsBefore) {
    static std::vector<QString>* lines = nullptr;
    std::vector<QString> captured;
    lines = &captured;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && QLatin1String(context.category) == QLatin1String("res.menu"))
                lines->push_back(text);
        });
    const struct {
        const char* name;
        int records;  // -1: no file
        const char* warning;
    } cases[] = {
        {"missing", -1, "is missing: no operator, every access code 0"},
        {"no record", 0, "holds no record: no operator, every access code 0"},
        {"one record", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        captured.clear();
        QFile::remove(parametersPath());
        if (c.records == 0) writeParameters({});
        if (c.records == 1)
            writeParameters({{QStringLiteral("002"), QStringLiteral("000000000042"), 10, 11, 12, 13, 14,
                              QStringLiteral("S"), false, QStringLiteral("003"), 15}});
        TfrmMenuTestAccess::Members seen{};
        runMenu([&] { seen = TfrmMenuTestAccess::read(*frmMenu); });
        EXPECT_EQ(seen.agrup, c.records == 1 ? 10 : 0);
        if (c.warning)
            EXPECT_EQ(captured, std::vector<QString>{QStringLiteral("the station's parameter file %1 %2")
                                                         .arg(parametersPath(), QLatin1String(c.warning))});
        else
            EXPECT_TRUE(captured.empty()) << captured.front().toStdString();
        expectIdle();
    }
    qInstallMessageHandler(previous);
}

TEST_F(MenuTest, AFailingStartFreesEverythingAndALaterCallStartsAfresh) {
    struct Case {
        const char* name;
        std::function<void(MenuTest&)> arrange;
        const char* messagePart;
    };
    const Case cases[] = {
        {"parameter file that is no packet",
         [](MenuTest& t) {
             QFile file(t.parametersPath());
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("IDESQUEMA=002\n");
         },
         "PARAMETROSQOR.CDS"},
        {"parameter file without a column",
         [](MenuTest& t) {
             writePacketFile(t.parametersPath(), {{"IDESQUEMA", TFieldType::ftString, 3}}, {{QStringLiteral("002")}});
         },
         "CDOPERADORLOGIN"},
        {"access code that is no number",
         [](MenuTest& t) {
             std::vector<Column> columns = kParameterColumns;
             columns[2] = {"ctAgrupMesa", TFieldType::ftString, 5};
             writePacketFile(t.parametersPath(), columns,
                             {{QStringLiteral("002"), QStringLiteral("1"), QStringLiteral("dez"), 1, 1, 1, 1,
                               QStringLiteral("S"), false, QStringLiteral("001"), 1}});
         },
         "dez"},
        {"access file without CDOPERADOR",
         [](MenuTest& t) {
             writePacketFile(t.accessPath(), {{"OPERADOR", TFieldType::ftString, 12}}, {{QStringLiteral("7")}});
         },
         "CDOPERADOR"},
        // Only a path that names nothing is a missing file: anything else in a file's place is an
        // error naming the file, never a menu started on defaults, nor a start that hangs.
        {"a folder in place of the parameter file", [](MenuTest& t) { ASSERT_TRUE(QDir().mkpath(t.parametersPath())); },
         "PARAMETROSQOR.CDS': it is a directory"},
        {"a FIFO in place of the parameter file",
         [](MenuTest& t) { ASSERT_EQ(::mkfifo(QFile::encodeName(t.parametersPath()).constData(), 0600), 0); },
         "PARAMETROSQOR.CDS': it is a FIFO"},
        {"a folder in place of the access file", [](MenuTest& t) { ASSERT_TRUE(QDir().mkpath(t.accessPath())); },
         "ControleAcess.cds': it is a directory"},
        {"a link to itself in place of the access file",
         [](MenuTest& t) {
             QDir().mkpath(QFileInfo(t.accessPath()).absolutePath());
             ASSERT_EQ(::symlink("ControleAcess.cds", QFile::encodeName(t.accessPath()).constData()), 0);
         },
         "ControleAcess.cds': Too many levels of symbolic links"},
        // A broken conexao.ini names itself; the restaurante.db beside it is not used instead.
        {"a conexao.ini that is no text",
         [](MenuTest& t) {
             QFile file(t.iniPath());
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("\x89PNG\r\n\x1a\n\xff\xd8");
         },
         "conexao.ini: it is not text"},
        {"unreachable database",
         [](MenuTest&) {
             qputenv("QOR_CONNECTION",
                     "Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=x;User ID=u;Password=p");
         },
         "127.0.0.1"},
    };
    const auto removeBoth = [this] {
        for (const QString& path : {parametersPath(), accessPath(), iniPath()}) {
            QDir(path).removeRecursively();
            QFile::remove(path);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removeBoth();
        qunsetenv("QOR_CONNECTION");
        c.arrange(*this);
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = frmMenu != nullptr && frmMenu->isVisible();
            if (shown) frmMenu->lblSairClick();
        });
        try {
            Cli_res00011::CriaMenuMesa("0001", "0001", "0001", "");
            ADD_FAILURE() << "the start must fail";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
        }
        QApplication::processEvents();  // let the pending timer run
        EXPECT_FALSE(shown);
        expectIdle();
        EXPECT_EQ(Screen::cursor(), Screen::crDefault);

        removeBoth();
        qunsetenv("QOR_CONNECTION");
        bool connected = false;
        runMenu([&] { connected = rdmMenu && rdmMenu->adcMenu.Connected(); });
        EXPECT_TRUE(connected) << "a later call starts afresh";
        expectIdle();
    }
}

TEST_F(MenuTest, EscClosesTheMenuAndAnExistingDataModuleIsUsedAndFreed) {
    rdmMenu = new TrdmMenu(nullptr);
    TrdmMenu* existing = rdmMenu;
    TrdmMenu* used = nullptr;
    bool closedByEsc = false;
    runMenu([&] {
        used = rdmMenu;
        QTest::keyClick(frmMenu, Qt::Key_Escape, Qt::ControlModifier);
        closedByEsc = !frmMenu->isVisible() && !boCriaMenu;
    });
    EXPECT_EQ(used, existing) << "an existing data module is not created again";
    EXPECT_TRUE(closedByEsc);
    expectIdle();
}

QColor pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

TEST_F(MenuTest, LooksAsLaidOut) {
    QImage enabled, disabled;
    QRect geometry;
    QStringList faces;
    runMenu([&] {
        geometry = QRect(QPoint(0, 0), frmMenu->size());
        // The layout's faces (MS Sans Serif, Arial, Tahoma) resolve to the face the installation
        // brings, whatever the machine's default face is.
        for (const QWidget* widget :
             {static_cast<QWidget*>(frmMenu), static_cast<QWidget*>(frmMenu->lblTitulo),
              static_cast<QWidget*>(frmMenu->spbUnirMesa), static_cast<QWidget*>(frmMenu->lblSair)})
            faces << QFontInfo(widget->font()).family();
        enabled = frmMenu->grab().toImage();
        frmMenu->spbUnirMesa->setEnabled(false);
        disabled = frmMenu->grab().toImage();
    });
    ASSERT_EQ(geometry.size(), QSize(517, 257));
    ASSERT_EQ(enabled.size(), QSize(517, 257));
    EXPECT_EQ(faces, QStringList(4, QStringLiteral("Liberation Sans")));
    const QColor frame(204, 91, 44), white(255, 255, 255), pale(204, 204, 204);
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pixel(enabled, 258, i), frame) << "top edge";
        EXPECT_EQ(pixel(enabled, 258, 256 - i), frame) << "bottom edge";
        EXPECT_EQ(pixel(enabled, i, 128), frame) << "left edge";
        EXPECT_EQ(pixel(enabled, 516 - i, 128), frame) << "right edge";
    }
    EXPECT_EQ(pixel(enabled, 2, 128), white) << "the frame is two pixels wide";
    EXPECT_EQ(pixel(enabled, 10, 45), white) << "background";
    EXPECT_EQ(pixel(enabled, 175, 110), white) << "between the buttons";
    struct Button {
        const char* name;
        int left, top;
    };
    const Button buttons[] = {
        {"spbUnirMesa", 17, 51},      {"spbSepararMesa", 183, 51},    {"sbtConsultaAgrup", 350, 51},
        {"spbTrProduto", 17, 119},    {"spbTranferirMesa", 183, 119}, {"spbTrPosicao", 350, 119},
        {"spbReservarMesa", 17, 186}, {"BlendedBitBtn1", 183, 186},   {"spbReimprimirPedido", 349, 184}};
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        // Without a parameter file the seat transfer is off: its face is the disabled one.
        const QColor face = std::string(b.name) == "spbTrPosicao" ? pale : QColor(128, 128, 128);
        // Inside the face, clear of the rounded corners, the caption and the glyph.
        for (const QPoint p : {QPoint(b.left + 2, b.top + 27), QPoint(b.left + 76, b.top + 2),
                               QPoint(b.left + 76, b.top + 52), QPoint(b.left + 150, b.top + 27)})
            EXPECT_EQ(pixel(enabled, p.x(), p.y()), face) << p.x() << "," << p.y();
        EXPECT_EQ(pixel(enabled, b.left - 1, b.top + 27), white) << "left of the button";
        EXPECT_EQ(pixel(enabled, b.left + 153, b.top + 27), white) << "right of the button";
        EXPECT_EQ(pixel(enabled, b.left + 76, b.top + 55), white) << "below the button";
    }
    EXPECT_EQ(pixel(enabled, 19, 78), QColor(128, 128, 128));
    EXPECT_EQ(pixel(disabled, 19, 78), pale) << "a disabled button's face";
    EXPECT_EQ(pixel(disabled, 185, 78), QColor(128, 128, 128)) << "the others stay as they were";
}

}  // namespace
