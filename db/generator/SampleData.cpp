#include "SampleData.h"

#include "RestaurantSchema.h"
#include "TADOCommand.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCryptographicHash>
#include <QVariant>

#include <array>
#include <memory>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Random numbers

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Independent streams, so that e.g. the table statuses do not move when the item count changes.
enum class Stream : std::uint64_t { Tables = 1, Products = 2, Buttons = 3, Groupings = 4, Sales = 5 };

double round2(double value) { return std::round(value * 100.0) / 100.0; }
double round3(double value) { return std::round(value * 1000.0) / 1000.0; }

// Draws from std::mt19937_64 through explicit formulas: the engine's output is fixed by the
// standard, the std distributions are not, and the data must not change with the library.
class Random {
public:
    Random(std::uint64_t seed, Stream stream)
        : m_engine(splitmix64(seed ^ splitmix64(static_cast<std::uint64_t>(stream)))) {}

    std::uint64_t next() { return m_engine(); }
    // An integer in [low, high]. The modulo bias is below 2^-50 for the small ranges used here.
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool percent(int chance) { return static_cast<int>(next() % 100) < chance; }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
    double amount(double low, double high) { return low + (high - low) * unit(); }
    template <typename T>
    const T& pick(const std::vector<T>& values) {
        return values[static_cast<std::size_t>(next() % values.size())];
    }

private:
    std::mt19937_64 m_engine;
};

// ---------------------------------------------------------------------------------------------
// Text helpers

// A zero-padded code of exactly `width` digits; a number that does not fit is a bug here.
QString code(qint64 number, int width) {
    QString text = QString::number(number).rightJustified(width, QLatin1Char('0'));
    if (number < 0 || text.size() != width)
        throw EDatabaseError(
            QStringLiteral("sample data: %1 does not fit in a code of %2 digits").arg(number).arg(width));
    return text;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

// 'YYYY-MM-DD HH:MM:SS' of seconds since 1970-01-01 00:00:00 (no time zone).
QString timestampText(qint64 seconds) {
    qint64 days = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const qint64 y = static_cast<qint64>(yoe) + era * 400 + (m <= 2);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), m, d,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return QString::fromLatin1(buffer);
}

// "Now" of the sample data: open sales were opened shortly before it, closed ones before that.
const qint64 kNow = daysFromCivil(2024, 6, 14) * 86400 + 20 * 3600;

const QVariant kNull;

QString str(const char* utf8) { return QString::fromUtf8(utf8); }
QVariant text(const char* utf8) { return str(utf8); }

// ---------------------------------------------------------------------------------------------
// Inserting

// One prepared INSERT for a table; values are given in the order of the columns.
class Inserter {
public:
    Inserter(TADOConnection& connection, const QString& table, const QStringList& columns) : m_table(table) {
        QStringList names;
        for (const QString& column : columns) names << QLatin1Char(':') + column;
        m_command.setConnection(&connection);
        m_command.setCommandText(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(table, columns.join(QStringLiteral(", ")), names.join(QStringLiteral(", "))));
        for (const QString& column : columns) m_params.push_back(&m_command.Parameters().ParamByName(column));
    }

    void insert(std::initializer_list<QVariant> values) {
        if (values.size() != m_params.size())
            throw EDatabaseError(QStringLiteral("sample data: %1 values for the %2 columns of %3")
                                     .arg(values.size())
                                     .arg(m_params.size())
                                     .arg(m_table));
        std::size_t i = 0;
        for (const QVariant& value : values) m_params[i++]->setValue(value);
        m_command.Execute();
        ++m_count;
    }

    const QString& table() const { return m_table; }
    qint64 count() const { return m_count; }

private:
    QString m_table;
    TADOCommand m_command;
    std::vector<TParameter*> m_params;
    qint64 m_count = 0;
};

// ---------------------------------------------------------------------------------------------
// The data

struct StoreDef {
    const char* branch;
    const char* store;
    int tables;
    int defaultTable;  // 0: none (NRMESAPADRAO null)
};

// Branch 0001 store 0001 is the demo store; two stores have no default table.
constexpr std::array<StoreDef, 5> kStores{{
    {"0001", "0001", 40, 1},
    {"0001", "0002", 20, 10},
    {"0001", "0003", 12, 0},
    {"0002", "0001", 25, 1},
    {"0002", "0002", 10, 0},
}};
const QStringList kBranches{QStringLiteral("0001"), QStringLiteral("0002")};

struct Table {
    int store;  // index into kStores
    int number;
    QString status;
    QString aux;
    bool fixed = false;      // demo state, not drawn
    bool hasOwnSale = true;  // an occupied table that is not the first of its grouping has none
};

struct Product {
    QString code;
    QString name;
    QVariant fiscalName;  // null for some
    QString tree;
    bool weighed = false;
    bool refill = false;
    double price = 0;
};

struct Operator {
    int number;
    const char* name;
    bool active;
    bool branch1;
    bool branch2;
};

