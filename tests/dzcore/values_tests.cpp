#include "dzguid.h"
#include "dzversion.h"

#include <gtest/gtest.h>

namespace {

const QString bare = QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA3");

} // namespace

TEST(DzGuid, BareAndBracedForms_SameIdentifier)
{
    const DzGuid fromBare = DzGuid::fromString(bare);
    const DzGuid fromBraced = DzGuid::fromString(QLatin1Char('{') + bare + QLatin1Char('}'));
    const DzGuid fromLower = DzGuid::fromString(bare.toLower());
    ASSERT_FALSE(fromBare.isNull());
    EXPECT_EQ(fromBare, fromBraced);
    EXPECT_EQ(fromBare, fromLower);
    EXPECT_EQ(fromBare.toString(), bare);
    EXPECT_EQ(fromLower.toString(), bare);
    EXPECT_EQ(DzGuid::fromString(QStringLiteral("  ") + bare + QStringLiteral("\n")), fromBare);
    EXPECT_NE(fromBare, DzGuid::fromString(QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA4")));
}

TEST(DzGuid, InvalidText_Null)
{
    const QString cases[] = {
        QString(),
        QStringLiteral("{}"),
        QStringLiteral("not a guid"),
        QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA"),   // one digit short
        QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AAG"),  // not hexadecimal
        QStringLiteral("78494DDE53004CC9A1D1001ECDE80AA3XXXX"),  // no dashes
        QStringLiteral("{78494DDE-5300-4CC9-A1D1-001ECDE80AA3"), // unbalanced brace
        QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA3}"),
        QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA3 trailing"),
        QStringLiteral("{78494DDE-5300-4CC9-A1D1-001ECDE80AA3}}"),
        QStringLiteral("78494DDE+5300-4CC9-A1D1-001ECDE80AA3"),  // wrong separator
    };
    for (const QString& text : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(DzGuid::fromString(text).isNull());
    }
    EXPECT_TRUE(DzGuid().isNull());
}

TEST(DzVersion, Ordering_EachComponentOutranksAllThatFollowIt)
{
    const DzVersion sdk(4, 5, 0, 100);
    EXPECT_EQ(sdk, DzVersion(4, 5, 0, 100));
    EXPECT_LT(DzVersion(4, 5, 0, 99), sdk);
    EXPECT_LT(sdk, DzVersion(4, 5, 1, 0));
    EXPECT_LT(sdk, DzVersion(4, 6, 0, 0));
    EXPECT_LT(DzVersion(4, 4, 65535, 65535), sdk);
    EXPECT_LT(DzVersion(3, 65535, 65535, 65535), DzVersion(4, 0, 0, 0));
    EXPECT_GT(DzVersion(5, 0, 0, 0), sdk);
    EXPECT_LE(sdk, sdk);
    EXPECT_NE(sdk, DzVersion(4, 5, 0, 101));
    EXPECT_FALSE(sdk < sdk);
    EXPECT_FALSE(sdk > sdk);
    EXPECT_EQ(sdk.toString(), QStringLiteral("4.5.0.100"));
    EXPECT_EQ(DzVersion().toString(), QStringLiteral("0.0.0.0"));
}
