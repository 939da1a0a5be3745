// Fuzz target for the station files: the bytes of a packet file, loaded into a client dataset as
// LoadFromFile does once it has read the file, then read as the menu reads PARAMETROSQOR.CDS and
// ControleAcess.cds (by name, first record, the menu's conversions) and as the operations
// package reads its access store (typed columns, every row).
//
// EDatabaseError and its subclasses (a bad packet, a missing column, a value that does not
// convert) are what a reader is told about a bad file; any other exception escapes and counts
// as a crash. Each column is read on its own, so that one missing column does not hide the rest.

#include "TClientDataSet.h"

#include <cstdint>

namespace {

enum class As { String, Integer, Boolean };

struct ColumnRead {
    const char* name;
    As as;
};

const ColumnRead kStationReads[] = {
    // PARAMETROSQOR.CDS
    {"IDESQUEMA", As::String},
    {"CDOPERADORLOGIN", As::String},
    {"ctAgrupMesa", As::Integer},
    {"ctCancAgrupMesa", As::Integer},
    {"ctTransfProduto", As::Integer},
    {"ctTransfMesa", As::Integer},
    {"ctReservMesa", As::Integer},
    {"IDLUGARMESA", As::String},
    {"UTILIZAIMPFIS", As::Boolean},
    {"CDCAIXA", As::String},
    {"ctReiVenSatNFCe", As::Integer},
    // ControleAcess.cds, and the station's branch and store
    {"CDOPERADOR", As::String},
    {"CDFILIAL", As::String},
    {"CDLOJA", As::String},
};

// Keeps the results observable, so that no read is optimised away.
volatile std::size_t g_sink;

void readColumn(const TClientDataSet& dataSet, const ColumnRead& read) {
    try {
        const TField& field = dataSet.FieldByName(QString::fromLatin1(read.name));
        switch (read.as) {
        case As::String: g_sink = g_sink + field.AsString().toStdString().size(); break;
        case As::Integer: g_sink = g_sink + static_cast<std::size_t>(field.AsInteger()); break;
        case As::Boolean: g_sink = g_sink + (field.AsBoolean() ? 1 : 0); break;
        }
    } catch (const EDatabaseError&) {}
}

// The access store: CDOPERADOR text, CDACESSO integer, IDPERMITE text, read from every row.
void readAccessStore(const TClientDataSet& dataSet) {
    const TField* operatorField = dataSet.FindField(QStringLiteral("CDOPERADOR"));
    const TField* codeField = dataSet.FindField(QStringLiteral("CDACESSO"));
    const TField* allowField = dataSet.FindField(QStringLiteral("IDPERMITE"));
    if (!operatorField || !codeField || !allowField || operatorField->DataType() != TFieldType::ftString ||
        codeField->DataType() != TFieldType::ftInteger || allowField->DataType() != TFieldType::ftString)
        return;
    const auto operatorColumn = static_cast<std::size_t>(operatorField->Index());
    const auto codeColumn = static_cast<std::size_t>(codeField->Index());
    const auto allowColumn = static_cast<std::size_t>(allowField->Index());
    for (const TRecord& row : dataSet.records()) {
        const auto* op = std::get_if<std::string>(&row.at(operatorColumn));
        const auto* code = std::get_if<std::int32_t>(&row.at(codeColumn));
        const auto* allow = std::get_if<std::string>(&row.at(allowColumn));
        g_sink = g_sink + (op ? QString::fromStdString(*op).trimmed().size() : 0) +
                 (code ? static_cast<std::size_t>(*code) : 0) +
                 (allow ? QString::fromStdString(*allow).trimmed().toUpper().size() : 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TClientDataSet dataSet(QStringLiteral("cdsParametrosQor"));
    try {
        dataSet.setData(bytes);
        dataSet.Open();
    } catch (const EDatabaseError&) {
        return 0;
    }
    for (const ColumnRead& read : kStationReads) readColumn(dataSet, read);
    readAccessStore(dataSet);
    return 0;
}