// Operators 3, 9 and 14 are inactive; 13 to 15 have no waiter.
constexpr std::array<Operator, 15> kOperators{{
    {1, "Ana Souza", true, true, false},
    {2, "Bruno Lima", true, true, false},
    {3, "Carla Dias", false, true, false},
    {4, "Diego Alves", true, true, false},
    {5, "Elisa Ramos", true, true, true},
    {6, "Fabio Costa", true, true, false},
    {7, "Gabriela Nunes", true, true, true},
    {8, "Heitor Melo", true, true, false},
    {9, "Iris Campos", false, true, true},
    {10, "João Pereira", true, true, false},
    {11, "Karina Rocha", true, true, false},
    {12, "Lucas Martins", true, true, true},
    {13, "Marta Teixeira", true, true, true},
    {14, "Nelson Barros", false, true, false},
    {15, "Olivia Freitas", true, false, true},
}};

struct Waiter {
    const char* code;
    const char* name;
    int op;
    const char* branch;  // nullptr: null
    const char* cash;    // nullptr: null
};

// 0001 is the usual valid waiter; 0002 has an empty branch and cash register, 0004 null ones;
// 0003 and 0009 belong to inactive operators. Code 0099 has no row but is used by a sale.
constexpr std::array<Waiter, 12> kWaiters{{
    {"0001", "Ana", 1, "0001", "001"},
    {"0002", "Bruno", 2, "", ""},
    {"0003", "Carla", 3, "0001", "001"},
    {"0004", "Diego", 4, nullptr, nullptr},
    {"0005", "Elisa", 5, "0002", "002"},
    {"0006", "Fabio", 6, "0001", "002"},
    {"0007", "Gabi", 7, "0002", "001"},
    {"0008", "Heitor", 8, "0001", "001"},
    {"0009", "Iris", 9, "0002", "002"},
    {"0010", "João", 10, "0001", nullptr},
    {"0011", "Karina", 11, "", "001"},
    {"0012", "Lucas", 12, "0002", "001"},
}};
const char* const kMissingWaiter = "0099";

QString operatorCode(int number) { return code(number, 12); }

const std::vector<QString> kDishes{
    QStringLiteral("Frango Grelhado"),   QStringLiteral("Filé à Parmegiana"),  QStringLiteral("Risoto de Cogumelos"),
    QStringLiteral("Salada Caesar"),     QStringLiteral("Lasanha Bolonhesa"),  QStringLiteral("Moqueca de Peixe"),
    QStringLiteral("Feijoada"),          QStringLiteral("Hambúrguer da Casa"), QStringLiteral("Batata Frita"),
    QStringLiteral("Caipirinha"),        QStringLiteral("Cerveja Long Neck"),  QStringLiteral("Suco de Abacaxi"),
    QStringLiteral("Chá Gelado"),        QStringLiteral("Torta de Limão"),     QStringLiteral("Sorvete"),
    QStringLiteral("Espaguete ao Sugo"), QStringLiteral("Salmão Grelhado"),    QStringLiteral("Polenta Frita"),
    QStringLiteral("Pastel de Queijo"),  QStringLiteral("Refil de Chá"),
};
const std::vector<QString> kVariants{
    QString(),
    QStringLiteral("Individual"),
    QStringLiteral("Média"),
    QStringLiteral("Grande"),
    QStringLiteral("Especial"),
    QStringLiteral("Kids"),
};
const std::vector<QString> kNotes{
    QStringLiteral("sem cebola"),    QStringLiteral("bem passado"), QStringLiteral("sem gelo"),
    QStringLiteral("molho à parte"), QStringLiteral("pouco sal"),   QStringLiteral("para viagem"),
};
const std::vector<QString> kSurnames{
    QStringLiteral("SILVA"),   QStringLiteral("SANTOS"), QStringLiteral("OLIVEIRA"), QStringLiteral("SOUZA"),
    QStringLiteral("PEREIRA"), QStringLiteral("COSTA"),  QStringLiteral("CARVALHO"), QStringLiteral("GOMES"),
};
const std::vector<QString> kOtherTickets{
    QStringLiteral("BALCAO"),
    QStringLiteral("VIAGEM"),
    QStringLiteral("ENTREGA"),
    QStringLiteral("Comanda avulsa"),
};

constexpr int kProductCount = 120;
constexpr int kDemoProducts = 8;

// A text of exactly 2000 characters, with accented ones, for the longest item note.
QString longNote() {
    const QString piece =
        QStringLiteral("Observação do cliente: sem cebola, molho à parte, ponto da carne mal passado. ");
    QString note;
    while (note.size() < 2000) note += piece;
    note.truncate(2000);
    return note;
}

QString passwordDigest(const QString& operatorCode) {
    return QString::fromLatin1(
        QCryptographicHash::hash(("demo-" + operatorCode).toUtf8(), QCryptographicHash::Sha256).toHex());
}

// ---------------------------------------------------------------------------------------------

