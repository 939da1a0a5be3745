#pragma once
// A menu data module per test, on a SQLite file or on the PostgreSQL test server (a schema of
// its own), connected through QOR_CONNECTION as in production, with a second connection that
// fills the tables and reads them back; row builders for the restaurant tables; and readers of
// the data functions' answers.
#include "support/TestValues.h"
#include "support/PgTestServer.h"

#include "DataPacket.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"
#include "TField.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Texts and field descriptors in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const TFieldDesc& field, std::ostream* out) {
    *out << field.name.toStdString() << ' ' << fieldTypeName(field.type) << '(' << field.size << ')';
}

namespace menutest {

enum class Engine { SQLite, PostgreSQL };
inline void PrintTo(Engine engine, std::ostream* out) { *out << (engine == Engine::SQLite ? "SQLite" : "PostgreSQL"); }
inline std::string engineName(const ::testing::TestParamInfo<Engine>& testCase) {
    return testCase.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

using Row = std::vector<std::string>;  // one value per field, "<null>" for a null
using Rows = std::vector<Row>;
using Fields = std::vector<TFieldDesc>;

inline constexpr const char* kNull = "<null>";

inline Rows rowsOf(const TPacketTable& packet) {
    Rows rows;
    for (const TRecord& record : packet.rows) {
        Row& row = rows.emplace_back();
        for (const TFieldValue& value : record) row.push_back(valueText(value));
    }
    return rows;
}

// The named fields of every row, in the given order.
inline Rows columnsOf(const TPacketTable& packet, const std::vector<QString>& names) {
    std::vector<std::size_t> indexes;
    for (const QString& name : names) {
        const auto found = std::find_if(packet.fields.begin(), packet.fields.end(),
                                        [&](const TFieldDesc& field) { return field.name == name; });
        if (found == packet.fields.end()) {
            ADD_FAILURE() << "the packet has no field " << name.toStdString();
            return {};
        }
        indexes.push_back(static_cast<std::size_t>(found - packet.fields.begin()));
    }
    Rows rows;
    for (const TRecord& record : packet.rows) {
        Row& row = rows.emplace_back();
        for (std::size_t index : indexes) row.push_back(valueText(record[index]));
    }
    return rows;
}

inline Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The packet of an answer. An answer that is not a packet fails the test, naming its text.
inline TPacketTable packetOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QByteArray) {
        ADD_FAILURE() << "expected a data packet, got " << answer.typeName() << ": " << answer.toString().toStdString();
        return {};
    }
    return decodePacket(answer.toByteArray());
}

// The error text of an answer. An answer that is not a text fails the test.
inline QString errorOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QString) {
        ADD_FAILURE() << "expected an error text, got " << answer.typeName();
        return {};
    }
    return answer.toString();
}

// A literal: quoted text, or NULL for nullptr.
inline QString sqlText(const char* value) {
    if (!value) return QStringLiteral("NULL");
    QString text = QString::fromUtf8(value);
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}
// A number written as it is, or NULL for nullptr.
inline QString sqlNumber(const char* value) { return value ? QString::fromLatin1(value) : QStringLiteral("NULL"); }

// Row builders: nullptr stands for NULL. Each answers one INSERT statement.

struct Sale {  // VENDAREST
    const char* filial = "0001";
    const char* venda = nullptr;
    const char* loja = "0001";
    const char* mesa = nullptr;
    const char* fechamento = nullptr;  // DTHRFECHMESA: set for a closed sale
    const char* vendedor = "0001";
    const char* pessoas = "4";
    const char* cliente = nullptr;
    const char* abertura = "2024-06-14 19:00:00";
    const char* operador = "000000000001";
};
inline QString insert(const Sale& s) {
    return QStringLiteral("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, NRMESA, DTHRABERMESA, DTHRFECHMESA, "
                          "CDOPERADOR, CDVENDEDOR, NRPESMESAVEN, CDCLIENTE) VALUES (%1, %2, %3, %4, %5, %6, %7, %8, %9, %10);\n")
        .arg(sqlText(s.filial), sqlText(s.venda), sqlText(s.loja), sqlText(s.mesa), sqlText(s.abertura),
             sqlText(s.fechamento), sqlText(s.operador), sqlText(s.vendedor), sqlText(s.pessoas))
        .arg(sqlText(s.cliente));
}

