#include "core/server/XMLParser.h"

#include "core/accounts/StringGrid.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>

using namespace parlomar;

namespace {

// A deliberately naive transcription of the tag-search rules: 1-based positions, every search
// lower-cases its whole text again, and the element search really deletes from a working copy. The
// fast implementation must give the same results on any input.
namespace naive {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

long Pos(const std::string& pattern, const std::string& text, long from) {
    if (from <= 0 || from > static_cast<long>(text.size())) {
        return 0;
    }
    const size_t r = text.find(pattern, static_cast<size_t>(from - 1));
    return r == std::string::npos ? 0 : static_cast<long>(r) + 1;
}

std::string Copy(const std::string& s, long index, long count) {
    if (count <= 0 || index < 1 || index > static_cast<long>(s.size())) {
        return "";
    }
    return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

// A grid that, like the original list control, keeps cells outside its row count.
struct Grid {
    int rows = 0;
    std::map<std::pair<int, int>, std::string> cells;
    std::string Cell(int c, int r) const {
        auto it = cells.find({c, r});
        return it == cells.end() ? "" : it->second;
    }
};

std::string Extract(const std::string& data, const std::string& section, const std::string& tag, int mode,
                    Grid* grid, int column) {
    std::string result;
    if (grid != nullptr) {
        grid->rows = 1;
        grid->cells[{0, 1}] = "";
    }
    std::string work = data;
    if (!section.empty()) {
        const long p = Pos("<" + Lower(section), Lower(data), 1);
        if (p == 0) {
            return "";
        }
        const long q = Pos("</" + Lower(section) + ">", Lower(data), 1);
        work = Copy(data, p + static_cast<long>(section.size()) + 1, q);
    }
    long s0 = 1;
    int n = 1;
    for (;;) {
        long b = Pos("<" + Lower(tag) + ">", Lower(work), s0);
        if (b == 0) {
            b = Pos("<" + Lower(tag) + " ", Lower(work), s0);
        }
        if (b == 0) {
            break;
        }
        const long s = b + static_cast<long>(tag.size()) + 1;
        const long e = Pos("</" + Lower(tag), Lower(work), s);
        const std::string value = e == 0 ? "" : Copy(work, s + 1, e - 1 - s);
        if (mode == 1 && grid != nullptr) {
            grid->rows = n + 1;
            grid->cells[{0, n}] = std::to_string(n);
            grid->cells[{column, n}] = value;
        } else if (mode == 2) {
            result = value;
        } else if (mode == 3) {
            result = result.empty() ? value : result + "\r" + value;
        }
        ++n;
        s0 = e;
    }
    return result;
}

std::string InnerText(const std::string& tag, const std::string& data) {
    const long p = Pos("<" + tag + ">", data, 1);
    const long q = Pos("</" + tag + ">", data, p);
    if (p >= 1 && q >= 1) {
        const long start = p + static_cast<long>(tag.size()) + 2;
        return Copy(data, start, q - start);
    }
    return "";
}

// With one deliberate difference: a pass that finds no further "<...>" is the last one. Taken
// literally, the closing-tag search of such a pass starts over at position 1 and can loop forever.
std::string ChildrenToList(const std::string& data, const std::string& tag, Grid* grid) {
    const std::string inner = InnerText(tag, data);
    std::string values;
    int r = 0;
    long k = 1;
    long c = 0;
    do {
        if (grid != nullptr) {
            grid->rows = r;
        }
        const long a = Pos("<", inner, k);
        const long g = Pos(">", inner, a);
        if (a == 0 || g == 0) {
            values += "\r";
            break;
        }
        const std::string name = Copy(inner, a + 1, g - a - 1);
        if (grid != nullptr) {
            grid->cells[{0, r}] = name;
        }
        c = Pos("</" + name + ">", inner, g + 1);
        const std::string value = Copy(inner, g + 1, c - 1 - g);
        if (grid != nullptr) {
            grid->cells[{1, r}] = value;
        }
        values += "\r" + value;
        k = c + 1;
        ++r;
    } while (c > 0);
    return values;
}

std::string FindElement(const std::string& data, const std::string& outer, const std::string& key,
                        const std::string& value) {
    std::string work = data;
    const std::string empty = "<" + outer + ">" + "</" + outer + ">";
    std::string element;
    do {
        element = "<" + outer + ">" + InnerText(outer, work) + "</" + outer + ">";
        const long p = Pos(element, work, 1);
        if (p > 0) {
            work.erase(static_cast<size_t>(p - 1), element.size());
        }
        if (Pos("<" + key + ">" + value + "</" + key + ">", element, 1) > 0) {
            return element;
        }
    } while (element != empty);
    return "";
}

} // namespace naive

const std::string CR = "\r";

std::string ExtractLast(const std::string& data, const std::string& section, const std::string& tag) {
    return XmlExtract(data, section, tag, kXmlLastValue);
}

} // namespace

TEST(XmlExtract, ReadsFieldsOfRepliesWithItsQuirks) {
    const std::string reply = "<?xml version=\"1.0\" ?><removeacct><result><status>1</status>"
                              "<statusmsg>Account removed</statusmsg></result></removeacct>";
    EXPECT_EQ(ExtractLast(reply, "result", "status"), "1");
    EXPECT_EQ(ExtractLast(reply, "RESULT", "STATUS"), "1");
    EXPECT_EQ(ExtractLast(reply, "result", "statusmsg"), "Account removed");
    // "</status" also closes "<statusmsg>": the first closing tag that begins with the name ends it.
    EXPECT_EQ(ExtractLast("<statusmsg>a</statusmsg>", "", "status"), "");

    // The last occurrence wins; values keep their case.
    EXPECT_EQ(ExtractLast("<user>Alice</user><USER>B&amp;b</User>", "", "user"), "B&b");
    // A longer tag name is not the tag; an attributed start tag gives attributes, ">" and text.
    EXPECT_EQ(ExtractLast("<username>bob</username>", "", "user"), "");
    EXPECT_EQ(ExtractLast("<user id=\"7\">bob</user>", "", "user"), "id=\"7\">bob");
    // A plain start tag anywhere later is preferred to an attributed one before it.
    EXPECT_EQ(XmlExtract("<a x>1</a><a>2</a>", "", "a", kXmlAllValues), "2");
    // No nesting: the first closing tag ends an element. A missing closing tag gives an empty value
    // and ends the loop.
    EXPECT_EQ(XmlExtract("<a>1</a><a>2<a>3</a>", "", "a", kXmlAllValues), "1" + CR + "2<a>3");
    EXPECT_EQ(XmlExtract("<a>1</a><a>2", "", "a", kXmlAllValues), "1" + CR);
    EXPECT_EQ(ExtractLast("<a>1</a><a>2", "", "a"), "");

    // Mode 3 joins with CR only; an empty first value is dropped, a later empty one is not.
    EXPECT_EQ(XmlExtract("<name>a</name><name>b</name><name>c</name>", "", "name", kXmlAllValues),
              "a" + CR + "b" + CR + "c");
    EXPECT_EQ(XmlExtract("<name></name><name>b</name><name>c</name>", "", "name", kXmlAllValues),
              "b" + CR + "c");
    EXPECT_EQ(XmlExtract("<name>a</name><name></name><name>c</name>", "", "name", kXmlAllValues),
              "a" + CR + CR + "c");
    EXPECT_EQ(XmlExtract("", "", "name", kXmlAllValues), "");
    EXPECT_EQ(XmlExtract("<name>a</name>", "", "name", 7), "");
}

TEST(XmlExtract, SectionWindowStartsAfterTheNameAndReachesPastTheElement) {
    // A version element nested in a version element: the window starts after the outer "<version"
    // and reaches past the first "</version>", so the inner element is found whole.
    EXPECT_EQ(ExtractLast("<version><version>11.30.0</version></version>", "version", "version"), "11.30.0");
    // The section pattern also matches longer names and attributed start tags.
    EXPECT_EQ(ExtractLast("<result a=\"1\"><status>0</status></result>", "result", "status"), "0");
    EXPECT_EQ(ExtractLast("<results><status>0</status></result>", "result", "status"), "0");
    EXPECT_EQ(ExtractLast("<results><status>0</status></results>", "result", "status"), "");
    // The window length is the closing tag's position in the whole data, not the element's length,
    // so a field after the section can be reached.
    const std::string pad(20, ' ');
    EXPECT_EQ(ExtractLast(pad + "<result></result><status>9</status>", "result", "status"), "9");
    EXPECT_EQ(ExtractLast("<result></result><status>9</status>", "result", "status"), "");
    EXPECT_EQ(ExtractLast("<result><status>1</status>", "result", "status"), ""); // no closing tag
    EXPECT_EQ(ExtractLast("<status>1</status>", "result", "status"), "");         // no section
    // A closing tag before the section start leaves a short window.
    EXPECT_EQ(ExtractLast("</result><result><status>1</status>", "result", "status"), "");
}

TEST(XmlExtract, FillsColumnsOfOneGrid) {
    const std::string reply = "<listaccts><acct><user>amy</user><domain>a.com</domain></acct>"
                              "<acct><user>bo</user><domain>b.org</domain></acct>"
                              "<acct><user>cy</user><domain>c.net</domain></acct></listaccts>";
    TStringGridData grid(4, 1);
    grid.SetCell(1, 0, "heading");
    EXPECT_EQ(XmlExtract(reply, "", "user", kXmlFillColumn, &grid, 1), "");
    XmlExtract(reply, "", "domain", kXmlFillColumn, &grid, 2);
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Cell(1, 0), "heading");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(grid.Cell(0, row), std::to_string(row));
    }
    EXPECT_EQ(grid.Cell(1, 1), "amy");
    EXPECT_EQ(grid.Cell(2, 1), "a.com");
    EXPECT_EQ(grid.Cell(1, 3), "cy");
    EXPECT_EQ(grid.Cell(2, 3), "c.net");

    // A shorter reply leaves only its own rows.
    XmlExtract("<acct><user>zed</user></acct>", "", "user", kXmlFillColumn, &grid, 1);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(1, 1), "zed");
    // No occurrence: one row, and row 1 has no number.
    XmlExtract("<acct></acct>", "", "user", kXmlFillColumn, &grid, 1);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Cell(0, 1), "");
    // A missing closing tag still gives a row, with an empty value, and ends the loop.
    XmlExtract("<user>a</user><user>b", "", "user", kXmlFillColumn, &grid, 1);
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 2), "");
    // A grid given with modes 2 and 3 is cut to one row.
    EXPECT_EQ(XmlExtract("<user>a</user>", "", "user", kXmlLastValue, &grid, 1), "a");
    EXPECT_EQ(grid.RowCount(), 1);
}