class Generator {
public:
    Generator(TADOConnection& connection, const SampleDataOptions& options)
        : m_connection(connection),
          m_options(options),
          m_mesa(connection, QStringLiteral("MESA"),
                 {"CDFILIAL", "CDLOJA", "NRMESA", "NMMESA", "CDSALA", "IDSTMESA", "IDSTMESAAUX"}),
          m_loja(connection, QStringLiteral("LOJA"), {"CDFILIAL", "CDLOJA", "NRMESAPADRAO"}),
          m_button(
              connection, QStringLiteral("ITMENUCONFTE"),
              {"CDFILIAL", "NRCONFTELA", "NRBUTTON", "IDTPBUTTON", "IDTPBUTONAUX", "NRPGCONFTAUX", "CDIDENTBUTON"}),
          m_grouping(connection, QStringLiteral("JUNCAOMESA"), {"CDFILIAL", "CDLOJA", "NRJUNMESA"}),
          m_groupedTable(connection, QStringLiteral("MESAJUNCAO"), {"CDFILIAL", "CDLOJA", "NRJUNMESA", "NRMESA"}),
          m_sale(connection, QStringLiteral("VENDAREST"),
                 {"CDFILIAL", "NRVENDAREST", "CDLOJA", "NRMESA", "DTHRABERMESA", "DTHRFECHMESA", "CDOPERADOR",
                  "CDVENDEDOR", "NRPESMESAVEN", "CDCLIENTE"}),
          m_ticket(connection, QStringLiteral("COMANDAVEN"),
                   {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "DSCOMANDA", "IDSTCOMANDA", "VRDESCOMANDA", "VRCOMISVENDE",
                    "VRACRCOMANDA"}),
          m_item(connection, QStringLiteral("ITCOMANDAVEN"),
                 {"CDFILIAL",     "NRVENDAREST",     "NRCOMANDA",    "NRPRODCOMVEN", "CDPRODUTO",    "QTPRODCOMVEN",
                  "VRPRECCOMVEN", "TXPRODCOMVEN",    "IDSTPRCOMVEN", "VRDESCCOMVEN", "VRACRCOMVEN",  "DTHRINCOMVEN",
                  "IDPRODIMPFIS", "NRSEQPRODCOM",    "DSCOMANDAORI", "NRCOMANDAORI", "NRPRODCOMORI", "CDVENDEDOR",
                  "NRLUGARMESA",  "NRSEQBENECONSIT", "IDPRODREFIL"}),
          m_product(connection, QStringLiteral("PRODUTO"),
                    {"CDPRODUTO", "NMPRODUTO", "NMPRODIMPFIS", "CDARVPROD", "IDPESAPROD"}),
          m_waiter(connection, QStringLiteral("VENDEDOR"),
                   {"CDVENDEDOR", "NMFANVEN", "CDOPERADOR", "CDFILIAL", "CDCAIXA"}),
          m_operator(connection, QStringLiteral("OPERADOR"), {"CDOPERADOR", "NMOPERADOR", "CDSENHOPER", "IDOPERATIVO"}),
          m_branchOperator(connection, QStringLiteral("FILIOPER"), {"CDOPERADOR", "CDFILIAL"}),
          m_sales(options.seed, Stream::Sales),
          m_remaining(options.items - kDemoItems) {
        if (operationsTablesExist(connection)) {
            m_reservation = std::make_unique<Inserter>(
                connection, QStringLiteral("GPERESERVA"),
                QStringList{"CDFILIAL", "CDLOJA", "NRMESA", "NMCLIENTE", "DTHRRESERVA", "NRPESSOAS", "IDSTRESERVA",
                            "DTHRINCLUSAO", "CDOPERADOR", "DTHRFIM", "DTHRRETENCAO", "DTHRFIMPREV", "DTHRLIMITE",
                            "NRTELEFONE", "DSOBSERVACAO"});
            m_reservationTable = std::make_unique<Inserter>(
                connection, QStringLiteral("GPERESERVAMESA"),
                QStringList{"NRRESERVA", "CDFILIAL", "CDLOJA", "NRMESA", "DTHRRESERVA", "DTHRFIMPREV", "IDSTRESERVA"});
        }
    }

    static bool operationsTablesExist(TADOConnection& connection) {
        TADOQuery probe;
        probe.setConnection(&connection);
        probe.setSQL(QStringLiteral("SELECT COUNT(*) FROM GPERESERVA"));
        try {
            probe.Open();
            return true;
        } catch (const EADOError&) {
            return false;
        }
    }

    SampleDataCounts run() {
        begin();
        writeOperatorsAndWaiters();
        writeProducts();
        planTables();
        writeStoresAndTables();
        writeButtons();
        writeGroupings();
        writeDemoSales();
        writeOpenSales();
        writeClosedSales();
        commit();

        SampleDataCounts counts;
        for (const Inserter* inserter : {&m_mesa, &m_loja, &m_button, &m_grouping, &m_groupedTable, &m_sale, &m_ticket,
                                         &m_item, &m_product, &m_waiter, &m_operator, &m_branchOperator})
            counts.insert(inserter->table(), inserter->count());
        return counts;
    }

    void rollbackQuietly() {
        if (!m_inTransaction) return;
        m_inTransaction = false;
        try {
            m_connection.RollbackTrans();
        } catch (const EDatabaseError&) {
            // The original failure is the one worth reporting.
        }
    }

private:
    void begin() {
        m_connection.BeginTrans();
        m_inTransaction = true;
        m_batchItems = 0;
    }

    void commit() {
        m_connection.CommitTrans();
        m_inTransaction = false;
        if (m_options.progress) m_options.progress(m_item.count(), m_options.items);
    }

