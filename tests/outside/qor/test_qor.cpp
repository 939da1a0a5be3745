// Code helpers, the method-call wrapper, the message dialogue, the footer, the connection
// string and the message table.
#include "Consiste.h"
#include "ConnectionString.h"
#include "DbTypes.h"
#include "Geralqor.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "Srv_consiste.h"
#include "TMessages.h"
#include "outside/Gpe00002/ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStringEncoder>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// --- Ajusta / EmptyString ------------------------------------------------------------------

struct AjustaCase {
    const char* name;
    const char* texto;
    int width;
    const char* expected;
};

class AjustaTest : public ::testing::TestWithParam<AjustaCase> {};

TEST_P(AjustaTest, PadsDigitsWithZerosAndOtherTextsWithBlanksWithoutCutting) {
    const AjustaCase& c = GetParam();
    EXPECT_EQ(Consiste::Ajusta(c.texto, c.width), c.expected);
    EXPECT_EQ(Srv_consiste::Ajusta(c.texto, c.width), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AjustaTest,
    ::testing::Values(AjustaCase{"digits_padded_with_zeros", "12", 4, "0012"}, AjustaCase{"one_digit", "7", 3, "007"},
                      AjustaCase{"already_wide", "0001", 4, "0001"},
                      AjustaCase{"longer_never_cut", "12345", 4, "12345"},  // never cut
                      AjustaCase{"letter_then_digit", "A1", 4, "A1  "},
                      AjustaCase{"digit_then_letter", "1A", 4, "1A  "},
                      AjustaCase{"sign_is_no_digit", "-12", 5, "-12  "},  // a sign is not a digit
                      AjustaCase{"blank_is_no_digit", " 12", 4, " 12 "},  // nor is a blank
                      AjustaCase{"empty", "", 3, "   "}, AjustaCase{"blank", " ", 3, "   "},
                      AjustaCase{"counts_characters", "Ação", 6, "Ação  "},  // characters, not bytes
                      AjustaCase{"characters_not_bytes", "Zé", 2, "Zé"},     // 3 bytes, 2 characters
                      AjustaCase{"longer_with_accents", "Garçons", 3, "Garçons"},
                      AjustaCase{"width_zero", "12", 0, "12"}, AjustaCase{"width_negative", "12", -1, "12"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct EmptyCase {
    const char* name;
    const char* texto;
    bool expected;
};

class EmptyStringTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptyStringTest, IsTrueForEmptyOrBlanksOnly) {
    EXPECT_EQ(Consiste::EmptyString(GetParam().texto), GetParam().expected);
    EXPECT_EQ(Srv_consiste::EmptyString(GetParam().texto), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, EmptyStringTest,
                         ::testing::Values(EmptyCase{"empty", "", true}, EmptyCase{"one_blank", " ", true},
                                           EmptyCase{"blanks", "    ", true}, EmptyCase{"zero", "0", false},
                                           EmptyCase{"zero_in_blanks", " 0 ", false}, EmptyCase{"accent", "é", false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// --- MensagemMetodo --------------------------------------------------------------------------

struct MetodoCall {
    QVariant value;
    bool exibe = false;
    int codigo = -1;
    std::string metodo, unidade, contexto, esquema;
};

class MensagemMetodoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Mensagemqor::setMensagemMetodoHook([this](const QVariant& value, bool exibe, int codigo,
                                                  const std::string& metodo, const std::string& unidade,
                                                  const std::string& contexto, const std::string& esquema) {
            m_calls.push_back({value, exibe, codigo, metodo, unidade, contexto, esquema});
        });
    }
    void TearDown() override { Mensagemqor::setMensagemMetodoHook(nullptr); }

    std::string errorOf(const QVariant& value, const std::string& contexto = "0001-0001") {
        try {
            Mensagemqor::MensagemMetodo(value, true, 0, "getNrJuncao", "u", contexto, "002");
        } catch (const EMensagemMetodo& e) {
            return e.what();
        }
        return "<no exception>";
    }

    std::vector<MetodoCall> m_calls;
};

TEST_F(MensagemMetodoTest, PassesPacketsAndBooleansThroughUnchanged) {
    const QByteArray packet("\x01\x00\x02packet", 9);
    for (const QVariant& value : {QVariant(packet), QVariant(QByteArray()), QVariant(true), QVariant(false)}) {
        const QVariant answer = Mensagemqor::MensagemMetodo(value, true, 0, "getNrJuncao", "u", "c", "002");
        EXPECT_EQ(answer.typeId(), value.typeId());
        EXPECT_EQ(answer, value);
    }
    EXPECT_EQ(m_calls.size(), 4u);
}

TEST_F(MensagemMetodoTest, RaisesAnErrorTextOrAMissingAnswerNamingFunctionAndContext) {
    const struct {
        QVariant value;
        std::string contexto;
        std::string expected;
    } cases[] = {
        {QVariant(QStringLiteral("no such table: MESA")), "0001-0001",
         "Erro em getNrJuncao (0001-0001): no such table: MESA"},
        {QVariant(QStringLiteral("ERROR:  permission denied\n")), "0001-0001",
         "Erro em getNrJuncao (0001-0001): ERROR:  permission denied"},
        {QVariant(QStringLiteral("falhou")), "", "Erro em getNrJuncao: falhou"},
        {QVariant(QString()), "0001-0001", "Erro em getNrJuncao (0001-0001): resposta vazia"},
        {QVariant(), "0001-0001", "Erro em getNrJuncao (0001-0001): resposta vazia"},
        {QVariant(42), "0001-0001", "Erro em getNrJuncao (0001-0001): resposta de tipo inesperado (int)"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf(c.value, c.contexto), c.expected);
}

TEST_F(MensagemMetodoTest, TellsTheHookEveryArgumentBeforeChecking) {
    EXPECT_THROW(Mensagemqor::MensagemMetodo(QVariant(QStringLiteral("x")), false, 7, "setMesa", "uni", "ctx", "003"),
                 EMensagemMetodo);
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].value, QVariant(QStringLiteral("x")));
    EXPECT_FALSE(m_calls[0].exibe);
    EXPECT_EQ(m_calls[0].codigo, 7);
    EXPECT_EQ(m_calls[0].metodo, "setMesa");
    EXPECT_EQ(m_calls[0].unidade, "uni");
    EXPECT_EQ(m_calls[0].contexto, "ctx");
    EXPECT_EQ(m_calls[0].esquema, "003");
}

// --- Mensagem --------------------------------------------------------------------------------

// What the dialogue showed, read while it is open.
struct Shown {
    QString title, text;
    QStringList buttons;
    QImage icon;
    bool wordWrap = false;
    int buttonHeight = 0;
    bool frameless = false;
    QString fontFamily;
};

// Waits for the next modal dialogue, records what it shows and presses `key` in it. A
// dialogue still open 5 s later is closed, and `forced` set, so that the test fails instead
// of hanging.
class DialogDriver {
public:
    explicit DialogDriver(int key) : m_key(key) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_started.start();
        m_poll.start(10);
    }

    std::optional<Shown> shown;
    bool forced = false;

private:
    void poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || m_started.elapsed() < 5000) {
            if (dialog && !shown) record(*dialog);
            return;
        }
        forced = true;
        dialog->reject();
    }

    void record(QDialog& dialog) {
        Shown s;
        s.title = dialog.windowTitle();
        s.frameless = dialog.windowFlags().testFlag(Qt::FramelessWindowHint);
        if (auto* text = dialog.findChild<QLabel*>(QStringLiteral("texto"))) {
            s.text = text->text();
            s.wordWrap = text->wordWrap();
            s.fontFamily = QFontInfo(text->font()).family();
        }
        if (auto* icon = dialog.findChild<QLabel*>(QStringLiteral("icone"))) s.icon = icon->pixmap().toImage();
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
            s.buttons << b->text();
            s.buttonHeight = b->height();
        }
        shown = s;
        QTest::keyClick(&dialog, static_cast<Qt::Key>(m_key));
    }

    int m_key;
    QTimer m_poll;
    QElapsedTimer m_started;
};