TEST(XmlInnerTextAndChildren, ReadOneElementCaseSensitively) {
    EXPECT_EQ(XmlInnerText("acct", "x<acct><user>bob</user></acct>y"), "<user>bob</user>");
    EXPECT_EQ(XmlInnerText("acct", "<acct id=\"1\"><user>bob</user></acct>"), "");
    EXPECT_EQ(XmlInnerText("acct", "<ACCT>a</ACCT>"), "");
    EXPECT_EQ(XmlInnerText("acct", "<acct>open"), "");
    EXPECT_EQ(XmlInnerText("acct", "</acct><acct>"), "");
    EXPECT_EQ(XmlInnerText("acct", "<acct></acct>"), "");

    TStringGridData grid(2, 5);
    EXPECT_EQ(XmlChildrenToList("<acct><user>bob</user><domain>x</domain></acct>", "acct", &grid),
              CR + "bob" + CR + "x" + CR);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(0, 0), "user");
    EXPECT_EQ(grid.Cell(1, 0), "bob");
    EXPECT_EQ(grid.Cell(0, 1), "domain");
    EXPECT_EQ(grid.Cell(1, 1), "x");

    // A child with attributes ends the list; its row stays outside the grid.
    EXPECT_EQ(
        XmlChildrenToList("<acct><user>bob</user><ip v=\"4\">1.2.3.4</ip><z>1</z></acct>", "acct", &grid),
        CR + "bob" + CR);
    EXPECT_EQ(grid.RowCount(), 1);
    // No element: no row, one CR. Without a grid only the text is made.
    EXPECT_EQ(XmlChildrenToList("nothing", "acct", &grid), CR);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(XmlChildrenToList("<p><a>1</a></p>", "p"), CR + "1" + CR);

    // Closing tags with an empty name must not make the walk go back and repeat forever.
    EXPECT_EQ(XmlChildrenToList("<acct><></></acct>", "acct", &grid), CR + CR);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(XmlChildrenToList("<acct><></><</acct>", "acct", &grid), CR + CR);
    EXPECT_EQ(XmlChildrenToList("<acct><x></></x></acct>", "acct", &grid), CR + "</>" + CR);
}