    // Ends the batch once it holds enough items; called between sales only.
    void maybeCommitBatch() {
        if (m_batchItems < m_options.batchItems) return;
        commit();
        begin();
    }

    // ---- master data ----

    void writeOperatorsAndWaiters() {
        for (const Operator& op : kOperators) {
            const QString opCode = operatorCode(op.number);
            m_operator.insert({opCode, text(op.name), passwordDigest(opCode), op.active ? "A" : "I"});
            if (op.branch1) m_branchOperator.insert({opCode, kBranches[0]});
            if (op.branch2) m_branchOperator.insert({opCode, kBranches[1]});
        }
        for (const Waiter& waiter : kWaiters) {
            m_waiter.insert({text(waiter.code), text(waiter.name), operatorCode(waiter.op),
                             waiter.branch ? text(waiter.branch) : kNull, waiter.cash ? text(waiter.cash) : kNull});
            const bool active = kOperators[static_cast<std::size_t>(waiter.op - 1)].active;
            for (int b = 0; b < 2; ++b) {
                const QString branch = QString::fromLatin1(waiter.branch ? waiter.branch : "");
                if (active && (branch.isEmpty() || branch == kBranches[b])) m_usableWaiters[b].push_back(&waiter);
            }
        }
    }

    void writeProducts() {
        struct Demo {
            const char* name;
            const char* fiscal;  // nullptr: null
            int group;
            bool weighed;
            bool refill;
            double price;
        };
        // Product 3 has no fiscal name, 5 is a refill, 7 is sold by weight (price per kg).
        static constexpr std::array<Demo, kDemoProducts> demo{{
            {"Água Mineral 500ml", "AGUA MINERAL 500ML", 101, false, false, 5.50},
            {"Pizza Margherita", "PIZZA MARGHERITA", 301, false, false, 54.90},
            {"Suco de Laranja", nullptr, 102, false, false, 9.90},
            {"Refrigerante Lata", "REFRIGERANTE LATA", 101, false, false, 7.00},
            {"Refil de Refrigerante", "REFIL REFRIGERANTE", 101, false, true, 0.00},
            {"Café Expresso", "CAFE EXPRESSO", 103, false, false, 6.50},
            {"Picanha na Brasa (kg)", "PICANHA NA BRASA KG", 302, true, false, 119.90},
            {"Pudim de Leite", "PUDIM DE LEITE", 401, false, false, 14.00},
        }};
        for (std::size_t i = 0; i < demo.size(); ++i) {
            Product p;
            p.code = code(static_cast<qint64>(i) + 1, 10);
            p.name = QString::fromUtf8(demo[i].name);
            p.fiscalName = demo[i].fiscal ? text(demo[i].fiscal) : kNull;
            p.tree = code(demo[i].group, 20);
            p.weighed = demo[i].weighed;
            p.refill = demo[i].refill;
            p.price = demo[i].price;
            m_products.push_back(p);
        }
        Random random(m_options.seed, Stream::Products);
        for (int number = kDemoProducts + 1; number <= kProductCount; ++number) {
            Product p;
            p.code = code(number, 10);
            const QString& dish = random.pick(kDishes);
            const QString& variant = random.pick(kVariants);
            p.name = variant.isEmpty() ? dish : dish + QLatin1Char(' ') + variant;
            p.fiscalName = random.percent(15) ? kNull : QVariant(p.name.toUpper().left(50));
            const int group = random.between(1, 8);
            const int subgroup = random.between(1, 5);
            p.tree = code(group * 100 + subgroup, 20);
            p.weighed = random.percent(4);
            p.refill = dish.startsWith(QLatin1String("Refil"));
            p.price = p.refill ? 0.0 : round2(p.weighed ? random.amount(40, 120) : random.amount(3, 90));
            m_products.push_back(p);
        }
        for (const Product& p : m_products)
            m_product.insert({p.code, p.name, p.fiscalName, p.tree, p.weighed ? "S" : "N"});
    }

    void planTables() {
        Random random(m_options.seed, Stream::Tables);
        for (std::size_t s = 0; s < kStores.size(); ++s) {
            for (int n = 1; n <= kStores[s].tables; ++n) {
                Table t;
                t.store = static_cast<int>(s);
                t.number = n;
                // Always the same three draws per table, so that fixed tables do not shift others.
                const bool inactive = random.percent(5);
                const bool occupied = random.percent(30);
                const int kind = random.between(0, 99);
                t.status = inactive ? QStringLiteral("I") : QStringLiteral("A");
                if (inactive)
                    t.aux = QStringLiteral("L");
                else if (occupied)
                    t.aux = kind < 75 ? QStringLiteral("O") : QStringLiteral("P");
                else
                    t.aux = kind < 85 ? QStringLiteral("L") : QStringLiteral("R");
                m_tables.push_back(t);
            }
        }
        // The demo state of store 0001/0001, and the three tables of the two overlapping
        // groupings of store 0001/0002.
        const struct {
            int store, number;
            const char* status;
            const char* aux;
        } fixed[] = {
            {0, 1, "A", "L"},
            {0, 2, "A", "R"},
            {0, 12, "A", "O"},
            {0, 13, "A", "P"},
            {0, 15, "A", "O"},
            {0, 20, "A", "O"},
            {0, 21, "A", "O"},
            {0, 22, "A", "O"},
            {0, 40, "I", "L"},
            {1, 5, "A", "R"},
            {1, 6, "A", "R"},
            {1, 7, "A", "R"},
            // Free tables beside the occupied ones, for the table operations to work with.
            {0, 11, "A", "L"},
            {0, 14, "A", "L"},
            {0, 16, "A", "L"},
            {0, 17, "A", "L"},
            {0, 18, "A", "L"},
        };
        for (const auto& f : fixed) {
            Table& t = table(f.store, f.number);
            t.status = QString::fromLatin1(f.status);
            t.aux = QString::fromLatin1(f.aux);
            t.fixed = true;
        }
        // Every other table of the demo store is drawn but never occupied by a random sale of
        // its own, so the demo store's open tables are exactly the documented ones.
        for (Table& t : m_tables)
            if (t.store == 0 && !t.fixed && (t.aux == QLatin1String("O") || t.aux == QLatin1String("P")))
                t.aux = QStringLiteral("L");
    }