class MensagemTest : public ::testing::Test {
protected:
    void TearDown() override { Mensagemqor::setMensagemHook(nullptr); }
};

TEST_F(MensagemTest, AHookThatAnswersTrueReplacesTheDialogue) {
    std::vector<Mensagemqor::MensagemCall> calls;
    Mensagemqor::setMensagemHook([&calls](const Mensagemqor::MensagemCall& call) {
        calls.push_back(call);
        return true;
    });
    Mensagemqor::Mensagem("Mesa 12 não está aberta", "", "N", "N", tmAviso, "", "002", 5, nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].texto, "Mesa 12 não está aberta");
    EXPECT_EQ(calls[0].titulo, "");
    EXPECT_EQ(calls[0].opcao1, "N");
    EXPECT_EQ(calls[0].opcao2, "N");
    EXPECT_EQ(calls[0].tipo, tmAviso);
    EXPECT_EQ(calls[0].esquema, "002");
    EXPECT_EQ(calls[0].codigo, 5);
    EXPECT_EQ(calls[0].dataSet, nullptr);
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(qobject_cast<QDialog*>(w) && w->isVisible());
}

TEST_F(MensagemTest, ShowsAModalDialogueWithTheKindsIconAndOneButtonClosedByEnterOrEsc) {
    const struct {
        TTipoMsg tipo;
        int key;
        QStyle::StandardPixmap icon;
        const char* titulo;
        QString expectedTitle;
    } cases[] = {
        {tmInformacao, Qt::Key_Return, QStyle::SP_MessageBoxInformation, "", QStringLiteral("Informação")},
        {tmConfirmacao, Qt::Key_Escape, QStyle::SP_MessageBoxQuestion, "", QStringLiteral("Confirmação")},
        {tmAviso, Qt::Key_Enter, QStyle::SP_MessageBoxWarning, "", QStringLiteral("Aviso")},
        {tmErro, Qt::Key_Escape, QStyle::SP_MessageBoxCritical, "Junção", QStringLiteral("Junção")},
    };
    bool hookAsked = false;
    Mensagemqor::setMensagemHook([&hookAsked](const Mensagemqor::MensagemCall&) {
        hookAsked = true;
        return false;  // observed only: the dialogue still shows
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedTitle.toStdString());
        DialogDriver driver(c.key);
        Mensagemqor::Mensagem("Mesa 12 não está aberta para junção com outra mesa", c.titulo, "N", "N", c.tipo, "",
                              "002", 0, nullptr);
        EXPECT_FALSE(driver.forced);
        ASSERT_TRUE(driver.shown.has_value());
        const std::optional<Shown>& shown = driver.shown;
        EXPECT_EQ(shown->title, c.expectedTitle);
        EXPECT_EQ(shown->text, QStringLiteral("Mesa 12 não está aberta para junção com outra mesa"));
        EXPECT_TRUE(shown->wordWrap);
        EXPECT_EQ(shown->buttons, QStringList{QStringLiteral("OK")});
        EXPECT_GE(shown->buttonHeight, 56);  // big enough for a finger, like the package's dialogs
        EXPECT_TRUE(shown->frameless);
        EXPECT_EQ(shown->fontFamily, QStringLiteral("Liberation Sans"));
        const QImage expected = QApplication::style()->standardIcon(c.icon).pixmap(48, 48).toImage();
        EXPECT_FALSE(expected.isNull());
        EXPECT_EQ(shown->icon.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
    }
    EXPECT_TRUE(hookAsked);
}

TEST_F(MensagemTest, StandsCentredAndTakesNoKeyInItsFirstMoments) {
    const SettleTime settle(300);
    QRect shown;
    bool openAfterAnEarlyKey = false;
    onModal([&](QWidget* dialog) {
        shown = dialog->geometry();
        QTest::keyClick(dialog, Qt::Key_Return);
        openAfterAnEarlyKey = dialog->isVisible();
        QTest::qWait(400);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    Mensagemqor::Mensagem("Não existe nenhum agrupamento de mesas.", "", "N", "N", tmInformacao, "", "002", 0, nullptr);
    EXPECT_TRUE(openAfterAnEarlyKey);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(shown));
    EXPECT_LE((shown.center() - screen.center()).manhattanLength(), 2);
}

// --- _GetStringConexQor ----------------------------------------------------------------------

class ConnectionStringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_savedEnv = qgetenv("QOR_CONNECTION");
        m_hadEnv = qEnvironmentVariableIsSet("QOR_CONNECTION");
        qunsetenv("QOR_CONNECTION");
        Process::setExecutableFolderForTests(m_dir.path());
    }
    void TearDown() override {
        Process::setExecutableFolderForTests({});
        if (m_hadEnv)
            qputenv("QOR_CONNECTION", m_savedEnv);
        else
            qunsetenv("QOR_CONNECTION");
    }
    void writeIni(const QByteArray& content) {
        QFile file(m_dir.filePath(QStringLiteral("conexao.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    std::string defaultString() const {
        return "Provider=SQLite;Data Source=" + m_dir.path().toStdString() + "/restaurante.db";
    }

    QTemporaryDir m_dir;
    QByteArray m_savedEnv;
    bool m_hadEnv = false;
};

TEST_F(ConnectionStringTest, DefaultsToRestauranteDbInTheExecutablesFolder) {
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), defaultString());
}

TEST_F(ConnectionStringTest, ReadsTheIniKeyWholeAsWrittenByHandOrByQSettings) {
    const std::string pg =
        "Provider=PostgreSQL;Data Source=10.0.0.5;Port=5432;Initial Catalog=rest;User ID=caixa;Password=a,b";
    const struct {
        QByteArray content;
        std::string expected;
    } cases[] = {
        {"ConnectionString=" + QByteArray::fromStdString(pg) + "\n", pg},
        {"; terminal 3\r\n[General]\r\nConnectionString = " + QByteArray::fromStdString(pg) + "  \r\n", pg},
        {"[General]\nConnectionString=\"Provider=SQLite;Data Source=/srv/rest.db\"\n",
         "Provider=SQLite;Data Source=/srv/rest.db"},
        // Saved by an editor as UTF-16 with its byte-order mark, or as UTF-8 with one.
        {QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
             .encode(QStringLiteral("ConnectionString=Provider=SQLite;Data Source=/só.db\r\n")),
         "Provider=SQLite;Data Source=/só.db"},
        {"\xEF\xBB\xBF"
         "ConnectionString=Provider=SQLite;Data Source=/x.db\n",
         "Provider=SQLite;Data Source=/x.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        writeIni(c.content);
        EXPECT_EQ(Geralqor::_GetStringConexQor(""), c.expected);
    }
}

TEST_F(ConnectionStringTest, ReadsBackWhatQSettingsWrites) {
    const QString pg = QStringLiteral("Provider=PostgreSQL;Data Source=db;Password=x,\"y\";Schema=loja_2");
    {
        QSettings settings(m_dir.filePath(QStringLiteral("conexao.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("ConnectionString"), pg);
    }
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), pg.toStdString());
}

TEST_F(ConnectionStringTest, TheEnvironmentComesBeforeTheIniFile) {
    writeIni("ConnectionString=Provider=SQLite;Data Source=/ini.db\n");
    qputenv("QOR_CONNECTION", "Provider=SQLite;Data Source=/env.db");
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), "Provider=SQLite;Data Source=/env.db");
    qputenv("QOR_CONNECTION", "  ");
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), "Provider=SQLite;Data Source=/ini.db");
    qputenv("QOR_CONNECTION", "");
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), "Provider=SQLite;Data Source=/ini.db");
    // Even over a file that would be refused.
    writeIni("\x89PNG\r\n\x1a\n\0\0\0\rIHDR");
    qputenv("QOR_CONNECTION", "Provider=SQLite;Data Source=/env.db");
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), "Provider=SQLite;Data Source=/env.db");
}

