#include "routines/ItemChoices.h"

#include "screens/SearchList.h"
#include "TClientDataSet.h"

#include <algorithm>
#include <memory>

namespace Gpe00002 {

namespace {

struct Column {
    const char* name;
    TFieldType type;
    int size;
    const char* label;  // nullptr: hidden
    int width;
};

// A dataset for the search list: the columns, the rows filled by `fill`, the first one current.
void build(TClientDataSet& list, std::initializer_list<Column> columns) {
    for (const Column& column : columns)
        list.FieldDefs().push_back({QLatin1String(column.name), column.type, column.size});
    list.CreateDataSet();
    for (const Column& column : columns) {
        TField& field = list.FieldByName(QLatin1String(column.name));
        field.setVisible(column.label != nullptr);
        if (column.label) field.setDisplayLabel(QString::fromUtf8(column.label));
        if (column.width) field.setDisplayWidth(column.width);
    }
}

QString field(TClientDataSet& list, const char* name) { return list.FieldByName(QLatin1String(name)).AsString(); }
void set(TClientDataSet& list, const char* name, const QString& value) {
    list.FieldByName(QLatin1String(name)).setAsString(value);
}

// Rows of `list` written by `fill`, which appends and posts each.
template <typename Row>
void follow(FollowedDataSet& list, const LiveRows<Row>& live, std::shared_ptr<std::vector<Row>> rows,
            std::function<void(TClientDataSet&, const std::vector<Row>&)> fill, QStringList keys,
            std::function<QString(const QStringList&)> goneLine) {
    if (!live.reread) return;
    list.follow.filial = live.filial;
    list.follow.loja = live.loja;
    list.follow.connectionString = live.connectionString;
    list.follow.keys = std::move(keys);
    list.follow.goneLine = std::move(goneLine);
    list.follow.reread = [reread = live.reread, rows, fill](TClientDataSet& dataSet) {
        std::vector<Row> now = reread();
        while (!dataSet.IsEmpty()) {
            dataSet.First();
            dataSet.Delete();
        }
        fill(dataSet, now);
        *rows = std::move(now);
    };
}

// The list opens on row `current` (the first one when it is -1).
bool pick(TClientDataSet& list, const QString& title, const QString& prompt, int current) {
    if (!list.IsEmpty()) SearchListData::makeCurrent(list, std::max(current, 0));
    return Escolha(list, title, prompt);
}

template <typename T, typename Same>
int rowOf(const std::vector<T>& rows, const std::optional<T>& previous, Same same) {
    if (!previous) return -1;
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const T& row) { return same(row, *previous); });
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

}  // namespace

QString sourceReason(const TableState& table, const std::map<QString, std::vector<Ticket>>& tickets) {
    if (QString reason = itemTableUnfitReason(table); !reason.isEmpty()) return reason;
    const auto found = tickets.find(table.numero);
    const bool listed = found != tickets.end() && std::any_of(found->second.begin(), found->second.end(),
                                                              [](const Ticket& ticket) { return ticket.itens > 0; });
    return listed ? QString() : QStringLiteral("sem itens");
}

std::vector<Ticket> targetTickets(const QString& table, const std::map<QString, std::vector<Ticket>>& tickets,
                                  const std::optional<Ticket>& own) {
    std::vector<Ticket> found;
    if (const auto of = tickets.find(table); of != tickets.end())
        std::copy_if(of->second.begin(), of->second.end(), std::back_inserter(found),
                     [&](const Ticket& ticket) { return !own || !ticket.sameKey(*own); });
    return found;
}

QString targetReason(const TableState& table, const std::map<QString, std::vector<Ticket>>& tickets,
                     const std::optional<Ticket>& own) {
    if (QString reason = itemTableUnfitReason(table); !reason.isEmpty()) return reason;
    if (!targetTickets(table.numero, tickets, own).empty()) return {};
    return targetTickets(table.numero, tickets, std::nullopt).empty() ? QStringLiteral("sem comanda")
                                                                      : QStringLiteral("comanda do item");
}