    Table& table(int store, int number) {
        int offset = 0;
        for (int s = 0; s < store; ++s) offset += kStores[static_cast<std::size_t>(s)].tables;
        return m_tables[static_cast<std::size_t>(offset + number - 1)];
    }

    static QString room(int number) {
        return number <= 20   ? QStringLiteral("00001")
               : number <= 30 ? QStringLiteral("00002")
                              : QStringLiteral("00003");
    }

    void writeStoresAndTables() {
        // Random groupings first: they make their two tables occupied.
        Random random(m_options.seed, Stream::Groupings);
        for (int s = 2; s < static_cast<int>(kStores.size()); ++s) {
            const int first = random.between(1, kStores[static_cast<std::size_t>(s)].tables - 1);
            m_randomGroupings.push_back({s, first});
            Table& a = table(s, first);
            Table& b = table(s, first + 1);
            a.status = b.status = QStringLiteral("A");
            a.aux = b.aux = QStringLiteral("O");
            b.hasOwnSale = false;  // the sale is on the first table of the grouping
        }
        for (const StoreDef& store : kStores)
            m_loja.insert({text(store.branch), text(store.store),
                           store.defaultTable ? QVariant(code(store.defaultTable, 4)) : kNull});
        for (const Table& t : m_tables) {
            const StoreDef& store = kStores[static_cast<std::size_t>(t.store)];
            m_mesa.insert({text(store.branch), text(store.store), code(t.number, 4),
                           QStringLiteral("Mesa %1").arg(t.number), room(t.number), t.status, t.aux});
        }
    }

    void writeButtons() {
        // Configuration 0001 of branch 0001 shows store 0001/0001: tables 1 to 36 on page 1 with
        // a button for a table that does not exist (0099) and a table-type button of another
        // kind (IDTPBUTONAUX '2'), tables 37 and 38 on page 2, product buttons on page 3.
        int number = 0;
        const QString b1 = kBranches[0];
        const QString c1 = QStringLiteral("0001");
        auto tableButton = [&](const QString& branch, const QString& config, const char* aux, const char* page,
                               const QString& ident) {
            m_button.insert({branch, config, code(++number, 5), "3", text(aux), text(page), ident});
        };
        for (int n = 1; n <= 36; ++n) tableButton(b1, c1, "4", "1", code(n, 4));
        tableButton(b1, c1, "4", "1", QStringLiteral("0099"));
        tableButton(b1, c1, "2", "1", code(39, 4));
        tableButton(b1, c1, "4", "2", code(37, 4));
        tableButton(b1, c1, "4", "2", code(38, 4));
        for (int p = 1; p <= 10; ++p)
            m_button.insert(
                {b1, c1, code(++number, 5), "1", "0", "3", m_products[static_cast<std::size_t>(p - 1)].code});

        // Configuration 0002 of branch 0001 (store 0002) and 0001 of branch 0002 (store 0001):
        // page 1, about one table in ten left off at random.
        Random random(m_options.seed, Stream::Buttons);
        const struct {
            int store;
            const char* config;
        } others[] = {{1, "0002"}, {3, "0001"}};
        for (const auto& other : others) {
            number = 0;
            const StoreDef& store = kStores[static_cast<std::size_t>(other.store)];
            for (int n = 1; n <= store.tables; ++n)
                if (!random.percent(10)) tableButton(str(store.branch), str(other.config), "4", "1", code(n, 4));
        }
    }

    void writeGroupings() {
        auto grouping = [&](int store, int number, std::initializer_list<int> tables) {
            const StoreDef& s = kStores[static_cast<std::size_t>(store)];
            m_grouping.insert({text(s.branch), text(s.store), code(number, 10)});
            for (int t : tables) m_groupedTable.insert({text(s.branch), text(s.store), code(number, 10), code(t, 4)});
        };
        grouping(0, 1, {20, 21, 22});
        grouping(0, 2, {13, 16});
        // Table 0006 of store 0001/0002 is in two groupings: bad data the readers must report.
        grouping(1, 1, {5, 6});
        grouping(1, 2, {6, 7});
        for (const auto& [store, first] : m_randomGroupings) grouping(store, 1, {first, first + 1});
    }

