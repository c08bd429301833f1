#include "rtl/DateTime.h"

#include <gtest/gtest.h>
#include <locale.h>

#include "rtl/Exceptions.h"

namespace pavana {
namespace {

FormatSettings DayFirst() {
    FormatSettings s;
    s.ShortDateFormat = "dd/mm/yyyy";
    s.DateSeparator = "/";
    s.LongTimeFormat = "hh:nn:ss";
    s.ShortTimeFormat = "hh:nn";
    return s;
}

TEST(DateTime, DayZeroIsThirtiethOfDecember1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(DateTimeToTimeStamp(0).Date, 693594);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
    EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2);  // 2000 was a leap year
    EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1);
}

TEST(DateTime, TimeStampsRoundTrip) {
    TDateTime noon = EncodeDate(2024, 2, 29) + 0.5;
    TTimeStamp stamp = DateTimeToTimeStamp(noon);
    EXPECT_EQ(stamp.Time, 43'200'000);
    EXPECT_EQ(TimeStampToDateTime(stamp), noon);
    EXPECT_EQ(MSecsToTimeStamp(TimeStampToMSecs(stamp)), stamp);
    // Before day 0 the fraction is still the time of day.
    TTimeStamp before = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(before.Date, 693593);
    EXPECT_EQ(before.Time, 21'600'000);
    EXPECT_EQ(TimeStampToDateTime(before), -1.25);
    DateParts d = DecodeDate(-1.25);
    EXPECT_EQ(d.Year, 1899);
    EXPECT_EQ(d.Month, 12);
    EXPECT_EQ(d.Day, 29);
}

TEST(DateTime, EncodeRejectsPartsOutOfRange) {
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1));
}

TEST(DateTime, FormattingWithPatterns) {
    FormatSettings s = DayFirst();
    TDateTime t = EncodeDate(2024, 3, 9) + EncodeTime(14, 5, 7, 42);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t, s), "2024-03-09 14:05:07.042");
    EXPECT_EQ(FormatDateTime("d/m/yy h:mm", t, s), "9/3/24 14:05");  // m after h is minutes
    EXPECT_EQ(FormatDateTime("h:nn am/pm", t, s), "2:05 pm");
    EXPECT_EQ(FormatDateTime("'day' d", t, s), "day 9");
    EXPECT_EQ(DateTimeToStr(t, s), "09/03/2024 14:05:07");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 9), s), "09/03/2024");
    EXPECT_EQ(DateTimeToStr(t, FormatSettings::Invariant()), "3/9/2024 2:05:07 PM");
}

TEST(DateTime, ReadingFollowsTheDateOrderOfTheSettings) {
    FormatSettings s = DayFirst();
    EXPECT_EQ(StrToDate("09/03/2024", s), EncodeDate(2024, 3, 9));
    EXPECT_EQ(StrToDate("3/9/2024", FormatSettings::Invariant()), EncodeDate(2024, 3, 9));
    EXPECT_EQ(StrToDateTime(" 09/03/2024 14:05:07 ", s), EncodeDate(2024, 3, 9) + EncodeTime(14, 5, 7, 0));
    EXPECT_EQ(StrToDateTime("3/9/2024 2:05:07 PM", FormatSettings::Invariant()),
              EncodeDate(2024, 3, 9) + EncodeTime(14, 5, 7, 0));
    EXPECT_EQ(StrToTime("12:30 AM", s), EncodeTime(0, 30, 0, 0));
    EXPECT_THROW(StrToDate("31/02/2024", s), EConvertError);
    EXPECT_THROW(StrToDateTime("09/03/2024 25:00", s), EConvertError);
    EXPECT_THROW(StrToDate("hoje", s), EConvertError);
    EXPECT_THROW(StrToTime("14", s), EConvertError);
}

TEST(DateTime, TwoDigitYearsFallWithinFiftyYearsOfToday) {
    FormatSettings s = DayFirst();
    int year = DecodeDate(Now()).Year;
    int yy = (year + 10) % 100;
    TDateTime d = StrToDate("01/01/" + std::to_string(yy), s);
    EXPECT_EQ(DecodeDate(d).Year, year + 10);
    yy = (year - 10) % 100;
    d = StrToDate("01/01/" + std::to_string(yy), s);
    EXPECT_EQ(DecodeDate(d).Year, year - 10);
}

TEST(FormatSettings, CurrentCanBeReplaced) {
    FormatSettings s = DayFirst();
    s.DecimalSeparator = ",";
    FormatSettings::SetCurrent(s);
    EXPECT_EQ(FormatSettings::Current().DecimalSeparator, ",");
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 9)), "09/03/2024");
    FormatSettings::SetCurrent(FormatSettings::Invariant());
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 9)), "3/9/2024");
}

TEST(FormatSettings, PlainCLocaleGivesTheInvariantSettings) {
    FormatSettings s = FormatSettings::FromLocale("C");
    EXPECT_EQ(s.DecimalSeparator, ".");
    EXPECT_EQ(s.ShortDateFormat, "m/d/yyyy");
    FormatSettings c = FormatSettings::FromLocale("C.UTF-8");
    EXPECT_EQ(c.ShortDateFormat, "m/d/yyyy");
}

// The users' locale maps onto the platform's Brazilian settings: glibc's separators, currency
// and names, with the platform's short date, long date and weekday names where glibc differs.
TEST(FormatSettings, BrazilianLocaleGivesThePlatformsBrazilianSettings) {
    locale_t installed = newlocale(LC_ALL_MASK, "pt_BR.UTF-8", nullptr);
    ASSERT_NE(installed, nullptr) << "pt_BR.UTF-8 is not installed: scripts/install-deps.sh generates it";
    freelocale(installed);
    const FormatSettings br = FormatSettings::FromLocale("pt_BR.UTF-8");
    EXPECT_EQ(br.DecimalSeparator + br.ThousandSeparator + br.DateSeparator + br.TimeSeparator, ",./:");
    EXPECT_EQ(br.CurrencyString, "R$");
    EXPECT_EQ(br.CurrencyFormat, 2);  // "$ 1"
    EXPECT_EQ(br.NegCurrFormat, 9);   // "-$ 1"
    const TDateTime t = EncodeDate(2024, 3, 15) + EncodeTime(14, 30, 5, 0);
    EXPECT_EQ(DateTimeToStr(t, br), "15/03/2024 14:30:05");
    EXPECT_EQ(FormatDateTime(br.LongDateFormat, t, br), "sexta-feira, 15 de março de 2024");
    EXPECT_EQ(FormatDateTime("ddd d mmm, mmmm", t, br), "sex 15 mar, março");
    EXPECT_EQ(StrToDateTime("15/03/2024 14:30:05", br), t);

    // en_US keeps the platform's own forms where glibc's differ (01/02/2024, -$1).
    const FormatSettings us = FormatSettings::FromLocale("en_US.UTF-8");
    EXPECT_EQ(us.ShortDateFormat, "m/d/yyyy");
    EXPECT_EQ(us.NegCurrFormat, 0);
}

}  // namespace
}  // namespace pavana
