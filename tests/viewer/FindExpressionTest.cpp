// Find texts: classification, the expression grammar, comparisons and the
// search loop's ends.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Exception.h"
#include "FindExpression.h"
#include "NarviBinding.h"

namespace {

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

TRecordFields Shot() {
    TRecordFields f;
    f.Index = 42;
    f.TimeExternal = 3600.0000000001;
    f.TimeSorg = 12.5;
    f.Flags = 0x0005;
    f.Facet = 2;
    f.Origin[1] = -1.5;
    f.Origin[2] = 7;
    f.Direction[0] = 0.25;
    f.SblCount = 3;
    return f;
}

}  // namespace

TEST(FindText, NumbersAreReadWholeAndLocaleFree) {
    EXPECT_EQ(StrToInt64Strict("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64Strict("$ff"), 255);
    EXPECT_EQ(StrToInt64Strict("0x10"), 16);
    EXPECT_EQ(StrToFloatStrict("-1.5e3"), -1500);
    EXPECT_EQ(StrToFloatStrict(".5"), 0.5);
    for (const char* bad : {"", "+", "5x", "9223372036854775808", "1 000", "--1", "0x", "1.5"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf([&] { StrToInt64Strict(bad); }), std::string("'") + bad + "' is not a valid integer value");
    }
    for (const char* bad : {"", "inf", "nan", "-inf", "1e400", "1,5", "1.5.", "+-1", "12.5e", "0x1p3"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf([&] { StrToFloatStrict(bad); }),
                  std::string("'") + bad + "' is not a valid floating point value");
    }
}

TEST(FindText, ClassifiedAsJumpOrExpression) {
    struct Case {
        const char* text;
        TFindKind kind;
        std::uint32_t record;
        double time;
    } cases[] = {
        {"+5", TFindKind::Record, 15, 0},
        {"-5", TFindKind::Record, 5, 0},
        {"5", TFindKind::Record, 5, 0},
        {" 7 ", TFindKind::Record, 7, 0},
        {"12.5i", TFindKind::InternalTime, 0, 12.5},
        {"12.5", TFindKind::ExternalTime, 0, 12.5},
        {"facet>1", TFindKind::Expression, 0, 0},
        {"a & b", TFindKind::Expression, 0, 0},
        {"x <> 1", TFindKind::Expression, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TFindTarget t = ClassifyFindText(c.text, 10, 100);
        EXPECT_EQ(t.Kind, c.kind);
        EXPECT_EQ(t.Record, c.record);
        EXPECT_EQ(t.Time, c.time);
    }
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("12.5e", 1, 0); }), "'12.5e' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("-11", 10, 100); }), "Record -1 is out of range (1 to 100)");
    EXPECT_EQ(ClassifyFindText("+91", 10, 100).Record, 101u);  // past the end: the reader refuses it
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("0", 10, 100); }), "Record 0 is out of range (1 to 100)");
    // Sums are computed in 64 bits: no wrap to a small record number.
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("+4294967295", 4294967290u, 0); }), "Record 8589934585 is out of range");
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("4294967295", 1, 0); }), "Record 4294967295 is out of range");
    EXPECT_EQ(ErrorOf([] { ClassifyFindText("99999999999999999999", 1, 0); }),
              "'99999999999999999999' is not a valid integer value");
    EXPECT_EQ(ClassifyFindText("4294967294", 1, 0).Record, 4294967294u);
}

TEST(FindExpressionParse, TermsFieldsAndValues) {
    using T = std::vector<TFindTerm>;
    struct Case {
        const char* text;
        T terms;
    } cases[] = {
        {"flags and 4 = 4 & facet > 1", T{{"flags and 4", "=", "4"}, {"facet", ">", "1"}}},
        {"FLAGS AND 4 = 4", T{{"flags and 4", "=", "4"}}},
        {"facet=2&&&sbl_count >= 3", T{{"facet", "=", "2"}, {"sbl_count", ">=", "3"}}},
        {"time = \"3600\"", T{{"time", "=", "3600"}}},
        {"time = \"", T{{"time", "=", "\""}}},  // a lone quote is kept
        {"x => 1", T{{"x", "=>", "1"}}},
        {"x ~ 1 &", T{{"x", "~", "1"}}},
        {"facet", T{{"facet", "", ""}}},
        {"", T{}},
        {"  &&  ", T{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseExpression(c.text), c.terms);
    }
    // An operator without a field is an error, not an expression matching everything.
    EXPECT_EQ(ErrorOf([] { ParseExpression("= 5"); }).rfind("Field \"\" not defined", 0), 0u);
    // Any length is safe.
    std::string huge(200000, '&');
    huge += "facet=1";
    EXPECT_EQ(ParseExpression(huge).size(), 0u);
    std::string many;
    for (int i = 0; i < 10000; ++i) many += "facet>0&";
    EXPECT_EQ(ParseExpression(many).size(), 10000u);
}

TEST(FindExpressionMatch, FieldsOperatorsMasksAndTolerance) {
    struct Case {
        const char* text;
        bool matches;
    } cases[] = {
        {"index = 42", true},
        {"index > 41 & index < 43", true},
        {"index <> 42", false},
        {"flags and 4 = 4", true},
        {"flags and $2 = 0", true},
        {"flags and -1 = 5", true},
        {"flags = 5", true},
        {"facet = 2 & sbl_count >= 3", true},
        {"facet = 2 & sbl_count >= 4", false},
        {"time = 3600.0", true},  // within the tolerance
        {"timeext >= 3600", true},
        {"extime < 3600", false},
        {"timeint = 12.5", true},
        {"intime <= 12.4999", false},
        {"oy = -1.5", true},
        {"oz = 7", true},
        {"ox <> 0", false},
        {"dx = 0.25", true},
        {"dx and 4 = 0.25", true},  // a mask on a float field is read, not used
        {"index >= -9223372036854775808", true},
        {"", true},
    };
    const TRecordFields shot = Shot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MatchRecord(ParseExpression(c.text), shot), c.matches);
    }
    // Housekeeping records carry NaN vectors: every comparison fails but "<>".
    TRecordFields house = shot;
    house.Origin[0] = NAN;
    for (const char* op : {"=", "<", "<=", ">", ">="}) EXPECT_FALSE(CompareFloat(op, house.Origin[0], 0));
    EXPECT_TRUE(MatchRecord(ParseExpression("ox <> 0"), house));
    EXPECT_TRUE(CompareFloat("=", 1e20, 1e20 + 1e7));
    EXPECT_FALSE(CompareFloat("=", 1e-13, 2e-12));
    EXPECT_TRUE(CompareInt("<", -1, 0));
}

