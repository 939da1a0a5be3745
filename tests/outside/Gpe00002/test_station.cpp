// The station's context from its files: branch, store, cash register, operator, and the clear
// refusal that names the file and the column when branch or store are missing; where it prints.
#include "Process.h"
#include "core/Refusal.h"
#include "core/Station.h"
#include "TClientDataSet.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const std::vector<std::pair<const char*, const char*>>& columns) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    TClientDataSet data;
    for (const auto& [name, value] : columns) data.FieldDefs().push_back({name, TFieldType::ftString, 12});
    data.CreateDataSet();
    data.Append();
    for (std::size_t i = 0; i < columns.size(); ++i) data.Fields(static_cast<int>(i)).setAsString(columns[i].second);
    data.Post();
    data.SaveToFile(path);
}

TEST(Station, ReadsTheStationFilesAndNamesTheFileAndColumnThatAreMissing) {
    QTemporaryDir dir;
    Process::setExecutableFolderForTests(dir.path());
    const QString parameters = dir.filePath("PARAMETROSQOR.CDS");
    const QString access = dir.filePath("Dados/Cadastros/ControleAcess.cds");
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> parameters;  // empty: no file
        const char* accessOperator;                                   // nullptr: no file
        QString expected;  // "filial/loja/caixa/operador[/impressora]", or the refusal
    };
    const Case cases[] = {
        {"both files",
         {{"CDFILIAL", "0001"},
          {"CDLOJA", "0002"},
          {"CDCAIXA", "003"},
          {"CDOPERADORLOGIN", "000000000007"},
          {"DSIMPRESSORA", "tcp:10.0.0.9"}},
         "000000000009",
         "0001/0002/003/000000000009/tcp:10.0.0.9"},
        {"no access file",
         {{"CDFILIAL", "0001"}, {"CDLOJA", "0002"}, {"CDCAIXA", "003"}, {"CDOPERADORLOGIN", "000000000007"}},
         nullptr,
         "0001/0002/003/000000000007"},
        {"no store column",
         {{"CDFILIAL", "0001"}, {"CDCAIXA", "003"}},
         nullptr,
         "O arquivo da estação " + parameters + " não tem a coluna CDLOJA: informe a filial e a loja da estação nele."},
        {"an empty branch",
         {{"CDFILIAL", " "}, {"CDLOJA", "0002"}},
         nullptr,
         "O arquivo da estação " + parameters +
             " deixa vazia a coluna CDFILIAL: informe a filial e a loja da estação nele."},
        {"no parameters file",
         {},
         "000000000009",
         "O arquivo da estação " + parameters + " não existe: é dele que vêm a filial (CDFILIAL) e a loja (CDLOJA)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(parameters);
        QFile::remove(access);
        if (!c.parameters.empty()) writeFile(parameters, c.parameters);
        if (c.accessOperator) writeFile(access, {{"CDOPERADOR", c.accessOperator}});
        try {
            const Gpe00002::Station s = Gpe00002::Station::read(true);
            QStringList read{s.filial, s.loja, s.caixa, s.operador};
            if (!s.impressora.isEmpty()) read << s.impressora;
            EXPECT_EQ(read.join('/'), c.expected);
        } catch (const Gpe00002::ERefusal& e) {
            EXPECT_EQ(e.message(), c.expected);
        }
    }
    // Operations that are given branch and store read the rest all the same.
    QFile::remove(parameters);
    EXPECT_EQ(Gpe00002::Station::read(false).operador, QStringLiteral("000000000009"));
    Process::setExecutableFolderForTests({});
}

}  // namespace
