#include <gtest/gtest.h>

#include "rtl/DateTime.h"
#include "rtl/Exception.h"

TEST(DateTime, EncodesDaysSinceEpochAndDecodesBack)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    for (int y : {1, 1600, 1899, 1900, 2000, 2024, 2100, 9999})
        for (int m = 1; m <= 12; ++m)
            for (int d : {1, 28, DaysInMonth(y, m)}) {
                int yy, mm, dd;
                DecodeDate(EncodeDate(y, m, d) + 0.75, yy, mm, dd);
                ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
            }
}

TEST(DateTime, RefusesDatesAndTimesThatDoNotExist)
{
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 4, 31), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(12, 60, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(12, 0, 0, 1000), EConvertError);
}

TEST(DateTime, TimeOfDayRoundTripsAndFormats)
{
    const TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(13, 5, 9, 42);
    int h, m, s, ms;
    DecodeTime(t, h, m, s, ms);
    EXPECT_EQ(h * 10000000 + m * 100000 + s * 1000 + ms, 130509042);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t), "2026-12-08 13:05:09.042");
    EXPECT_EQ(FormatDateTime("dd/mm/yy", t), "08/12/26");
}
