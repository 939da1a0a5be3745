#pragma once
// Builders of rows of the restaurant's tables for tests: each answers one INSERT statement, in
// the text both engines take; nullptr stands for NULL.

#include <QString>

namespace menutest {

// A literal: quoted text, or NULL for nullptr.
inline QString sqlText(const char* value) {
    if (!value) return QStringLiteral("NULL");
    QString text = QString::fromUtf8(value);
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}
// A number written as it is, or NULL for nullptr.
inline QString sqlNumber(const char* value) { return value ? QString::fromLatin1(value) : QStringLiteral("NULL"); }

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
    return QStringLiteral(
               "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, NRMESA, DTHRABERMESA, DTHRFECHMESA, "
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
    const char* desconto = nullptr;  // numbers
    const char* comissao = nullptr;
    const char* acrescimo = nullptr;
};
inline QString insert(const Ticket& t) {
    return QStringLiteral(
               "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, VRDESCOMANDA, "
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
    const char* lugar = "01";  // NRLUGARMESA
    const char* refil = "N";   // IDPRODREFIL
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
    return QStringLiteral(
               "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, "
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
    return QStringLiteral(
               "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, NMPRODIMPFIS, CDARVPROD, IDPESAPROD) "
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
    return QStringLiteral(
               "INSERT INTO VENDEDOR (CDVENDEDOR, NMFANVEN, CDOPERADOR, CDFILIAL, CDCAIXA) "
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
    return QStringLiteral("INSERT INTO FILIOPER (CDOPERADOR, CDFILIAL) VALUES (%1, %2);\n")
        .arg(sqlText(operador), sqlText(filial));
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

struct Table {  // MESA
    const char* filial = "0001";
    const char* loja = "0001";
    const char* mesa = nullptr;
    const char* estado = "L";  // IDSTMESAAUX
    const char* ativa = "A";   // IDSTMESA
    const char* sala = "00001";
    const char* nome = nullptr;  // "Mesa <number>" when null
};
inline QString insert(const Table& t) {
    const QString name =
        t.nome ? QString::fromUtf8(t.nome) : QStringLiteral("Mesa %1").arg(QString::fromLatin1(t.mesa).toInt());
    return QStringLiteral(
               "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA, NMMESA, CDSALA, IDSTMESA, IDSTMESAAUX) "
               "VALUES (%1, %2, %3, %4, %5, %6, %7);\n")
        .arg(sqlText(t.filial), sqlText(t.loja), sqlText(t.mesa), sqlText(name.toUtf8().constData()), sqlText(t.sala),
             sqlText(t.ativa), sqlText(t.estado));
}

}  // namespace menutest