TEST(XmlFindElement, PicksThePackageByItsName) {
    const std::string p1 = "<package><name>basic</name><QUOTA>100</QUOTA></package>";
    const std::string p2 = "<package><name>gold</name><QUOTA>900</QUOTA></package>";
    const std::string reply = "<listpkgs>" + p1 + "\n" + p2 + "</listpkgs>";
    EXPECT_EQ(XmlFindElement(reply, "package", "name", "gold"), p2);
    EXPECT_EQ(XmlFindElement(reply, "package", "name", "basic"), p1);
    EXPECT_EQ(XmlFindElement(reply, "package", "name", "gol"), "");
    EXPECT_EQ(XmlFindElement(reply, "package", "NAME", "gold"), "");
    // An empty element ends the search.
    EXPECT_EQ(XmlFindElement("<package></package>" + p2, "package", "name", "gold"), "");
    // Removing an element joins the text around it, which can make a new start tag.
    EXPECT_EQ(XmlFindElement("<pack" + p1 + "age><name>x</name></package>", "package", "name", "x"),
              "<package><name>x</name></package>");
    EXPECT_EQ(XmlFindElement("<package" + p1 + "><name>x</name></package>", "package", "name", "x"),
              "<package><name>x</name></package>");
    EXPECT_EQ(XmlFindElement("<pa" + p1 + "ck" + p2 + "age><name>x</name></package>", "package", "name", "x"),
              "<package><name>x</name></package>");
}