    // ---- sales ----

    struct SaleRef {
        int branch;  // index into kBranches
        QString number;
        QString store;
        QString table;
        QString waiter;
        qint64 opened;
        int people;
    };

    SaleRef writeSale(int branch, const QString& store, int table, const QString& waiter, int op, qint64 opened,
                      qint64 closed, int people, const QVariant& customer) {
        SaleRef sale{branch, code(m_nextSale[branch]++, 10), store, code(table, 4), waiter, opened, people};
        m_sale.insert({kBranches[branch], sale.number, store, sale.table, timestampText(opened),
                       closed ? QVariant(timestampText(closed)) : kNull, operatorCode(op), waiter, code(people, 3),
                       customer});
        return sale;
    }

    QString writeTicket(const SaleRef& sale, const QString& description, const char* status, double discount,
                        double commission, double surcharge) {
        const QString number = code(m_nextTicket[sale.branch]++, 10);
        m_ticket.insert(
            {kBranches[sale.branch], sale.number, number, description, text(status), discount, commission, surcharge});
        return number;
    }

    struct ItemSpec {
        int product = 1;  // 1-based index into m_products
        double quantity = 1;
        QVariant note;
        const char* status = "1";
        double discount = 0;
        double surcharge = 0;
        qint64 at = 0;
        bool fiscal = true;
        int seq = 1;
        QVariant originDescription, originTicket, originItem;
        int seat = 1;
        QVariant benefit;
    };

    void writeItem(const SaleRef& sale, const QString& ticket, int number, const ItemSpec& item) {
        const Product& p = m_products[static_cast<std::size_t>(item.product - 1)];
        m_item.insert({kBranches[sale.branch],
                       sale.number,
                       ticket,
                       code(number, 6),
                       p.code,
                       item.quantity,
                       p.price,
                       item.note,
                       text(item.status),
                       item.discount,
                       item.surcharge,
                       timestampText(item.at),
                       item.fiscal ? "S" : "N",
                       code(item.seq, 3),
                       item.originDescription,
                       item.originTicket,
                       item.originItem,
                       sale.waiter,
                       code(item.seat, 4),
                       item.benefit,
                       p.refill ? "S" : "N"});
        ++m_batchItems;
    }

