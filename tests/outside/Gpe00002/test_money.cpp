// Amounts in cents: read once from the database's floating-point values, written the Portuguese
// way, and split so that the parts add up to the whole.
#include "core/Money.h"
#include "core/Numbers.h"

#include <gtest/gtest.h>

namespace {

using Gpe00002::Money;

TEST(Money, ReadsToTheNearestCentAndWritesPortuguese) {
    const std::pair<double, const char*> cases[] = {
        {0, "0,00"},       {0.1 + 0.2, "0,30"}, {54.1948, "54,19"},    {1234.5, "1.234,50"},
        {-0.005, "-0,01"}, {-1.5, "-1,50"},     {1e6, "1.000.000,00"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Money::fromDouble(value).text(), QString::fromUtf8(text)) << value;
    EXPECT_EQ(Money::fromValue(QVariant()), Money());
}

TEST(Money, PricesTimesQuantitiesAndSharesAddUpExactly) {
    EXPECT_EQ(Money::fromDouble(119.9).times(0.452), Money::fromCents(5419));
    EXPECT_EQ(Money::fromDouble(5.5).times(2), Money::fromCents(1100));
    // A third of ten reais, three times: the parts taken one after another leave nothing over.
    Money left = Money::fromCents(1000);
    Money moved;
    for (qint64 whole = 3000; whole > 0; whole -= 1000) {
        const Money part = left.share(1000, whole);
        moved += part;
        left -= part;
    }
    EXPECT_EQ(moved, Money::fromCents(1000));
    EXPECT_EQ(left, Money());
}

TEST(Numbers, QuantitiesInThousandthsAndCodesWithOrWithoutZeros) {
    const std::pair<double, const char*> quantities[] = {{2, "2"}, {0.452, "0,452"}, {1000, "1000"}, {1.0004, "1"}};
    for (const auto& [value, text] : quantities) EXPECT_EQ(Gpe00002::quantityText(value), QString::fromUtf8(text));
    const std::pair<const char*, const char*> codes[] = {{"0021", "21"}, {"0000", "0"}, {"21", "21"}, {"", ""}};
    for (const auto& [code, number] : codes)
        EXPECT_EQ(Gpe00002::withoutLeadingZeros(QString::fromLatin1(code)), QString::fromLatin1(number));
    EXPECT_FALSE(Gpe00002::allDigits(QStringLiteral("12a")));
    EXPECT_FALSE(Gpe00002::allDigits(QString()));
    EXPECT_TRUE(Gpe00002::allDigits(QStringLiteral("0012")));
}

}  // namespace