TEST(XmlParser, MatchesNaiveTranscriptionOnGeneratedInputs) {
    const std::vector<std::string> pieces = {
        "<",    ">",     "/",    " ",        "a",       "A",        "b",
        "x",    "\r",    "<a>",  "</a>",     "<a ",     "</A>",     "<A>",
        "<ab>", "</ab>", "</",   "<s",       "<s>",     "</s>",     "<S>",
        "<>",   "</>",   "<b>",  "</b",      "<b>x",    "<a/>",     "<//",
        "<a<>", "</a<>", "</b>", "<b>x</b>", "<a></a>", "<a>x</a>", "<a><b>b</b></a>"};
    const std::vector<std::string> tags = {"a", "a", "a", "A", "ab", "", "s", "b", "b", "/", "a<", "<"};
    const std::vector<std::string> sections = {"", "s", "a", "S", "ab"};
    const std::vector<std::string> values = {"", "x", "b", "a", "<a>"};
    std::mt19937 rng(12345);
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };

    for (int round = 0; round < 20000; ++round) {
        std::string data;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            data += pick(pieces);
        }
        const std::string section = pick(sections);
        const std::string tag = pick(tags);
        SCOPED_TRACE("data=[" + data + "] section=[" + section + "] tag=[" + tag + "]");

        for (int mode = 2; mode <= 3; ++mode) {
            ASSERT_EQ(XmlExtract(data, section, tag, mode),
                      naive::Extract(data, section, tag, mode, nullptr, 0));
        }
        TStringGridData grid(3, 0);
        naive::Grid expected;
        XmlExtract(data, section, tag, kXmlFillColumn, &grid, 2);
        naive::Extract(data, section, tag, 1, &expected, 2);
        ASSERT_EQ(grid.RowCount(), expected.rows);
        for (int row = 1; row < expected.rows; ++row) {
            ASSERT_EQ(grid.Cell(0, row), expected.Cell(0, row));
            ASSERT_EQ(grid.Cell(2, row), expected.Cell(2, row));
        }

        ASSERT_EQ(XmlInnerText(tag, data), naive::InnerText(tag, data));

        TStringGridData list(2, 3);
        naive::Grid expectedList;
        ASSERT_EQ(XmlChildrenToList(data, tag, &list), naive::ChildrenToList(data, tag, &expectedList));
        ASSERT_EQ(list.RowCount(), expectedList.rows);
        for (int row = 0; row < expectedList.rows; ++row) {
            ASSERT_EQ(list.Cell(0, row), expectedList.Cell(0, row));
            ASSERT_EQ(list.Cell(1, row), expectedList.Cell(1, row));
        }

        const std::string key = pick(tags);
        const std::string value = pick(values);
        ASSERT_EQ(XmlFindElement(data, tag, key, value), naive::FindElement(data, tag, key, value))
            << "key=[" << key << "] value=[" << value << "]";
    }

    // Removing elements joins the text around them; small alphabets make new tags across the joins.
    const std::vector<std::string> joinPieces = {"<",    "a",    "b",     ">",        "/",   "x",   "<a>",
                                                 "</a>", "<ab>", "</ab>", "<b>x</b>", "<b>", "</b>"};
    for (int round = 0; round < 20000; ++round) {
        std::string data;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            data += pick(joinPieces);
        }
        const std::string outer = (round % 2 == 0) ? "a" : "ab";
        ASSERT_EQ(XmlFindElement(data, outer, "b", "x"), naive::FindElement(data, outer, "b", "x"))
            << "data=[" << data << "] outer=" << outer;
    }
}