struct Ticket {  // COMANDAVEN
    const char* filial = "0001";
    const char* venda = nullptr;
    const char* comanda = nullptr;
    const char* descricao = nullptr;
    const char* status = "1";
    const char* desconto = nullptr;    // numbers
    const char* comissao = nullptr;
    const char* acrescimo = nullptr;
};
inline QString insert(const Ticket& t) {
    return QStringLiteral("INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, VRDESCOMANDA, "
                          "VRCOMISVENDE, VRACRCOMANDA) VALUES (%1, %2, %3, %4, %5, %6, %7, %8);\n")
        .arg(sqlText(t.filial), sqlText(t.venda), sqlText(t.comanda), sqlText(t.descricao), sqlText(t.status),
             sqlNumber(t.desconto), sqlNumber(t.comissao), sqlNumber(t.acrescimo));
}

struct Item {  // ITCOMANDAVEN
    const char* filial = "0001";
    const char* venda = nullptr;
    const char* comanda = nullptr;
    const char* item = nullptr;  // NRPRODCOMVEN
    const char* produto = nullptr;
    const char* lugar = "01";    // NRLUGARMESA
    const char* refil = "N";     // IDPRODREFIL
    const char* vendedor = "0001";
    const char* quantidade = "1";  // numbers
    const char* preco = "10";
    const char* desconto = nullptr;
    const char* acrescimo = nullptr;
    const char* texto = nullptr;
    const char* status = "P";  // IDSTPRCOMVEN
    const char* inclusao = "2024-06-14 19:30:00";
    const char* impressoFiscal = "N";
    const char* sequencia = "001";
    const char* dsComandaOri = nullptr;
    const char* nrComandaOri = nullptr;
    const char* nrProdComOri = nullptr;
    const char* beneficio = nullptr;
};
inline QString insert(const Item& i) {
    return QStringLiteral("INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, "
                          "QTPRODCOMVEN, VRPRECCOMVEN, TXPRODCOMVEN, IDSTPRCOMVEN, VRDESCCOMVEN, VRACRCOMVEN, "
                          "DTHRINCOMVEN, IDPRODIMPFIS, NRSEQPRODCOM, DSCOMANDAORI, NRCOMANDAORI, NRPRODCOMORI, "
                          "CDVENDEDOR, NRLUGARMESA, NRSEQBENECONSIT, IDPRODREFIL) VALUES (%1, %2, %3, %4, %5, %6, %7, "
                          "%8, %9, %10, %11, %12, %13, %14, %15, %16, %17, %18, %19, %20, %21);\n")
        .arg(sqlText(i.filial), sqlText(i.venda), sqlText(i.comanda), sqlText(i.item), sqlText(i.produto),
             sqlNumber(i.quantidade), sqlNumber(i.preco), sqlText(i.texto), sqlText(i.status))
        .arg(sqlNumber(i.desconto), sqlNumber(i.acrescimo), sqlText(i.inclusao), sqlText(i.impressoFiscal),
             sqlText(i.sequencia), sqlText(i.dsComandaOri), sqlText(i.nrComandaOri), sqlText(i.nrProdComOri),
             sqlText(i.vendedor))
        .arg(sqlText(i.lugar), sqlText(i.beneficio), sqlText(i.refil));
}

struct Product {  // PRODUTO
    const char* codigo = nullptr;
    const char* nome = nullptr;
    const char* nomeFiscal = nullptr;
    const char* arvore = nullptr;
    const char* pesado = "N";
};
inline QString insert(const Product& p) {
    return QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, NMPRODIMPFIS, CDARVPROD, IDPESAPROD) "
                          "VALUES (%1, %2, %3, %4, %5);\n")
        .arg(sqlText(p.codigo), sqlText(p.nome), sqlText(p.nomeFiscal), sqlText(p.arvore), sqlText(p.pesado));
}

