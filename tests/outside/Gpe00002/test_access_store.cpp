// The access store: which operator may use which code, read from the installation's packet
// file at every check; ControleAcess and VerificaAcesso answer from it.

#include "AccessStore.h"
#include "DataPacket.h"
#include "Gpe00002.h"
#include "ModalDriver.h"
#include "Process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Gpe00002::AccessStore;

const std::vector<TFieldDesc> kColumns = {{"CDOPERADOR", TFieldType::ftString, 10},
                                          {"CDACESSO", TFieldType::ftInteger, 0},
                                          {"IDPERMITE", TFieldType::ftString, 1}};

TRecord row(const char* op, int code, const char* allow) { return {std::string(op), code, std::string(allow)}; }

class AccessStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        Process::setExecutableFolderForTests(folder.path());
        ASSERT_TRUE(QDir(folder.path()).mkpath("Dados/Cadastros"));
    }
    void TearDown() override { Process::setExecutableFolderForTests({}); }

    QString path() const { return folder.path() + "/Dados/Cadastros/AcessoOperacoes.cds"; }
    void write(const QByteArray& bytes) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void write(const std::vector<TFieldDesc>& columns, const std::vector<TRecord>& rows) const {
        write(encodePacket(columns, rows));
    }

    QTemporaryDir folder;
};

TEST_F(AccessStoreTest, StoreLivesBelowTheExecutableFolder) {
    EXPECT_EQ(AccessStore::installationPath(), path());
    EXPECT_EQ(AccessStore().path(), path());
}

TEST_F(AccessStoreTest, WithoutTheFileEveryCheckIsGranted) {
    for (const auto& [code, op] :
         std::vector<std::pair<int, const char*>>{{1, "ANA"}, {0, ""}, {-5, "*"}, {999, "X"}}) {
        EXPECT_TRUE(AccessStore().allows(code, op)) << code << " " << op;
        EXPECT_EQ(Gpe00002::ControleAcess(code, op), "S");
    }
}

TEST_F(AccessStoreTest, OwnRowsWinOverStarRowsAndUnlistedPairsAreRefused) {
    write(kColumns, {row("*", 10, "S"), row("*", 20, "N"), row("ANA", 20, "S"), row("ANA", 10, "N"),
                     row("BIA", 30, "S"), row(" CAIO ", 40, "s"), row("DUDA", 50, "S"), row("DUDA", 50, "N")});
    struct Case {
        int code;
        const char* op;
        bool allowed;
    };
    const Case cases[] = {
        {10, "ANA", false},                        // own "N" over "*" "S"
        {20, "ANA", true},                         // own "S" over "*" "N"
        {10, "BIA", true},                         // "*" only
        {20, "BIA", false},                        // "*" only
        {30, "BIA", true},                         // own only
        {30, "ANA", false},                        // no row for the pair
        {99, "BIA", false},                        // no row for the code
        {40, "CAIO", true},                        // blanks and case of the file do not matter
        {40, " CAIO", true}, {50, "DUDA", false},  // disagreeing rows: the refusal wins
        {10, "", true},                            // an operator without a code still meets the "*" rows
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AccessStore().allows(c.code, c.op), c.allowed) << c.code << " " << c.op;
        EXPECT_EQ(Gpe00002::ControleAcess(c.code, c.op), c.allowed ? "S" : "N") << c.code << " " << c.op;
    }
}

TEST_F(AccessStoreTest, EveryCheckReadsTheFileAgain) {
    write(kColumns, {row("ANA", 1, "S")});
    EXPECT_TRUE(AccessStore().allows(1, "ANA"));
    write(kColumns, {row("ANA", 1, "N")});
    EXPECT_FALSE(AccessStore().allows(1, "ANA"));
    write(kColumns, {});
    EXPECT_FALSE(AccessStore().allows(1, "ANA"));
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_TRUE(AccessStore().allows(1, "ANA"));
}

TEST_F(AccessStoreTest, BadFileRaisesAnErrorNamingIt) {
    const TFieldDesc textCode{"CDACESSO", TFieldType::ftString, 5};
    struct Case {
        const char* name;
        std::function<void()> prepare;
        QString detail;
    };
    const Case cases[] = {
        {"not a packet", [&] { write(QByteArray("garbage")); }, "is not a valid data packet"},
        {"missing column",
         [&] {
             write({kColumns[0], kColumns[1]}, {{std::string("ANA"), 1}});
         },
         "falta a coluna IDPERMITE"},
        {"code as text",
         [&] {
             write({kColumns[0], textCode, kColumns[2]}, {});
         },
         "a coluna CDACESSO é do tipo string, deveria ser integer"},
        {"flag other than S/N",
         [&] {
             write(kColumns, {row("ANA", 2, "S"), row("BIA", 1, "X")});
         },
         "linha 2: IDPERMITE \"X\" não é S nem N"},
        {"empty operator", [&] { write(kColumns, {row("  ", 1, "S")}); }, "linha 1: CDOPERADOR vazio"},
        {"null code",
         [&] {
             write(kColumns, {{std::string("ANA"), TFieldValue{}, std::string("S")}});
         },
         "linha 1: CDACESSO vazio"},
        {"a folder", [&] { ASSERT_TRUE(QDir(folder.path()).mkpath("Dados/Cadastros/AcessoOperacoes.cds")); },
         "it is a directory"},
        {"a FIFO, which must not make the check wait",
         [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0); }, "it is a FIFO"},
        {"a link to itself",
         [&] { ASSERT_EQ(::symlink("AcessoOperacoes.cds", QFile::encodeName(path()).constData()), 0); },
         "Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path()).removeRecursively();
        QFile::remove(path());
        c.prepare();
        try {
            Gpe00002::ControleAcess(1, "ANA");
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().startsWith("Arquivo de controle de acesso às operações inválido: " + path() + " ("))
                << e.what();
            EXPECT_TRUE(e.message().contains(c.detail)) << e.what();
        }
    }
}

TEST_F(AccessStoreTest, VerificaAcessoGrantsOrShowsTheRefusal) {
    write(kColumns, {row("ANA", 7, "S")});
    std::string text = "x";
    EXPECT_TRUE(Gpe00002::VerificaAcesso(7, "ANA", text));
    EXPECT_EQ(text, "S");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QString title, message;
    onModal([&](QWidget* dialog) {
        title = labelText(dialog, "title");
        message = labelText(dialog, "line1");
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(Gpe00002::VerificaAcesso(8, "ANA", text));
    EXPECT_EQ(text, "N");
    EXPECT_EQ(title, "Acesso negado");
    EXPECT_EQ(message, "Operação bloqueada. Operador ANA não tem acesso a esta operação (código 8).");
}

}  // namespace
