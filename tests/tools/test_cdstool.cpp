// Runs the built cdstool binary end to end.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome cdstool(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(CDSTOOL_PATH), args);
    EXPECT_TRUE(process.waitForStarted(10000)) << CDSTOOL_PATH;
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

const QByteArray kJson =
    R"({"fields":[{"name":"NRMESA","type":"string","size":4},{"name":"NOME","type":"string","size":60},)"
    R"({"name":"QTD","type":"integer","size":0},{"name":"PRECO","type":"float","size":0},)"
    R"({"name":"ATIVO","type":"boolean","size":0},{"name":"ABERTURA","type":"datetime","size":0}],"rows":[)"
    R"(["0012","Mesa 12",3,12.5,true,"2026-12-08T10:15:00"],)"
    R"(["0013","Funções do garçom na área externa, próximas à janela",null,-0.25,false,"2026-12-08T10:15:00.250"],)"
    R"([null,"a\tb",null,null,null,null]]})"
    "\n";

class CdsTool : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char* name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(CdsTool, WriteThenJsonIsByteIdentical) {
    const QString file = path("mesas.cds");
    for (int pass = 0; pass < 2; ++pass) {  // the second write replaces the file
        const Outcome write = cdstool({"write", file}, kJson);
        ASSERT_EQ(write.exitCode, 0) << write.err.toStdString();
        EXPECT_EQ(write.out, "");
        EXPECT_FALSE(QFile::exists(file + ".tmp"));
        const Outcome json = cdstool({"json", file});
        ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
        EXPECT_EQ(json.out, kJson);
    }
}

TEST_F(CdsTool, ShowPrintsAFittedTable) {
    const QString file = path("mesas.cds");
    ASSERT_EQ(cdstool({"write", file}, kJson).exitCode, 0);
    const Outcome show = cdstool({"show", file});
    ASSERT_EQ(show.exitCode, 0) << show.err.toStdString();
    EXPECT_EQ(show.out.toStdString(),
              "NRMESA  NOME                                         QTD   PRECO  ATIVO   ABERTURA\n"
              "------  ----------------------------------------  ------  ------  ------  -----------------------\n"
              "0012    Mesa 12                                        3    12.5  true    2026-12-08 10:15:00\n"
              "0013    Funções do garçom na área externa, próx…  <null>   -0.25  false   2026-12-08 10:15:00.250\n"
              "<null>  a\\tb                                      <null>  <null>  <null>  <null>\n"
              "(3 rows)\n");
}

TEST_F(CdsTool, FailuresNameTheFileAndExit1) {
    const QString bad = path("bad.cds");
    {
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a packet");
    }
    const QString missing = path("missing.cds");
    const QString target = path("new.cds");
    struct Case {
        QStringList args;
        QByteArray input;
        QString error;
    } const cases[] = {
        {{"json", bad}, {}, "cdstool: " + bad + ": invalid data packet at offset 0: bad magic"},
        {{"show", bad}, {}, "cdstool: " + bad + ": invalid data packet at offset 0: bad magic"},
        {{"json", missing}, {}, "cdstool: " + missing + ": cannot open: No such file or directory"},
        // Input that is no JSON at all is described as such, with the offset of the fault.
        {{"write", target},
         "{\"fields\":[",
         "cdstool: " + target + ": standard input: not JSON: unterminated array at offset 11\n"},
        {{"write", target},
         "not json",
         "cdstool: " + target + ": standard input: not JSON: illegal value at offset 1\n"},
        {{"write", target}, " \n", "cdstool: " + target + ": standard input: no JSON: the input is empty\n"},
        {{"write", target},
         "{}",
         "cdstool: " + target + ": standard input: invalid packet JSON at offset 2: missing key \"fields\"\n"},
        {{"write", target},
         R"({"fields":[{"name":"N","type":"integer"}],"rows":[[1.5]]})",
         "cdstool: " + target +
             R"(: standard input: invalid packet JSON at offset 51: row 0, field 0 "N": expected an integer)"},
        {{"write", path("no-such-dir/x.cds")},
         R"({"fields":[],"rows":[]})",
         "cdstool: " + path("no-such-dir/x.cds") + ": cannot write the file: "},
    };
    for (const Case& c : cases) {
        const Outcome run = cdstool(c.args, c.input);
        EXPECT_EQ(run.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(c.error.toUtf8())) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(QFile::exists(target + ".tmp"));
}

TEST_F(CdsTool, FailedWriteKeepsTheOldFile) {
    const QString file = path("mesas.cds");
    ASSERT_EQ(cdstool({"write", file}, kJson).exitCode, 0);
    const QByteArray before = readFile(file);
    EXPECT_EQ(cdstool({"write", file}, R"({"fields":[],"rows":[[]]})").exitCode, 1);
    EXPECT_EQ(readFile(file), before);
}

TEST(CdsToolUsage, ExitCodes) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* err;
        const char* out;
    } const cases[] = {
        {{}, 2, "usage: cdstool json FILE", ""},
        {{"convert", "x"}, 2, "cdstool: unknown command 'convert'\nusage:", ""},
        {{"json"}, 2, "cdstool: 'json' takes exactly one FILE\nusage:", ""},
        {{"show", "a", "b"}, 2, "cdstool: 'show' takes exactly one FILE\nusage:", ""},
        {{"--help"}, 0, "", "usage: cdstool json FILE"},
        {{"--bogus", "x"}, 2, "cdstool: Unknown option 'bogus'.\nusage:", ""},
        {{"json", "-x.cds"}, 1, "cdstool: -x.cds: cannot open", ""},  // a FILE may begin with '-'
    };
    for (const Case& c : cases) {
        const Outcome run = cdstool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(c.err)) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(c.out)) << run.out.toStdString();
    }
}

}  // namespace
