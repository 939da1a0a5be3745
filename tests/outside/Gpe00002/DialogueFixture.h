#pragma once
// The operations' dialogues (the package's routine variables) against the test's database,
// without a display: a station file in a folder of its own, the connection through
// QOR_CONNECTION as in production, and Mensagem and the notices of changes ("Aviso TEXT", closed
// with OK) recorded instead of shown. Each test puts fakes
// into the dialogue variables it needs; they are restored afterwards.
#include "OperationsFixture.h"

#include "Dialogs.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "TClientDataSet.h"

namespace opstest {

class DialogueTest : public OperationsTest {
protected:
    void SetUp() override {
        OperationsTest::SetUp();
        if (HasFatalFailure()) return;
        writeStation();
        Process::setExecutableFolderForTests(m_stationDir.path());
        qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
        Mensagemqor::setMensagemHook([this](const Mensagemqor::MensagemCall& c) {
            calls.push_back(QStringLiteral("Mensagem %1 %2").arg(c.tipo).arg(QString::fromStdString(c.texto)));
            return true;
        });
        Gpe00002::AvisoDesfazer = [this](const QString&, const QString& text) {
            calls.push_back(QStringLiteral("Aviso %1").arg(text));
            return false;
        };
    }
    void TearDown() override {
        Mensagemqor::setMensagemHook(nullptr);
        qunsetenv("QOR_CONNECTION");
        Process::setExecutableFolderForTests({});
        Gpe00002::MapaMesas = m_mapaMesas;
        Gpe00002::Texto = m_texto;
        Gpe00002::ExibeAgrupamentos = m_exibeAgrupamentos;
        Gpe00002::ExibeRelatorioGarcons = m_exibeRelatorioGarcons;
        Gpe00002::TecladoNumerico = m_tecladoNumerico;
        Gpe00002::Pesquisa = m_pesquisa;
        Gpe00002::Escolha = m_escolha;
        Gpe00002::Confirma = m_confirma;
        Gpe00002::ConfirmaCancelaPadrao = m_confirmaCancelaPadrao;
        Gpe00002::EditaTexto = m_editaTexto;
        Gpe00002::AvisoDesfazer = m_avisoDesfazer;
        OperationsTest::TearDown();
    }

    // The station of branch 0001, store 0001, printing where `printer` says (DSIMPRESSORA).
    void writeStation(const QString& printer = {}) {
        TClientDataSet station;
        station.FieldDefs() = {{"CDFILIAL", TFieldType::ftString, 4},
                               {"CDLOJA", TFieldType::ftString, 4},
                               {"DSIMPRESSORA", TFieldType::ftString, 200}};
        station.CreateDataSet();
        station.Append();
        station.FieldByName("CDFILIAL").setAsString("0001");
        station.FieldByName("CDLOJA").setAsString("0001");
        station.FieldByName("DSIMPRESSORA").setAsString(printer);
        station.Post();
        station.SaveToFile(m_stationDir.filePath("PARAMETROSQOR.CDS"));
    }

    QStringList calls;  // what the dialogue asked and said, in order

private:
    QTemporaryDir m_stationDir;
    Gpe00002::TMapaMesas m_mapaMesas = Gpe00002::MapaMesas;
    Gpe00002::TTexto m_texto = Gpe00002::Texto;
    Gpe00002::TExibeAgrupamentos m_exibeAgrupamentos = Gpe00002::ExibeAgrupamentos;
    Gpe00002::TExibeRelatorioGarcons m_exibeRelatorioGarcons = Gpe00002::ExibeRelatorioGarcons;
    Gpe00002::TTecladoNumerico m_tecladoNumerico = Gpe00002::TecladoNumerico;
    Gpe00002::TPesquisa m_pesquisa = Gpe00002::Pesquisa;
    Gpe00002::TEscolha m_escolha = Gpe00002::Escolha;
    Gpe00002::TConfirma m_confirma = Gpe00002::Confirma;
    Gpe00002::TConfirma m_confirmaCancelaPadrao = Gpe00002::ConfirmaCancelaPadrao;
    Gpe00002::TEditaTexto m_editaTexto = Gpe00002::EditaTexto;
    Gpe00002::TAvisoDesfazer m_avisoDesfazer = Gpe00002::AvisoDesfazer;
};

}  // namespace opstest
