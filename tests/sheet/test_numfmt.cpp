#include "sheet/numfmt.h"

#include <QTest>

using namespace tovera;

class TestNumFmt : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void general_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("11-digit integer") << 12345678901.0 << "12345678901";
        QTest::newRow("12-digit integer") << 123456789012.0 << "1.23457E+11";
        QTest::newRow("1E15") << 1e15 << "1E+15";
        QTest::newRow("10/3") << 10.0 / 3 << "3.333333333";
        QTest::newRow("100/3") << 100.0 / 3 << "33.33333333";
        QTest::newRow("1234567.891") << 1234567.891 << "1234567.891";
        QTest::newRow("2/3e9") << 2.0 / 3 * 1e9 << "666666666.7";
        QTest::newRow("11 digits with fraction") << 12345678901.4 << "12345678901";
        QTest::newRow("1/3") << 1.0 / 3 << "0.333333333";
        QTest::newRow("2/3") << 2.0 / 3 << "0.666666667";
        QTest::newRow("small fixed") << 0.000123456789 << "0.000123457";
        QTest::newRow("tiny fits") << 0.000001 << "0.000001";
        QTest::newRow("tiny scientific") << 0.0000123456 << "1.23456E-05";
        QTest::newRow("negative third") << -1.0 / 3 << "-0.33333333";
        QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0.3";
        QTest::newRow("area sum") << 110.53999999999999 << "110.54";
        QTest::newRow("rounds up to 1") << 0.9999999999999 << "1";
        QTest::newRow("huge") << 1e300 << "1E+300";
        QTest::newRow("negative big") << -123456789012.0 << "-1.2346E+11";
    }
    void general() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatGeneral(value), text);
        QCOMPARE(formatNumber(value, QStringLiteral("General")), text);
        QCOMPARE(formatNumber(value, QStringLiteral("G/標準")), text);
    }

    void numbers_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << "0" << 1234.5 << "1235";
        QTest::newRow("0 negative rounds to -0") << "0" << -0.4 << "-0";
        QTest::newRow("0.00") << "0.00" << 110.53999999999999 << "110.54";
        QTest::newRow("0.00 half away") << "0.00" << 2.675 << "2.68";
        QTest::newRow("0.00 negative") << "0.00" << -2.675 << "-2.68";
        QTest::newRow("#,##0") << "#,##0" << 86806.0 << "86,806";
        QTest::newRow("#,##0 million") << "#,##0" << 1234567.0 << "1,234,567";
        QTest::newRow("#,##0 zero") << "#,##0" << 0.0 << "0";
        QTest::newRow("#,##0 negative") << "#,##0" << -1234.0 << "-1,234";
        QTest::newRow("#,##0.00") << "#,##0.00" << 1234.5 << "1,234.50";
        QTest::newRow("00.0 pads") << "00.0" << 5.0 << "05.0";
        QTest::newRow("#.## half") << "#.##" << 0.5 << ".5";
        QTest::newRow("#.## zero") << "#.##" << 0.0 << ".";
        QTest::newRow("0.# keeps point") << "0.#" << 1.0 << "1.";
        QTest::newRow("0.0? pads space") << "0.0?" << 1.5 << "1.5 ";
        QTest::newRow("thousands scale") << "0," << 12345.0 << "12";
        QTest::newRow("millions scale") << "0.0,," << 12345678.0 << "12.3";
        QTest::newRow("postal code") << "000-0000" << 1234567.0 << "123-4567";
        QTest::newRow("0%") << "0%" << 0.125 << "13%";
        QTest::newRow("0.0%") << "0.0%" << 0.125 << "12.5%";
        QTest::newRow("0.00%") << "0.00%" << -0.5 << "-50.00%";
        QTest::newRow("scientific") << "0.00E+00" << 12345.0 << "1.23E+04";
        QTest::newRow("scientific small") << "0.00E+00" << 0.00012 << "1.20E-04";
        QTest::newRow("scientific zero") << "0.00E+00" << 0.0 << "0.00E+00";
        QTest::newRow("scientific carry") << "0.0E+00" << 9.96 << "1.0E+01";
        QTest::newRow("E- hides plus") << "0.0E-0" << 1234.0 << "1.2E3";
        QTest::newRow("engineering") << "##0.0E+0" << 12345.0 << "12.3E+3";
        QTest::newRow("engineering small") << "##0.0E+0" << 0.00012 << "120.0E-6";
        QTest::newRow("two sections negative") << "0;(0)" << -5.0 << "(5)";
        QTest::newRow("two sections positive") << "0;(0)" << 5.0 << "5";
        QTest::newRow("two sections zero") << "0;(0)" << 0.0 << "0";
        QTest::newRow("three sections zero") << "0;-0;\"zero\"" << 0.0 << "zero";
        QTest::newRow("hidden zero") << "0;-0;;@" << 0.0 << "";
        QTest::newRow("hide all") << ";;;" << 5.0 << "";
        QTest::newRow("literal and escape") << "\\$0\" yen\"" << 5.0 << "$5 yen";
        QTest::newRow("underscore space") << "0_)" << 5.0 << "5 ";
        QTest::newRow("fill dropped") << "* 0" << 5.0 << "5";
        QTest::newRow("colour ignored") << "[Red]0.0" << 1.25 << "1.3";
        QTest::newRow("colour in negative") << "0;[Red]-0" << -3.0 << "-3";
        QTest::newRow("condition high") << "[>100]\"big\";[<=100]0" << 150.0 << "big";
        QTest::newRow("condition low") << "[>100]\"big\";[<=100]0" << 50.0 << "50";
        QTest::newRow("condition negative keeps sign") << "[>100]\"big\";0" << -5.0 << "-5";
        QTest::newRow("general in section") << "0.0;\"neg\";General" << 0.0 << "0";
        QTest::newRow("general negative section") << "General;-General" << -2.5 << "-2.5";
        QTest::newRow("yen currency") << "\"\\\"#,##0;\"\\\"\\-#,##0" << -1500.0 << "\\-1,500";
        QTest::newRow("locale currency") << "[$¥-411]#,##0" << 1500.0 << "¥1,500";
        QTest::newRow("dollar currency negative")
            << "\"$\"#,##0_);(\"$\"#,##0)" << -1234.0 << "($1,234)";
        QTest::newRow("accounting zero")
            << "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ " << 0.0 << " - ";
        QTest::newRow("accounting positive")
            << "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ " << 1234.0 << " 1,234 ";
        QTest::newRow("fraction") << "# ?/?" << 1.25 << "1 1/4";
        QTest::newRow("fraction below one") << "# ?/?" << 0.3333 << " 1/3";
        QTest::newRow("fraction whole") << "# ?/?" << 2.0 << "2    ";
        QTest::newRow("fraction two digits") << "# ?"
                                                "?/?"
                                                "?"
                                             << 3.14159 << "3 14/99";
        QTest::newRow("fraction two digits pads") << "# ?"
                                                     "?/?"
                                                     "?"
                                                  << 2.5 << "2  1/2 ";
        QTest::newRow("fraction fixed") << "# ?/8" << 1.5 << "1 4/8";
        QTest::newRow("improper fraction") << "?/?" << 1.5 << "3/2";
        QTest::newRow("text format shows number") << "@" << 12.5 << "12.5";
        QTest::newRow("large with 0") << "0" << 1e20 << "100000000000000000000";
    }
    void numbers() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, code), text);
    }

    void dates_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QString>("text");
        const double t = 36954 + (13 * 3600 + 5 * 60 + 9) / 86400.0; // 2001-03-04 13:05:09
        QTest::newRow("yyyy/m/d") << "yyyy/m/d" << 36964.0 << false << "2001/3/14";
        QTest::newRow("m/d/yy") << "m/d/yy" << 36964.0 << false << "3/14/01";
        QTest::newRow("d-mmm-yy") << "d-mmm-yy" << t << false << "4-Mar-01";
        QTest::newRow("mmmm dddd") << "mmmm dddd" << t << false << "March Sunday";
        QTest::newRow("mmmmm ddd") << "mmmmm ddd" << t << false << "M Sun";
        QTest::newRow("h:mm:ss") << "h:mm:ss" << t << false << "13:05:09";
        QTest::newRow("hh:mm") << "hh:mm" << t << false << "13:05";
        QTest::newRow("AM/PM") << "h:mm AM/PM" << t << false << "1:05 PM";
        QTest::newRow("am/pm midnight") << "h:mm am/pm" << 1.0 << false << "12:00 am";
        QTest::newRow("A/P") << "h A/P" << 0.25 << false << "6 A";
        QTest::newRow("mm:ss minutes") << "mm:ss" << t << false << "05:09";
        QTest::newRow("m before s") << "m:s" << t << false << "5:9";
        QTest::newRow("subseconds") << "mm:ss.0" << 1.5 / 86400 << false << "00:01.5";
        QTest::newRow("rounds to second")
            << "h:mm" << (10 * 3600 + 29 * 60 + 59.6) / 86400 << false << "10:30";
        QTest::newRow("drops seconds")
            << "h:mm" << (10 * 3600 + 29 * 60 + 40) / 86400.0 << false << "10:29";
        QTest::newRow("next day") << "h:mm:ss" << 0.99999999 << false << "0:00:00";
        QTest::newRow("elapsed hours") << "[h]:mm" << 1.5 << false << "36:00";
        QTest::newRow("elapsed h:mm:ss") << "[h]:mm:ss" << 2.0 + 1.0 / 86400 << false << "48:00:01";
        QTest::newRow("elapsed minutes") << "[mm]:ss" << 1.0 / 24 << false << "60:00";
        QTest::newRow("年月日") << "yyyy\"年\"m\"月\"d\"日\"" << 45306.0 << false
                                << "2024年1月15日";
        QTest::newRow("escaped 年月日")
            << "yyyy\\年m\\月d\\日" << 45306.0 << false << "2024年1月15日";
        QTest::newRow("年月") << "yyyy\"年\"m\"月\"" << 45306.0 << false << "2024年1月";
        QTest::newRow("時分") << "h\"時\"mm\"分\"" << 0.5625 << false << "13時30分";
        QTest::newRow("era long") << "[$-411]ggge\"年\"m\"月\"d\"日\"" << 36964.0 << false
                                  << "平成13年3月14日";
        QTest::newRow("era short") << "[$-411]ge.m.d" << 36964.0 << false << "H13.3.14";
        QTest::newRow("era gg ee") << "gggee" << 43586.0 << false << "令和01";
        QTest::newRow("era last day of Showa")
            << "ggge\"年\"m\"月\"d\"日\"" << 32515.0 << false << "昭和64年1月7日";
        QTest::newRow("era first day of Heisei") << "ge" << 32516.0 << false << "H1";
        QTest::newRow("Japanese weekday") << "aaa" << 36964.0 << false << "水";
        QTest::newRow("Japanese weekday long") << "aaaa" << 36964.0 << false << "水曜日";
        QTest::newRow("serial 0") << "yyyy-mm-dd" << 0.0 << false << "1900-01-00";
        QTest::newRow("fake leap day") << "yyyy-mm-dd" << 60.0 << false << "1900-02-29";
        QTest::newRow("before leap day") << "yyyy-mm-dd" << 59.0 << false << "1900-02-28";
        QTest::newRow("after leap day") << "yyyy-mm-dd" << 61.0 << false << "1900-03-01";
        QTest::newRow("1900-01-01 is Sunday") << "ddd" << 1.0 << false << "Sun";
        QTest::newRow("2000-01-01") << "yyyy-mm-dd ddd" << 36526.0 << false << "2000-01-01 Sat";
        QTest::newRow("1904 system") << "yyyy-mm-dd" << 0.0 << true << "1904-01-01";
        QTest::newRow("1904 same day")
            << "yyyy-mm-dd ddd" << 36526.0 - 1462 << true << "2000-01-01 Sat";
        QTest::newRow("largest date") << "yyyy-mm-dd" << 2958465.0 << false << "9999-12-31";
        QTest::newRow("past largest") << "yyyy-mm-dd" << 2958466.0 << false << "########";
        QTest::newRow("negative date") << "yyyy-mm-dd" << -1.0 << false << "########";
        QTest::newRow("system long date")
            << "[$-F800]dddd, mmmm dd, yyyy" << 36964.0 << false << "2001年3月14日";
        QTest::newRow("system time") << "[$-F400]h:mm:ss AM/PM" << 0.5 << false << "12:00:00";
    }
    void dates() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(bool, date1904);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, code, date1904), text);
    }

    // [DBNum1-3]: counted numbers take place units, placeholders go digit by digit, dates
    // count each field; [$-411] names months, weekdays and the half of the day in Japanese.
    void japaneseModifiers_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("DBNum1 General") << "[DBNum1]General" << 123.0 << "百二十三";
        QTest::newRow("DBNum1 G/標準") << "[DBNum1]G/標準" << 1234.0 << "千二百三十四";
        QTest::newRow("DBNum1 ten thousand") << "[DBNum1]General" << 10000.0 << "一万";
        QTest::newRow("DBNum1 zeros inside") << "[DBNum1]General" << 20050.0 << "二万五十";
        QTest::newRow("DBNum1 large")
            << "[DBNum1]General" << 123456789.0 << "一億二千三百四十五万六千七百八十九";
        QTest::newRow("DBNum1 zero") << "[DBNum1]General" << 0.0 << "〇";
        QTest::newRow("DBNum1 decimals") << "[DBNum1]General" << 12.05 << "十二.〇五";
        QTest::newRow("DBNum1 negative") << "[DBNum1]General" << -15.0 << "-十五";
        QTest::newRow("DBNum1 scientific") << "[DBNum1]General" << 1.5e20 << "一.五E+二〇";
        QTest::newRow("DBNum1 placeholders") << "[DBNum1]0" << 123.0 << "一二三";
        QTest::newRow("DBNum1 padded") << "[DBNum1]0000" << 105.0 << "〇一〇五";
        QTest::newRow("DBNum1 grouped") << "[DBNum1]#,##0" << 86806.0 << "八六,八〇六";
        QTest::newRow("DBNum1 literal") << "[DBNum1]General\\円" << 300.0 << "三百円";
        QTest::newRow("DBNum2 General") << "[DBNum2]General" << 123.0 << "壱百弐拾参";
        QTest::newRow("DBNum2 ten thousand") << "[DBNum2]General" << 11000.0 << "壱萬壱阡";
        QTest::newRow("DBNum2 placeholders") << "[DBNum2]0" << 105.0 << "壱零伍";
        QTest::newRow("DBNum3 General") << "[DBNum3]General" << 123.0 << "百２十３";
        QTest::newRow("DBNum3 placeholders") << "[DBNum3]0.0" << 12.25 << "１２.３";
        QTest::newRow("DBNum1 with colour and condition")
            << "[Red][DBNum1][<0]-General;[DBNum1]General" << -21.0 << "-二十一";
        QTest::newRow("DBNum1 in one section only") << "[DBNum1]General;General" << -21.0 << "21";
        QTest::newRow("DBNum1 era date")
            << "[DBNum1][$-411]ggge\\年m\\月d\\日" << 36964.0 << "平成十三年三月十四日";
        QTest::newRow("DBNum1 padded date")
            << "[DBNum1]yyyy/mm/dd" << 36954.0 << "二千一/〇三/〇四";
        QTest::newRow("DBNum3 date") << "[DBNum3]m\\月d\\日" << 36964.0 << "３月十４日";
        QTest::newRow("DBNum1 invalid date stays") << "[DBNum1]yyyy/m/d" << -1.0 << "########";
        QTest::newRow("[$-411] mmm") << "[$-411]mmm" << 36964.0 << "3月";
        QTest::newRow("[$-411] mmmm ddd") << "[$-411]mmmm ddd" << 36964.0 << "3月 水";
        QTest::newRow("[$-411] dddd") << "[$-411]dddd" << 36964.0 << "水曜日";
        QTest::newRow("[$-411] mmmmm") << "[$-411]mmmmm" << 36964.0 << "3";
        QTest::newRow("[$-411] AM/PM") << "[$-411]AM/PM h:mm" << 36954.545243 << "午後 1:05";
        QTest::newRow("[$-411] am/pm morning") << "[$-411]h:mm am/pm" << 0.25 << "6:00 午前";
        QTest::newRow("[$-411] A/P stays") << "[$-411]h A/P" << 0.75 << "6 P";
        QTest::newRow("[$-409] stays English") << "[$-409]mmm ddd" << 36964.0 << "Mar Wed";
        QTest::newRow("[$-10411] keeps the LCID") << "[$-10411]dddd" << 36964.0 << "水曜日";
    }
    void japaneseModifiers() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, code), text);
    }

    void texts_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("General") << "General"
                                 << "abc"
                                 << "abc";
        QTest::newRow("number format") << "0.00"
                                       << "abc"
                                       << "abc";
        QTest::newRow("@") << "@"
                           << "abc"
                           << "abc";
        QTest::newRow("decorated @") << "\"[\"@\"]\""
                                     << "abc"
                                     << "[abc]";
        QTest::newRow("fourth section") << "0;-0;0;\"名前:\"@"
                                        << "山路"
                                        << "名前:山路";
        QTest::newRow("empty fourth hides") << "0;-0;0;"
                                            << "abc"
                                            << "";
    }
    void texts() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(formatText(text, code), shown);
    }
};

QTEST_GUILESS_MAIN(TestNumFmt)
#include "test_numfmt.moc"