    // The demo sales of branch 0001 store 0001, numbered 1 to 5, tickets 1 to 7, ten items.
    void writeDemoSales() {
        const QString store = QStringLiteral("0001");
        const QString waiter1 = QStringLiteral("0001");

        // Table 0012, open: four tickets, one of them in status 4.
        const qint64 opened = kNow - 95 * 60;
        const SaleRef s1 = writeSale(0, store, 12, waiter1, 1, opened, 0, 4, QStringLiteral("000000000000042"));
        const QString t1 = writeTicket(s1, QStringLiteral("PKR_0012"), "1", 0, 0, 0);
        ItemSpec item;
        item.product = 1;
        item.quantity = 2;
        item.at = opened + 5 * 60;
        writeItem(s1, t1, 1, item);
        item = {};
        item.product = 3;  // no fiscal name
        item.at = opened + 6 * 60;
        item.seq = 2;
        item.seat = 2;
        writeItem(s1, t1, 2, item);
        item = {};
        item.product = 7;  // sold by weight
        item.quantity = 0.452;
        item.status = "2";
        item.at = opened + 20 * 60;
        item.seq = 3;
        item.seat = 3;
        writeItem(s1, t1, 3, item);
        item = {};
        item.product = 2;
        item.note = longNote();
        item.status = "2";
        item.discount = 5.49;
        item.at = opened + 21 * 60;
        item.seq = 4;
        item.seat = 4;
        writeItem(s1, t1, 4, item);

        const QString t2 = writeTicket(s1, QStringLiteral("RES_SILVA"), "2", 0, 1.5, 0);
        item = {};
        item.product = 4;
        item.note = QStringLiteral("sem gelo");
        item.at = opened + 30 * 60;
        writeItem(s1, t2, 1, item);
        item = {};
        item.product = 5;  // a refill
        item.at = opened + 45 * 60;
        item.seq = 2;
        item.fiscal = false;
        writeItem(s1, t2, 2, item);

        const QString t3 = writeTicket(s1, QStringLiteral("BALCAO"), "1", 0, 0, 2.0);
        item = {};
        item.product = 6;
        item.quantity = 3;
        item.at = opened + 50 * 60;
        item.originDescription = QStringLiteral("PKR_0013");
        item.originTicket = QStringLiteral("0000000005");
        item.originItem = QStringLiteral("000002");
        item.benefit = QStringLiteral("0000000001");
        writeItem(s1, t3, 1, item);

        const QString t4 = writeTicket(s1, QStringLiteral("PKR_0099"), "4", 0, 0, 0);
        item = {};
        item.product = 1;
        item.at = opened + 55 * 60;
        writeItem(s1, t4, 1, item);

        // Table 0013, status P: one ticket.
        const qint64 opened2 = kNow - 40 * 60;
        const SaleRef s2 = writeSale(0, store, 13, QStringLiteral("0002"), 2, opened2, 0, 2, kNull);
        const QString t5 = writeTicket(s2, QStringLiteral("PKR_0013"), "1", 0, 0, 0);
        item = {};
        item.product = 8;
        item.at = opened2 + 10 * 60;
        writeItem(s2, t5, 1, item);

        // Table 0012 yesterday, closed; its ticket has the same description as today's.
        const qint64 opened3 = kNow - 86400 - 3 * 3600;
        const SaleRef s3 = writeSale(0, store, 12, waiter1, 1, opened3, opened3 + 90 * 60, 2, kNull);
        const QString t6 = writeTicket(s3, QStringLiteral("PKR_0012"), "3", 0, 0, 0);
        item = {};
        item.product = 1;
        item.status = "3";
        item.at = opened3 + 10 * 60;
        writeItem(s3, t6, 1, item);

        // Table 0020 (grouped with 0021 and 0022), open, nothing ordered yet.
        writeSale(0, store, 20, QStringLiteral("0004"), 4, kNow - 20 * 60, 0, 10, kNull);
        // Table 0015, open by a waiter code that has no VENDEDOR row, with a ticket that has no
        // item yet (one that items can be moved to).
        const SaleRef s5 =
            writeSale(0, store, 15, QString::fromLatin1(kMissingWaiter), 13, kNow - 10 * 60, 0, 1, kNull);
        writeTicket(s5, QStringLiteral("PKR_0015"), "1", 0, 0, 0);

        // Table 0002 is reserved: the operations package keeps the reservation, where its own
        // tables are there. Unlike the sales it follows the clock (a reservation of the demo's
        // fixed day would be a no-show long ago): half an hour from now, at the latest at 23:59 of
        // today, so that it holds its table from now on and the day's list shows it.
        if (m_reservation) {
            const QDateTime clock = QDateTime::currentDateTime();
            const qint64 now =
                QDateTime(clock.date(), QTime(clock.time().hour(), clock.time().minute()), Qt::UTC).toSecsSinceEpoch();
            const qint64 endOfDay = QDateTime(clock.date(), QTime(23, 59), Qt::UTC).toSecsSinceEpoch();
            const qint64 at = std::min(now + 30 * 60, endOfDay);
            m_reservation->insert({text("0001"), store, text("0002"), text("Família Souza"), timestampText(at),
                                   text("6"), text("A"), timestampText(now - 2 * 3600), operatorCode(2), kNull,
                                   timestampText(at - 3600), timestampText(at + 7200), timestampText(at + 1200),
                                   text("11 5555-0101"), text("Aniversário")});
            // The first reservation of the fresh demo database is number 1 on both engines.
            m_reservationTable->insert(
                {1, text("0001"), store, text("0002"), timestampText(at), timestampText(at + 7200), text("A")});
        }
    }

    const Waiter& drawWaiter(int branch) { return *m_sales.pick(m_usableWaiters[branch]); }

    int branchOf(int store) const { return kStores[static_cast<std::size_t>(store)].branch == kBranches[0] ? 0 : 1; }

    QString drawDescription(const QString& table) {
        const int kind = m_sales.between(0, 99);
        if (kind < 60) return QStringLiteral("PKR_") + table;
        if (kind < 80) return QStringLiteral("RES_") + m_sales.pick(kSurnames);
        return m_sales.pick(kOtherTickets);
    }

    // Tickets and items of one random sale, drawing at most `m_remaining` items.
    void writeTicketsAndItems(const SaleRef& sale, bool open) {
        const int tickets = m_sales.between(1, open ? 2 : 3);
        QString previousTicket, previousDescription;
        for (int t = 0; t < tickets && m_remaining > 0; ++t) {
            const QString description = drawDescription(sale.table);
            const int kind = m_sales.between(0, 99);
            const char* status = open ? (kind < 60 ? "1" : kind < 90 ? "2" : "4") : (kind < 92 ? "3" : "4");
            const double discount = m_sales.percent(10) ? round2(m_sales.amount(1, 15)) : 0.0;
            const double commission = m_sales.percent(50) ? round2(m_sales.amount(1, 20)) : 0.0;
            const QString ticket = writeTicket(sale, description, status, discount, commission, 0.0);
            const int items = static_cast<int>(std::min<qint64>(m_sales.between(1, open ? 4 : 6), m_remaining));
            for (int i = 1; i <= items; ++i) {
                ItemSpec item;
                item.product = m_sales.between(1, kProductCount);
                const Product& p = m_products[static_cast<std::size_t>(item.product - 1)];
                item.quantity =
                    p.weighed ? round3(m_sales.amount(0.2, 1.5)) : (m_sales.percent(80) ? 1 : m_sales.between(2, 4));
                if (m_sales.percent(8)) item.note = m_sales.pick(kNotes);
                item.status = open ? (m_sales.percent(50) ? "1" : "2") : "3";
                if (m_sales.percent(5)) item.discount = round2(p.price * item.quantity * 0.1);
                if (m_sales.percent(3)) item.surcharge = round2(p.price * item.quantity * 0.1);
                item.at = sale.opened + t * 600 + i * 30;
                item.fiscal = m_sales.percent(90);
                item.seq = i;
                if (!previousTicket.isEmpty() && m_sales.percent(2)) {
                    item.originDescription = previousDescription.left(10);
                    item.originTicket = previousTicket;
                    item.originItem = code(1, 6);
                }
                item.seat = m_sales.between(1, sale.people);
                if (m_sales.percent(1)) item.benefit = code(++m_benefit, 10);
                writeItem(sale, ticket, i, item);
            }
            m_remaining -= items;
            previousTicket = ticket;
            previousDescription = description;
        }
    }

