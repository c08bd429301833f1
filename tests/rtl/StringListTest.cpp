#include "rtl/StringList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "rtl/Exceptions.h"

namespace pavana {
namespace {

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
}

std::vector<std::string> CommaItems(std::string_view text) {
    TStringList list;
    list.SetCommaText(text);
    return Lines(list);
}

TEST(StringListText, SplitsAtEveryKindOfLineBreakAndStopsAtNul) {
    TStringList list;
    list.SetText(std::string("a\r\nb\rc\n\nd\re\r\n", 14));
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "b", "c", "", "d", "e"}));
    list.SetText(std::string("one\0two\nthree", 13));
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"one"}));
    list.SetText("last line without break");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Text(), "last line without break\r\n");
}

TEST(StringListText, IndexOutsideBoundsRaisesTheListError) {
    TStringList list;
    list.Add("x");
    try {
        list.Strings(1);
        FAIL() << "no error raised";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (1)");
    }
    EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(StringListText, WholeTextChangeIsAnnouncedOnce) {
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&] { ++changing; };
    list.OnChange = [&] { ++changed; };
    list.SetText("a\nb\nc");
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    list.BeginUpdate();
    list.Add("d");
    list.Add("e");
    EXPECT_EQ(changed, 1);
    list.EndUpdate();
    EXPECT_EQ(changed, 2);
}

TEST(StringListFile, MissingFileRaisesCannotOpen) {
    TStringList list;
    try {
        list.LoadFromFile("/nonexistent/script.sql");
        FAIL() << "no error raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file /nonexistent/script.sql");
    }
}

TEST(StringListFile, DecodesUtf16AndWindows1252) {
    std::string path = testing::TempDir() + "stringlist_encoding.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(
            "\xFF\xFE"
            "a\0\xE7\0\r\0\n\0b\0",
            12);
    }
    TStringList list;
    list.LoadFromFile(path);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a\xC3\xA7", "b"}));
    {
        std::ofstream out(path, std::ios::binary);
        out << "atualiza\xE7\xF5"
               "es \x80";
    }
    list.LoadFromFile(path);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"atualiza\xC3\xA7\xC3\xB5"
                                                     "es \xE2\x82\xAC"}));
    std::remove(path.c_str());
}

TEST(StringListCommaText, ItemsOfALibraryStatement) {
    EXPECT_EQ(CommaItems(" executaDLL /opt/lib/atualiza.so;"),
              (std::vector<std::string>{"executaDLL", "/opt/lib/atualiza.so;"}));
    EXPECT_EQ(CommaItems(" executaDLL \"/opt/my libs/a.so;\""),
              (std::vector<std::string>{"executaDLL", "/opt/my libs/a.so;"}));
    // A ";" after the closing quote becomes an item of its own.
    EXPECT_EQ(CommaItems(" executaDLL \"/opt/my libs/a.so\";"),
              (std::vector<std::string>{"executaDLL", "/opt/my libs/a.so", ";"}));
    EXPECT_EQ(CommaItems(" executaDLL;"), (std::vector<std::string>{"executaDLL;"}));
}

TEST(StringListCommaText, QuotesCommasAndBlanks) {
    EXPECT_EQ(CommaItems("a , b,,c"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(CommaItems("\"say \"\"hi\"\"\" x"), (std::vector<std::string>{"say \"hi\"", "x"}));
    // Without its closing quote a stretch runs to the end and loses its last character.
    EXPECT_EQ(CommaItems("x \"unclosed text"), (std::vector<std::string>{"x", "unclosed tex"}));
    EXPECT_EQ(CommaItems("\"\""), (std::vector<std::string>{""}));
    EXPECT_EQ(CommaItems("   "), (std::vector<std::string>{}));
}

}  // namespace
}  // namespace pavana
