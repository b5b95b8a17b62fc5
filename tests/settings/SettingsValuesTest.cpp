// The settings' text forms and checks: numbers read like the platform's
// conversion, stored garbage falling back to each key's default, and the
// coordinate and centring arithmetic.
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

struct ParseCase {
    const char *text;
    std::optional<long long> expected;  // within -32768..32767
};

TEST(ParseWholeNumber, ReadsLikeThePlatformsConversion)
{
    const ParseCase cases[] = {
        {"15", 15},
        {"  15\t", 15},
        {"-3", -3},
        {"+7", 7},
        {"007", 7},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"2.51", 3},
        {"0.5", 0},
        {".5", 0},
        {"7.", 7},
        {"1e1", 10},
        {"1.5E1", 15},
        {"25e-1", 2},
        {"32767", 32767},
        {"-32768", -32768},
        {"-32768.5", -32768},
        {"32767.5", std::nullopt},
        {"32768", std::nullopt},
        {"-32769", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"1,000", std::nullopt},
        {"1,5", std::nullopt},
        {"&H10", std::nullopt},
        {"0x10", std::nullopt},
        {"1e", std::nullopt},
        {"e1", std::nullopt},
        {"1e999", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const ParseCase &c : cases) {
        long long value = -99999;
        const bool ok = ParseWholeNumber(QString::fromLatin1(c.text), -32768, 32767, &value);
        EXPECT_EQ(ok, c.expected.has_value()) << '"' << c.text << '"';
        if (ok && c.expected) {
            EXPECT_EQ(value, *c.expected) << '"' << c.text << '"';
        }
    }
    long long value = 0;
    EXPECT_FALSE(ParseWholeNumber(QString::fromUtf8("１５"), -32768, 32767, &value));
    EXPECT_TRUE(ParseWholeNumber("2147483647", INT32_MIN, INT32_MAX, &value));
    EXPECT_EQ(value, 2147483647);
}

class StoredSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Tovelset.ini");
    }
    void store(SettingKey key, const char *text)
    {
        const SettingInfo &info = InfoOf(key);
        ASSERT_EQ(WriteValue(path, info.section, info.key, QString::fromLatin1(text)), 1);
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(StoredSettings, AMissingFileGivesEveryDefault)
{
    EXPECT_EQ(ReadSetting(path, SettingKey::Front), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::WinPos), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormTop, 4321), 4321);
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormLeft, -7), -7);
    EXPECT_EQ(ReadSetting(path, SettingKey::ShowAns), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::MaxPlace), 15);
    EXPECT_EQ(ReadSetting(path, SettingKey::UnitSeries), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::LastUnitSeries, 0, 5), 0);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(StoredSettings, ValuesOutsideWhatTheirUseAcceptsReadAsTheDefault)
{
    struct Case {
        SettingKey key;
        const char *stored;
        int expected;
    };
    const Case cases[] = {
        {SettingKey::Front, "-1", -1},
        {SettingKey::Front, "5", 5},
        {SettingKey::Front, "40000", 0},
        {SettingKey::Front, "on", 0},
        {SettingKey::WinPos, "1", 1},
        {SettingKey::WinPos, "2", 0},
        {SettingKey::WinPos, "-1", 0},
        {SettingKey::ShowAns, "2", 2},
        {SettingKey::ShowAns, "3", 0},
        {SettingKey::ShowAns, "", 0},
        {SettingKey::ShowAns, " 1.5 ", 2},
        {SettingKey::MaxPlace, "4", 4},
        {SettingKey::MaxPlace, "50", 50},
        {SettingKey::MaxPlace, "3", 15},
        {SettingKey::MaxPlace, "51", 15},
        {SettingKey::MaxPlace, "x", 15},
        {SettingKey::MaxPlace, "\"20\"", 20},
        {SettingKey::UnitSeries, "1", 1},
        {SettingKey::UnitSeries, "7", 0},
        {SettingKey::LastUnitSeries, "-1", 0},
        {SettingKey::LastUnitSeries, "40000", 0},
    };
    for (const Case &c : cases) {
        store(c.key, c.stored);
        EXPECT_EQ(ReadSetting(path, c.key), c.expected) << InfoOf(c.key).key << "=" << c.stored;
    }
}

TEST_F(StoredSettings, CoordinatesAreThirtyTwoBitWithTheCentredDefault)
{
    store(SettingKey::MainFormTop, "40000");
    store(SettingKey::MainFormLeft, "-300");
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormTop, 1000), 40000);
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormLeft, 1000), -300);
    store(SettingKey::MainFormTop, "2147483648");
    store(SettingKey::MainFormLeft, "left");
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormTop, 1000), 1000);
    EXPECT_EQ(ReadSetting(path, SettingKey::MainFormLeft, 999), 999);
}

