#pragma once
// Fills the restaurant tables with sample data, deterministically from a seed.
//
// The result has two parts. A fixed demo part, the same for every seed, that db/README.md
// describes (branch 0001, store 0001, screen configuration 0001, table 0012 open with several
// items, known waiter codes...), holding exactly kDemoItems order items. Around it a random
// part drawn from the seed: the statuses of the other tables, the other products, and as many
// open and closed sales, tickets and items as it takes to reach the requested item count.
// The master data (tables, products, buttons, groupings) does not depend on the item count.

#include <QMap>
#include <QString>
#include <cstdint>
#include <functional>

class TADOConnection;

struct SampleDataOptions {
    std::uint64_t seed = 1;
    qint64 items = 1000;        // ITCOMANDAVEN rows in all, at least kDemoItems
    bool createSchema = false;  // run the schema scripts first (restaurant, package, waiter history)
    qint64 batchItems = 20000;  // order items written per transaction
    // Called after every committed batch with the items written so far and the total.
    std::function<void(qint64 done, qint64 total)> progress;
};

inline constexpr qint64 kDemoItems = 10;
inline constexpr qint64 kMaxItems = 100'000'000;

// Rows written per table (upper-case table name -> count).
using SampleDataCounts = QMap<QString, qint64>;

// Writes the data through the open connection, one transaction per batch; the tables must be
// empty (or absent with createSchema). Throws EDatabaseError / EADOError, after rolling back
// the batch in progress, when the options are out of range or the database refuses a row.
SampleDataCounts generateSampleData(TADOConnection& connection, const SampleDataOptions& options);