    QVariant drawCustomer() { return m_sales.percent(20) ? QVariant(code(m_sales.between(1, 5000), 15)) : kNull; }

    // One open sale for every occupied random table (not the demo store's).
    void writeOpenSales() {
        for (const Table& t : m_tables) {
            if (t.fixed || !t.hasOwnSale || (t.aux != QLatin1String("O") && t.aux != QLatin1String("P"))) continue;
            const StoreDef& store = kStores[static_cast<std::size_t>(t.store)];
            const int branch = branchOf(t.store);
            const Waiter& waiter = drawWaiter(branch);
            const qint64 opened = kNow - m_sales.between(5, 180) * 60;
            const int people = m_sales.between(1, 8);
            const SaleRef sale = writeSale(branch, str(store.store), t.number, str(waiter.code), waiter.op, opened, 0,
                                           people, drawCustomer());
            writeTicketsAndItems(sale, true);
            maybeCommitBatch();
        }
    }

    // Closed sales on the active tables, going back in time, until the items are all written.
    void writeClosedSales() {
        std::vector<const Table*> active[2];
        for (const Table& t : m_tables)
            if (t.status == QLatin1String("A")) active[branchOf(t.store)].push_back(&t);
        qint64 index = 0;
        while (m_remaining > 0) {
            const int branch = m_sales.percent(70) ? 0 : 1;
            const Table& t = *m_sales.pick(active[branch]);
            const StoreDef& store = kStores[static_cast<std::size_t>(t.store)];
            const Waiter& waiter = drawWaiter(branch);
            const qint64 opened = kNow - 86400 - index * 300 - m_sales.between(0, 240);
            const qint64 closed = opened + m_sales.between(20, 150) * 60;
            const int people = m_sales.between(1, 8);
            const SaleRef sale = writeSale(branch, str(store.store), t.number, str(waiter.code), waiter.op, opened,
                                           closed, people, drawCustomer());
            writeTicketsAndItems(sale, false);
            maybeCommitBatch();
            ++index;
        }
    }

    TADOConnection& m_connection;
    const SampleDataOptions& m_options;
    std::unique_ptr<Inserter> m_reservation;       // GPERESERVA, when the package's tables are there
    std::unique_ptr<Inserter> m_reservationTable;  // GPERESERVAMESA
    Inserter m_mesa, m_loja, m_button, m_grouping, m_groupedTable, m_sale, m_ticket, m_item, m_product, m_waiter,
        m_operator, m_branchOperator;
    Random m_sales;
    bool m_inTransaction = false;
    qint64 m_batchItems = 0;
    qint64 m_remaining = 0;
    qint64 m_benefit = 1;  // the demo uses 0000000001
    qint64 m_nextSale[2] = {1, 1};
    qint64 m_nextTicket[2] = {1, 1};
    std::vector<Product> m_products;
    std::vector<Table> m_tables;
    std::vector<std::pair<int, int>> m_randomGroupings;  // store, first table
    std::vector<const Waiter*> m_usableWaiters[2];
};

}  // namespace

SampleDataCounts generateSampleData(TADOConnection& connection, const SampleDataOptions& options) {
    if (options.items < kDemoItems || options.items > kMaxItems)
        throw EDatabaseError(QStringLiteral("sample data: the item count must be between %1 and %2, not %3")
                                 .arg(kDemoItems)
                                 .arg(kMaxItems)
                                 .arg(options.items));
    if (options.batchItems < 1) throw EDatabaseError(QStringLiteral("sample data: the batch size must be positive"));
    if (options.createSchema) {
        createRestaurantSchema(connection);
        connection.Execute(operationsSchemaScript(connection.Dialect()));
        installWaiterHistory(connection);
    }
    // The generated keys would collide with rows already there; say so before writing any.
    for (const char* table : {"LOJA", "MESA", "ITMENUCONFTE", "JUNCAOMESA", "MESAJUNCAO", "VENDAREST", "COMANDAVEN",
                              "ITCOMANDAVEN", "PRODUTO", "VENDEDOR", "OPERADOR", "FILIOPER"}) {
        TADOQuery probe;
        probe.setConnection(&connection);
        probe.setSQL(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(QLatin1String(table)));
        probe.Open();
        if (!probe.IsEmpty())
            throw EDatabaseError(QStringLiteral("sample data: the table %1 already holds rows; the sample data goes "
                                                "into empty tables only (use a new database)")
                                     .arg(QLatin1String(table)));
    }

    Generator generator(connection, options);
    try {
        return generator.run();
    } catch (...) {
        generator.rollbackQuietly();
        throw;
    }
}