// Only a missing conexao.ini means the local database: a terminal whose file is broken must stop
// with the file's name, not go on alone on restaurante.db.
TEST_F(ConnectionStringTest, ABrokenIniFileIsAnErrorNamingItNeverTheLocalDatabase) {
    const QString ini = m_dir.filePath(QStringLiteral("conexao.ini"));
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* problem;
    } cases[] = {
        {"binary garbage", [&] { writeIni(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xd8", 18)); },
         "it is not text (its bytes are not valid UTF-8)"},
        {"control characters", [&] { writeIni("ConnectionString=Provider=SQLite;Data Source=\x1b[0m/x.db\n"); },
         "it is not text (it holds the control character U+001B)"},
        {"a directory", [&] { ASSERT_TRUE(QDir().mkpath(ini)); }, "it is a directory"},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0); }, "it is a FIFO"},
        {"a link to nowhere", [&] { ASSERT_TRUE(QFile::link(m_dir.filePath(QStringLiteral("nada")), ini)); },
         "cannot be opened: No such file or directory"},
        {"no permission",
         [&] {
             writeIni("ConnectionString=Provider=SQLite;Data Source=/x.db\n");
             ASSERT_TRUE(QFile::setPermissions(ini, QFileDevice::WriteOwner));
         },
         ::geteuid() == 0 ? nullptr : "cannot be opened: Permission denied"},
        {"an empty file", [&] { writeIni(""); }, "it has no ConnectionString key"},
        {"no key", [&] { writeIni("[General]\nConnection=Provider=SQLite;Data Source=/x.db\n"); },
         "it has no ConnectionString key"},
        {"the key in another section",
         [&] { writeIni("[Outra]\nConnectionString=Provider=SQLite;Data Source=/x.db\n"); },
         "it has no ConnectionString key"},
        {"an empty value", [&] { writeIni("ConnectionString=  \n"); }, "ConnectionString is empty"},
        {"an unparsable value", [&] { writeIni("ConnectionString=Provider=SQLite;Data Source=\"/x.db\n"); },
         "ConnectionString cannot be read: Connection string: unterminated quote in the value of 'data source'"},
        {"an unknown provider", [&] { writeIni("ConnectionString=Provider=MSDAORA.1;Data Source=rest\n"); },
         "ConnectionString names the provider 'MSDAORA.1', which is not available (use SQLite or PostgreSQL)"},
        {"no provider", [&] { writeIni("ConnectionString=Data Source=/x.db\n"); },
         "ConnectionString names no Provider (SQLite or PostgreSQL)"},
        {"no data source", [&] { writeIni("ConnectionString=Provider=PostgreSQL;Port=5432;Initial Catalog=rest\n"); },
         "ConnectionString names no Data Source"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(ini).removeRecursively();
        QFile::remove(ini);
        c.arrange();
        if (!c.problem) continue;  // root reads any file
        try {
            const std::string used = Geralqor::_GetStringConexQor("");
            ADD_FAILURE() << "answered " << used;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Connection file %1: %2").arg(ini, QLatin1String(c.problem)));
        }
    }
    QDir(ini).removeRecursively();
    QFile::remove(ini);
    EXPECT_EQ(Geralqor::_GetStringConexQor(""), defaultString()) << "no file: the local database";
}