TEST(FindExpressionMatch, ErrorTexts) {
    const TRecordFields shot = Shot();
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"facet => 1", "Operator \"=>\" not defined"},
        {"facet ~ 1", "Operator \"~\" not defined"},
        {"time = ", "'' is not a valid floating point value"},
        {"facet", "'' is not a valid integer value"},
        {"speed > 3",
         "Field \"speed\" not defined (available fields: index, timeext (or time), timeint, flags, "
         "facet, ox, oy, oz, dx, dy, dz, sbl_count)"},
        {"facet = two", "'two' is not a valid integer value"},
        {"time = 1e999", "'1e999' is not a valid floating point value"},
        {"time = nan", "'nan' is not a valid floating point value"},
        {"flags and 99999999999 = 1", "Mask 99999999999 out of range (0 to 4294967295)"},
        {"flags and x = 1", "'x' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // The error comes whatever the record holds: a failing earlier term does not hide it.
        EXPECT_EQ(ErrorOf([&] { MatchRecord(ParseExpression(std::string("index = 0 & ") + c.text), shot); }), c.error);
    }
}

namespace {

// A reader over records 1 .. count that, like the library, returns its last
// record again once it is reached.
struct TFakeReader {
    std::uint32_t Count;
    std::uint32_t Next = 1;
    std::uint32_t HouseAt = 0;
    TRecordFields operator()() {
        TRecordFields f;
        f.Index = Next;
        f.Flags = Next == HouseAt ? 4 : 0;
        if (Next < Count) ++Next;
        return f;
    }
};

}  // namespace

TEST(FindSearch, EndsOnMatchCancelOrTheEndOfTheData) {
    const TFindExpression house(ParseExpression("flags and 4 = 4"));
    std::vector<int> reports;
    TFakeReader reader{1000, 1, 700};
    TExpressionSearch search([&] { return reader(); },
                             [&](int p) {
                                 reports.push_back(p);
                                 return false;
                             });
    EXPECT_EQ(search.Run(house, 1000), TSearchResult::Found);
    EXPECT_EQ(search.RecordsRead(), 700u);
    EXPECT_EQ(reader.Next, 701u);
    // Progress is reported when the percentage changes, not for every record.
    EXPECT_LE(reports.size(), 71u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

    // Without a match: at the last record, and without a known count when
    // the reader repeats its last record; never an endless loop.
    EXPECT_EQ(search.Run(house, 1000), TSearchResult::NotFound);
    EXPECT_EQ(reader.Next, 1000u);
    reader = TFakeReader{50};
    reports.clear();
    EXPECT_EQ(search.Run(house, 0), TSearchResult::NotFound);
    EXPECT_EQ(search.RecordsRead(), 51u);
    for (int p : reports) EXPECT_EQ(p, 0);

    // A reader that reports the end of the data.
    int reads = 0;
    TExpressionSearch ending(
        [&]() -> TRecordFields {
            if (++reads > 3) throw EWaveFileEnd("*** EOF ***");
            TRecordFields f;
            f.Index = static_cast<std::uint32_t>(reads);
            return f;
        },
        nullptr);
    EXPECT_EQ(ending.Run(house, 0), TSearchResult::NotFound);

    // Cancel: the search stops at the next report.
    reader = TFakeReader{1000};
    TExpressionSearch cancelled([&] { return reader(); }, [](int p) { return p >= 5; });
    EXPECT_EQ(cancelled.Run(house, 1000), TSearchResult::Aborted);
    EXPECT_LT(reader.Next, 100u);
    EXPECT_STREQ(SearchResultText(TSearchResult::Aborted), "Search aborted");
    EXPECT_STREQ(SearchResultText(TSearchResult::Found), "Expression found");
}

TEST(FindSearch, PercentIsClamped) {
    EXPECT_EQ(TExpressionSearch::Percent(5, 0), 0);
    EXPECT_EQ(TExpressionSearch::Percent(1, 3), 33);
    EXPECT_EQ(TExpressionSearch::Percent(2, 3), 67);
    EXPECT_EQ(TExpressionSearch::Percent(4000000000u, 3), 100);
}