struct Waiter {  // VENDEDOR
    const char* codigo = nullptr;
    const char* nome = nullptr;
    const char* operador = nullptr;
    const char* filial = nullptr;
    const char* caixa = nullptr;
};
inline QString insert(const Waiter& w) {
    return QStringLiteral("INSERT INTO VENDEDOR (CDVENDEDOR, NMFANVEN, CDOPERADOR, CDFILIAL, CDCAIXA) "
                          "VALUES (%1, %2, %3, %4, %5);\n")
        .arg(sqlText(w.codigo), sqlText(w.nome), sqlText(w.operador), sqlText(w.filial), sqlText(w.caixa));
}

struct Operator {  // OPERADOR
    const char* codigo = nullptr;
    const char* ativo = "A";
    const char* nome = "Operador";
};
inline QString insert(const Operator& o) {
    return QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, IDOPERATIVO) VALUES (%1, %2, %3);\n")
        .arg(sqlText(o.codigo), sqlText(o.nome), sqlText(o.ativo));
}

// An operator's link to a branch (FILIOPER).
inline QString filioper(const char* operador, const char* filial) {
    return QStringLiteral("INSERT INTO FILIOPER (CDOPERADOR, CDFILIAL) VALUES (%1, %2);\n").arg(sqlText(operador), sqlText(filial));
}

// A grouping of tables: its JUNCAOMESA row and one MESAJUNCAO row per member table.
inline QString juncaoMesa(const char* filial, const char* loja, const char* nrjunmesa) {
    return QStringLiteral("INSERT INTO JUNCAOMESA (CDFILIAL, CDLOJA, NRJUNMESA) VALUES (%1, %2, %3);\n")
        .arg(sqlText(filial), sqlText(loja), sqlText(nrjunmesa));
}
inline QString mesaJuncao(const char* filial, const char* loja, const char* nrjunmesa, const char* nrmesa) {
    return QStringLiteral("INSERT INTO MESAJUNCAO (CDFILIAL, CDLOJA, NRJUNMESA, NRMESA) VALUES (%1, %2, %3, %4);\n")
        .arg(sqlText(filial), sqlText(loja), sqlText(nrjunmesa), sqlText(nrmesa));
}

// The test's own database and the data module on it.
class DataModuleTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::SQLite) {
            m_connectionString = sqliteTestConnectionString(m_dir);
        } else {
            m_connectionString = pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("srv_dm")));
        }
        m_db.setConnectionString(m_connectionString);
        m_db.Open();
        createRestaurantSchema(m_db);

        qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
        Srv_res00011::rdmMenu = new TrdmMenu(nullptr);
        Srv_res00011::rdmMenu->adcMenu.setConnected(true);
        ASSERT_TRUE(Srv_res00011::rdmMenu->adcMenu.Connected());
    }

    void TearDown() override {
        delete Srv_res00011::rdmMenu;
        Srv_res00011::rdmMenu = nullptr;
        qunsetenv("QOR_CONNECTION");
    }

    bool postgres() const { return GetParam() == Engine::PostgreSQL; }

    // Runs a script on the test's own connection in one transaction (SQLite would otherwise
    // write every statement to disk on its own).
    void fill(const QString& sql) { m_db.Execute(QStringLiteral("BEGIN;\n") + sql + QStringLiteral("COMMIT;\n")); }

    // Another data module on the same database, connected: a second terminal.
    std::unique_ptr<TrdmMenu> openTerminal() const {
        auto terminal = std::make_unique<TrdmMenu>(nullptr);
        terminal->adcMenu.setConnected(true);
        return terminal;
    }

    // The rows of a statement run on the test's own connection.
    Rows select(const QString& sql) {
        TADOQuery query;
        query.setConnection(&m_db);
        query.setSQL(sql);
        query.Open();
        return rowsOf(decodePacket(query.toPacket()));
    }

    // Matches an error text of the server engine about a missing table, with the statement's
    // line that failed after it on the same line.
    static QRegularExpression pgMissingTable(const char* table) {
        return QRegularExpression(QStringLiteral("^Erro de banco de dados: PostgreSQL: ERROR:  relation \"%1\" does not "
                                                 "exist LINE \\d+: [^\r\n]*\\^$")
                                      .arg(QString::fromLatin1(table).toLower()));
    }

    QTemporaryDir m_dir;
    QString m_connectionString;
    TADOConnection m_db{QStringLiteral("adcTestData")};
};

}  // namespace menutest