TEST_F(ConnectionStringTest, QuotesADefaultPathThatWouldNotReadBack) {
    for (const QString& name : {QStringLiteral("caixa;1"), QStringLiteral("caixa \"2\""), QStringLiteral("caixa 3 ")}) {
        SCOPED_TRACE(name.toStdString());
        const QString folder = m_dir.filePath(name);
        Process::setExecutableFolderForTests(folder);
        const QString text = QString::fromStdString(Geralqor::_GetStringConexQor(""));
        const ConnectionString parsed = ConnectionString::parse(text);
        EXPECT_EQ(parsed.value(QStringLiteral("Provider")), QStringLiteral("SQLite"));
        EXPECT_EQ(parsed.value(QStringLiteral("Data Source")), folder + QStringLiteral("/restaurante.db"));
    }
}

// --- TMessages -------------------------------------------------------------------------------

TEST(TMessages, GivesTheTextOfTheFirstLineWithExactlyTheKey) {
    TMessages messages;
    messages.setMessages({QStringLiteral("semtexto"), QStringLiteral("cliente|Cliente:  "), QStringLiteral("cli|Cli"),
                          QStringLiteral("formula|a|b"), QStringLiteral("cliente|outra"), QStringLiteral("vazio|")});
    const struct {
        const char* key;
        QString expected;
    } cases[] = {
        {"cliente", QStringLiteral("Cliente:  ")},
        {"cli", QStringLiteral("Cli")},
        {"formula", QStringLiteral("a|b")},
        {"vazio", QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(messages.Msg(QString::fromLatin1(c.key)), c.expected) << c.key;
    for (const char* missing : {"Cliente", "clientes", "semtexto", ""}) {
        try {
            messages.Msg(QString::fromLatin1(missing));
            ADD_FAILURE() << "no exception for '" << missing << "'";
        } catch (const std::out_of_range& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("'") + missing + "'"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