std::optional<TableItem> chooseItem(const std::vector<TableItem>& items, const QString& mesa,
                                    const std::optional<TableItem>& previous, const LiveRows<TableItem>& live) {
    FollowedDataSet list(QStringLiteral("cdsItens"));
    build(list, {{"NMPRODUTO", TFieldType::ftString, 50, "Nome", 30},
                 {"QTPRODCOMVEN", TFieldType::ftFloat, 0, "Quantidade", 10},
                 {"NRLUGARMESA", TFieldType::ftString, 4, "Lugar", 5},
                 {"CDVENDEDOR", TFieldType::ftString, 4, "Garçom", 6},
                 {"DSCOMANDA", TFieldType::ftString, 50, "Comanda", 14},
                 {"NRVENDAREST", TFieldType::ftString, 10, nullptr, 0},
                 {"NRCOMANDA", TFieldType::ftString, 10, nullptr, 0},
                 {"NRPRODCOMVEN", TFieldType::ftString, 6, nullptr, 0},
                 {"CDPRODUTO", TFieldType::ftString, 10, nullptr, 0}});
    const auto fill = [](TClientDataSet& into, const std::vector<TableItem>& rows) {
        for (const TableItem& item : rows) {
            into.Append();
            set(into, "NMPRODUTO", item.nome);
            into.FieldByName(QStringLiteral("QTPRODCOMVEN")).setAsFloat(item.quantidade);
            set(into, "NRLUGARMESA", item.lugar);
            set(into, "CDVENDEDOR", item.vendedor);
            set(into, "DSCOMANDA", item.comanda.descricao);
            set(into, "NRVENDAREST", item.comanda.venda);
            set(into, "NRCOMANDA", item.comanda.numero);
            set(into, "NRPRODCOMVEN", item.numero);
            set(into, "CDPRODUTO", item.produto);
            into.Post();
        }
    };
    fill(list, items);
    // What the list shows: its rows as read last, the pick among them.
    auto shown = std::make_shared<std::vector<TableItem>>(items);
    follow<TableItem>(list, live, shown, fill,
                      {QStringLiteral("NRVENDAREST"), QStringLiteral("NRCOMANDA"), QStringLiteral("NRPRODCOMVEN")},
                      [](const QStringList& key) {
                          return QStringLiteral("O item %1 foi alterado por outro terminal").arg(key.value(2));
                      });
    if (!pick(list, QStringLiteral("Escolha o produto a transferir"), QStringLiteral("Produtos da mesa %1").arg(mesa),
              rowOf(items, previous, [](const TableItem& a, const TableItem& b) { return a.sameKey(b); })))
        return std::nullopt;
    const auto found = std::find_if(shown->begin(), shown->end(), [&](const TableItem& item) {
        return item.comanda.venda == field(list, "NRVENDAREST") && item.comanda.numero == field(list, "NRCOMANDA") &&
               item.numero == field(list, "NRPRODCOMVEN");
    });
    return found == shown->end() ? std::nullopt : std::optional(*found);
}

std::optional<QString> chooseSeat(const std::vector<std::pair<QString, int>>& seats, const QString& mesa,
                                  const std::optional<QString>& previous,
                                  const LiveRows<std::pair<QString, int>>& live) {
    using Seat = std::pair<QString, int>;
    FollowedDataSet list(QStringLiteral("cdsLugares"));
    build(list,
          {{"NRLUGARMESA", TFieldType::ftString, 4, "Lugar", 8}, {"QTITENS", TFieldType::ftInteger, 0, "Itens", 6}});
    const auto fill = [](TClientDataSet& into, const std::vector<Seat>& rows) {
        for (const auto& [lugar, itens] : rows) {
            into.Append();
            set(into, "NRLUGARMESA", lugar);
            into.FieldByName(QStringLiteral("QTITENS")).setAsInteger(itens);
            into.Post();
        }
    };
    fill(list, seats);
    follow<Seat>(list, live, std::make_shared<std::vector<Seat>>(seats), fill, {QStringLiteral("NRLUGARMESA")},
                 [](const QStringList& key) {
                     return QStringLiteral("O lugar %1 foi alterado por outro terminal").arg(key.value(0));
                 });
    int current = -1;
    for (std::size_t i = 0; i < seats.size(); ++i)
        if (previous && seats[i].first == *previous) current = static_cast<int>(i);
    if (!pick(list, QStringLiteral("Escolha o lugar"),
              QStringLiteral("Lugares da mesa %1: o lugar vai com todos os seus itens").arg(mesa), current))
        return std::nullopt;
    return field(list, "NRLUGARMESA");
}

std::optional<Ticket> chooseTicket(const std::vector<Ticket>& tickets, const QString& prompt,
                                   const std::optional<Ticket>& previous) {
    if (tickets.size() == 1) return tickets.front();
    if (tickets.empty()) return std::nullopt;
    TClientDataSet list(QStringLiteral("cdsComandas"));
    build(list, {{"NRCOMANDA", TFieldType::ftString, 10, "Comanda", 12},
                 {"DSCOMANDA", TFieldType::ftString, 50, "Descrição", 22},
                 {"QTITENS", TFieldType::ftInteger, 0, "Itens", 6},
                 {"NRVENDAREST", TFieldType::ftString, 10, nullptr, 0}});
    for (const Ticket& ticket : tickets) {
        list.Append();
        set(list, "NRCOMANDA", ticket.numero);
        set(list, "DSCOMANDA", ticket.descricao);
        list.FieldByName(QStringLiteral("QTITENS")).setAsInteger(ticket.itens);
        set(list, "NRVENDAREST", ticket.venda);
        list.Post();
    }
    if (!pick(list, QStringLiteral("Escolha a comanda"), prompt,
              rowOf(tickets, previous, [](const Ticket& a, const Ticket& b) { return a.sameKey(b); })))
        return std::nullopt;
    const auto found = std::find_if(tickets.begin(), tickets.end(), [&](const Ticket& ticket) {
        return ticket.venda == field(list, "NRVENDAREST") && ticket.numero == field(list, "NRCOMANDA");
    });
    return found == tickets.end() ? std::nullopt : std::optional(*found);
}

}  // namespace Gpe00002