TEST_F(StoredSettings, TheLastSeriesMustBeAnIndexOfTheList)
{
    store(SettingKey::LastUnitSeries, "3");
    EXPECT_EQ(ReadSetting(path, SettingKey::LastUnitSeries, 0, 4), 3);
    EXPECT_EQ(ReadSetting(path, SettingKey::LastUnitSeries, 0, 3), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::LastUnitSeries, 0, 0), 0);
    EXPECT_EQ(ReadSetting(path, SettingKey::LastUnitSeries), 3);  // list size not known
}

TEST_F(StoredSettings, WrittenValuesGoToTheirSections)
{
    EXPECT_EQ(WriteSettings(path, {{SettingKey::ShowAns, "2"}, {SettingKey::Front, "-1"}, {SettingKey::MaxPlace, "7"}}),
              1);
    EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "?"), "2");
    EXPECT_EQ(ReadValue(path, "FormSet", "Front", "?"), "-1");
    EXPECT_EQ(ReadValue(path, "CalcSet", "MaxPlace", "?"), "7");
    EXPECT_EQ(ReadValue(path, "FormSet", "ShowAns", "?"), "?");

    EXPECT_EQ(WriteSettings(dir.filePath("no/such/folder.ini"), {{SettingKey::ShowAns, "1"}}), 0);
}

TEST_F(StoredSettings, EveryKeyIsReadOnceAndWrittenBackThroughTheTable)
{
    // A file with a valid value for some keys and garbage for another.
    store(SettingKey::ShowAns, "2");
    store(SettingKey::MainFormTop, "1234567890");
    store(SettingKey::MainFormLeft, "left");
    store(SettingKey::LastUnitSeries, "3");
    const Settings read = ReadSettings(path, 3);
    for (const SettingInfo &row : SettingTable) {
        const bool stored = row.id == SettingKey::ShowAns || row.id == SettingKey::MainFormTop;
        EXPECT_EQ(read.isStored(row.id), stored) << row.key;
        EXPECT_EQ(read[row.id], stored ? ReadSetting(path, row.id) : row.defaultValue) << row.key;
    }

    // Written back in each key's text form, only the keys asked for.
    Settings changed = read;
    changed[SettingKey::MaxPlace] = 7;
    changed[SettingKey::WinPos] = 1;
    changed[SettingKey::Front] = -1;
    ASSERT_EQ(WriteSettings(path, changed, DialogSettingKeys()), 1);
    EXPECT_EQ(ReadValue(path, "CalcSet", "MaxPlace", "?"), "7");
    EXPECT_EQ(ReadValue(path, "FormSet", "WinPos", "?"), "1");
    EXPECT_EQ(ReadValue(path, "FormSet", "Front", "?"), "?");
    ASSERT_EQ(WriteSettings(path, changed, AllSettingKeys()), 1);
    EXPECT_EQ(ReadValue(path, "FormSet", "Front", "?"), "-1");
    EXPECT_EQ(ReadValue(path, "FormSet", "MainFormTop", "?"), CoordinateText(1234567890));
}

TEST(CoordinateText, WritesASinglePrecisionNumberLikeThePlatform)
{
    struct Case {
        double twips;
        const char *expected;
    };
    const Case cases[] = {
        {1234, "1234"},
        {-15, "-15"},
        {0, "0"},
        {-0.0, "0"},
        {1234.5, "1234.5"},
        {0.5, "0.5"},
        {-0.25, "-0.25"},
        {1234567, "1234567"},
        {12345678, "1.234568E+07"},
        {16777217, "1.677722E+07"},
        {0.00001, "1E-05"},
        {40000, "40000"},
        {123.456789, "123.4568"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CoordinateText(c.twips), QString::fromLatin1(c.expected)) << c.twips;
}

TEST(CentredPosition, RoundsHalfToEvenThenHalvesTowardZero)
{
    struct Case {
        double screen;
        double window;
        int expected;
    };
    const Case cases[] = {
        {1000, 400, 300},  {1001, 400, 300}, {1000.5, 0, 500}, {1001.5, 0, 501},
        {400, 1001, -300}, {0, 0.5, 0},      {0, 1.5, -1},     {28800, 6000, 11400},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CentredPosition(c.screen, c.window), c.expected) << c.screen << " - " << c.window;
}

}  // namespace
