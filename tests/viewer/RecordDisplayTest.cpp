// The record display without a window: rows and their formats, the blocks
// kept per file kind, and the series built on a chart.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AxisPanel.h"
#include "BSpline.h"
#include "ChartAxis.h"
#include "Exception.h"
#include "LineSeries.h"
#include "RecordDisplay.h"

namespace {

// Sample blocks as a backend hands them out.
struct TBlocks {
    std::vector<std::vector<std::uint16_t>> Samples;
    std::vector<NARVI_SBL_T> Table;
    void Add(double time, std::uint32_t channel, std::vector<std::uint16_t> samples) {
        Samples.push_back(std::move(samples));
        Table.push_back({time, channel, 0, 2, nullptr});
        for (std::size_t i = 0; i < Table.size(); ++i) {
            Table[i].SAMPLE = Samples[i].data();
            Table[i].SAMPLE_COUNT = static_cast<std::uint32_t>(Samples[i].size());
        }
    }
};

struct TShot {
    std::uint32_t RecordNo = 7;
    double TimeSorg = 1234.5, TimeExternal = 90061.25;
    NARVI_FLOAT64_VECTOR3_T Origin{0.5, -1.25, 2}, Direction{0.6, 0, 0.8};
    std::uint16_t Flags = 0x0003, Facet = 2;
};

// A display with the record it shows.
struct TView {
    TCurrentRecord Record;
    TRecordDisplay Display{Record};
    TFileKind Kind;
    explicit TView(TFileKind kind = TFileKind::Kqm, double samplingTime = 1e-9) : Kind(kind) {
        Display.OpenFile(kind, 3e8, samplingTime);
        Display.InitInfoList();
    }
    TRecordDisplay* operator->() { return &Display; }
};

void Accept(TView& v, const TBlocks& b, const TShot& s = {}) {
    AcceptRecord(v.Record, v.Kind, s.RecordNo, s.TimeSorg, s.TimeExternal, s.Origin, s.Direction, s.Flags, s.Facet,
                 static_cast<std::uint32_t>(b.Table.size()), sizeof(NARVI_SBL_T), b.Table.data());
}

TBlocks ThreeChannels() {
    TBlocks b;
    b.Add(1234.5 + 1e-7, NARVI_CHANNEL_HP, {10, 40, 90, 40, 10});
    b.Add(1234.5 + 2e-7, NARVI_CHANNEL_LP, {5, 20, 5});
    b.Add(1234.5 + 3e-7, NARVI_CHANNEL_REF, {1, 2, 3, 2});
    return b;
}

}  // namespace

TEST(ViewerFormat, ExternalTimeRoundsToMicrosecondsBeforeSplitting) {
    struct Case {
        double t;
        const char* text;
    } cases[] = {
        {90061.25, "Mon(1) 01:01:01.250 000"},
        {0, "00:00:00.000 000"},
        {59.9999996, "00:01:00.000 000"},  // carries into the next second
        {86399.9999999, "Mon(1) 00:00:00.000 000"},
        {7 * 86400 + 3.000001, "Sun(7) 00:00:03.000 001"},
        {-1, "23:59:59.000 000"},  // no day before the epoch is named
        {NAN, "(none)"},
        {INFINITY, "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        EXPECT_EQ(FormatExternalTime(c.t), c.text);
    }
    EXPECT_EQ(YesNo(true), "YES");
    EXPECT_EQ(ChannelName(2), "SHP");
    EXPECT_EQ(ChannelName(9), "?");
    EXPECT_EQ(ChannelColor(NARVI_CHANNEL_SHP), clNone);
}

TEST(ViewerInfoList, RowsByNameWithoutRegardToCase) {
    TInfoList l;
    l.Add("Heading");
    l.SetInfo("Facet", "1");
    l.SetInfo("FACET", "2");  // replaces
    l.SetInfoN("Vector", 0, "a");
    l.SetInfoN("Vector", 2, "c");  // fewer rows: appended
    l.SetInfoN("vector", 1, "C");
    EXPECT_EQ(l.Rows(), (std::vector<std::string>{"Heading", "Facet=2", "Vector=a", "Vector=C"}));
    l.RemoveInfo("vector");
    l.RemoveInfo("heading");
    EXPECT_EQ(l.Text(), "Facet=2\r\n");
    std::string name, value;
    EXPECT_FALSE(TInfoList::SplitNameValue("Heading", name, value));
    EXPECT_TRUE(TInfoList::SplitNameValue("a=b=c", name, value));
    EXPECT_EQ(name + "|" + value, "a|b=c");
    EXPECT_EQ(RowValueForCopy("Internal time [sec]=1 234.500 000"), "1234.500000");
    EXPECT_EQ(RowValueForCopy("Heading text"), "Headingtext");
}

TEST(ViewerRecord, RowsOfAShotInTheirFormats) {
    TView d;
    d->UpdateInfo();
    EXPECT_EQ(d->Info().ValueOf("Measurement record"), "(none)");
    EXPECT_EQ(d->Info().ValueOf("  GPS Synchronized"), "-");
    TShot s;
    s.Flags = 0x00AB & ~NARVI_FLAGS_HOUSEKEEPING;
    s.Direction = {-0.123456789, 1, -0.5};
    Accept(d, ThreeChannels(), s);
    d->UpdateInfo();
    const TInfoList& i = d->Info();
    EXPECT_EQ(i.ValueOf("Measurement record"), "7");
    EXPECT_EQ(i.ValueOf("Internal time [sec]"), "1 234.500 000");
    EXPECT_EQ(i.ValueOf("External time [sec]"), "90 061.250 000");
    EXPECT_EQ(i.ValueOf("External time"), "Mon(1) 01:01:01.250 000");
    EXPECT_EQ(i.ValueOf("Origin vector [m]", 1), "-1.2500");
    EXPECT_EQ(i.ValueOf("Direction vector", 0), "-0.123 456 789");
    EXPECT_EQ(i.ValueOf("Scan angle [deg]"), "76.130");
    EXPECT_EQ(i.ValueOf("Flags"), "0x00AB");
    EXPECT_EQ(i.ValueOf("  GPS Synchronized"), "YES");
    EXPECT_EQ(i.ValueOf("  Within last second"), "YES");
    EXPECT_EQ(i.ValueOf("  Housekeeping record"), "NO");
    EXPECT_EQ(i.ValueOf("Sample blocks"), "3");
    EXPECT_EQ(i.Count(), 17);
    EXPECT_EQ(d->SampleBlockLabel(), "(all)");
}

TEST(ViewerRecord, ScanAngleWithoutXAndHousekeepingRows) {
    struct Case {
        NARVI_FLOAT64_VECTOR3_T dir;
        const char* angle;
    } cases[] = {{{0, 0, 1}, "90.000"}, {{0, 0, -2}, "-90.000"}, {{0, 1, 0}, "(none)"}, {{1, 0, -1}, "-45.000"}};
    for (const Case& c : cases) {
        TView d;
        TShot s;
        s.Direction = c.dir;
        Accept(d, {}, s);
        d->UpdateInfo();
        EXPECT_EQ(d->Info().ValueOf("Scan angle [deg]"), c.angle);
    }
    TView d;
    TShot house;
    house.Flags = NARVI_FLAGS_HOUSEKEEPING;
    house.Origin = {NAN, NAN, NAN};
    Accept(d, {}, house);
    d->UpdateInfo();
    EXPECT_EQ(d->Info().ValueOf("Sample blocks"), "0");
    EXPECT_EQ(d->Info().ValueOf("Origin vector [m]", 2), "(none)");
    EXPECT_EQ(d->Info().ValueOf("Direction vector", 0), "(none)");
    EXPECT_EQ(d->Info().ValueOf("Facet"), "(none)");
    EXPECT_EQ(d->Info().ValueOf("  Housekeeping record"), "YES");
}

TEST(ViewerRecord, BlocksKeptPerFileKind) {
    TBlocks b;
    b.Add(1.0, NARVI_CHANNEL_HP, {1, 2});
    b.Add(2.0, NARVI_CHANNEL_SHP, {200, 3});
    b.Add(3.0, NARVI_CHANNEL_REF, {4});
    b.Add(4.0, NARVI_CHANNEL_LP, {5});
    b.Add(5.0, 7, {6});
    TView kqm(TFileKind::Kqm);
    Accept(kqm, b);
    EXPECT_EQ(kqm.Record.Blocks.size(), 5);

    TView hxt(TFileKind::Hxt);
    Accept(hxt, b);
    EXPECT_EQ(hxt.Record.Blocks.size(), 2);
    EXPECT_EQ(hxt.Record.Blocks[1].Channel, NARVI_CHANNEL_LP);
    hxt->UpdateInfo();
    EXPECT_EQ(hxt->Info().ValueOf("Saturation"), "200");
    EXPECT_EQ(hxt->Info().ValueOf("Instant of Pulse Emission [sec]"), "3.000 000");
    // Raw range counts from the reference pulse.
    hxt->SetAxisX(TAxisX::RawRange);
    EXPECT_DOUBLE_EQ(hxt->SampleX(hxt.Record.Blocks[0], 0), 3e8 * 0.5 * (1.0 - 3.0));

    // The backend's block records may be larger than ours.
    struct TWide {
        NARVI_SBL_T Block;
        char Extra[8];
    } wide[2] = {{b.Table[0], {}}, {b.Table[3], {}}};
    AcceptRecord(kqm.Record, TFileKind::Kqm, 9, 0, 0, {}, {}, 0, 0, 2, sizeof(TWide), &wide[0].Block);
    EXPECT_EQ(kqm.Record.Blocks[1].Samples, std::vector<std::uint16_t>{5});
}

TEST(ViewerRecord, ImpossibleBlockTablesLeaveTheRecordInvalid) {
    TView d;
    TBlocks many;
    for (int i = 0; i < 33; ++i) many.Add(i, 0, {1});
    try {
        Accept(d, many);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Too many sample blocks (33)");
    }
    EXPECT_FALSE(d.Record.Valid);
    EXPECT_THROW(AcceptRecord(d.Record, TFileKind::Kqm, 1, 0, 0, {}, {}, 0, 0, 2, sizeof(NARVI_SBL_T), nullptr),
                 Exception);
    TBlocks two;
    two.Add(0, 0, {1});
    two.Add(1, 1, {2});
    for (std::uint32_t size : {std::uint32_t{sizeof(NARVI_SBL_T) - 8}, std::uint32_t{sizeof(NARVI_SBL_T) + 4}}) {
        EXPECT_THROW(AcceptRecord(d.Record, TFileKind::Kqm, 1, 0, 0, {}, {}, 0, 0, 2, size, two.Table.data()),
                     Exception);
    }
    TBlocks hollow;
    hollow.Add(0, 0, {1});
    hollow.Table[0].SAMPLE = nullptr;
    EXPECT_THROW(Accept(d, hollow), Exception);
    EXPECT_FALSE(d.Record.Valid);
}

TEST(ViewerRecord, SampleBlockModeRowsAndStepping) {
    TView d;
    d->SetSampleBlockMode(true);
    d->UpdateInfo();
    EXPECT_EQ(d->SampleBlockLabel(), "(none)");
    EXPECT_EQ(d->Info().ValueOf("  Channel"), "(none)");
    Accept(d, ThreeChannels());
    EXPECT_FALSE(d->PrevSampleBlock());
    EXPECT_TRUE(d->NextSampleBlock());
    d->UpdateInfo();
    EXPECT_EQ(d->SampleBlockLabel(), "2 of 3");
    EXPECT_EQ(d->Info().ValueOf("Sample block selected"), "2");
    EXPECT_EQ(d->Info().ValueOf("  Channel"), "LP");
    EXPECT_EQ(d->Info().ValueOf("  Sample count"), "3");
    EXPECT_EQ(d->Info().ValueOf("  Time [sec]"), "1234.500 000");
    EXPECT_EQ(d->Info().Rows().back(), "  Time [sec]=1234.500 000");
    EXPECT_TRUE(d->NextSampleBlock());
    EXPECT_FALSE(d->NextSampleBlock());
    Accept(d, {});  // a record without blocks
    d->UpdateInfo();
    EXPECT_EQ(d->SelectedBlock(), 0);
    EXPECT_EQ(d->SampleBlockLabel(), "(none)");
    EXPECT_EQ(d->Info().ValueOf("  Sample count"), "(none)");
    d->SetSampleBlockMode(false);
    d->UpdateInfo();
    EXPECT_EQ(d->Info().ValueOf("  Sample count"), "");
    EXPECT_EQ(d->Info().Count(), 17);
}

namespace {

struct TDrawn {
    TCustomAxisPanel Chart{nullptr};
    TView Display;
    explicit TDrawn(TEnhance mode) {
        Display->SetEnhance(mode);
        Accept(Display, ThreeChannels());
        Display->DrawRecord(Chart);
    }
    TChartSeries* S(int i) { return Chart.Series(i); }
};

}  // namespace

TEST(ViewerDraw, OneSeriesPerBlockAndOneLinePerBlockWhenEnhanced) {
    TDrawn none(TEnhance::None);
    ASSERT_EQ(none.Chart.SeriesCount(), 3);
    const TColor colours[] = {clRed, clGreen, clNavy};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(dynamic_cast<TPointSeries*>(none.S(i)), nullptr);
        EXPECT_EQ(none.S(i)->SeriesColor(), colours[i]);
    }
    EXPECT_EQ(none.S(0)->PointCount(), 5);

    TDrawn linear(TEnhance::Linear);
    ASSERT_EQ(linear.Chart.SeriesCount(), 6);
    for (int i = 0; i < 6; i += 2) {
        auto* line = dynamic_cast<TLineSeries*>(linear.S(i));
        auto* points = dynamic_cast<TPointSeries*>(linear.S(i + 1));
        ASSERT_TRUE(line && points);
        EXPECT_EQ(line->DataSource(), points);
        ASSERT_EQ(line->PointCount(), points->PointCount());
        for (int k = 0; k < points->PointCount(); ++k) {
            EXPECT_EQ(line->XValueAt(k), points->XValueAt(k));
            EXPECT_EQ(line->YValueAt(k), points->YValueAt(k));
        }
    }

    TDrawn smooth(TEnhance::Smooth);
    ASSERT_EQ(smooth.Chart.SeriesCount(), 6);
    for (int i = 0; i < 6; i += 2) {
        TChartSeries* line = smooth.S(i);
        TChartSeries* points = smooth.S(i + 1);
        const int n = points->PointCount();
        EXPECT_EQ(line->DataSource(), nullptr);
        ASSERT_EQ(line->PointCount(), 4 * n + 1);
        EXPECT_NEAR(line->XValueAt(0), points->XValueAt(0), 1e-9);
        EXPECT_NEAR(line->YValueAt(0), points->YValueAt(0), 1e-9);
        EXPECT_NEAR(line->XValueAt(4 * n), points->XValueAt(n - 1), 1e-9);
        EXPECT_NEAR(line->YValueAt(4 * n), points->YValueAt(n - 1), 1e-9);
    }
}

TEST(ViewerDraw, LongBlocksGetTheirOwnCurvePointsAndPointSizeReachesEverySeries) {
    TCustomAxisPanel chart(nullptr);
    TView d;
    TBlocks b;
    std::vector<std::uint16_t> wave(2048);
    for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<std::uint16_t>(128 + 100 * std::sin(i * 0.05));
    b.Add(0.5, NARVI_CHANNEL_HP, wave);
    b.Add(0.6, NARVI_CHANNEL_LP, {7});
    Accept(d, b);
    d->SetEnhance(TEnhance::Smooth);
    d->SetPointSize(chart, 3);
    d->DrawRecord(chart);
    ASSERT_EQ(chart.SeriesCount(), 4);
    EXPECT_EQ(chart.Series(0)->PointCount(), 4 * 2048 + 1);  // beyond the spline's own step cap
    {
        // The curve points are the spline's own, at the viewer's steps.
        TBSpline spline;
        spline.SetPassThroughPoints(true);
        for (std::size_t i = 0; i < wave.size(); ++i) spline.AddSplinePoint(chart.Series(1)->XValueAt(int(i)), wave[i]);
        for (int k = 0; k <= 4 * 2048; k += 7) {
            const TSplinePoint p = spline.PointAt(k / (4.0 * 2048));
            ASSERT_NEAR(chart.Series(0)->XValueAt(k), p.X, 1e-12);
            ASSERT_NEAR(chart.Series(0)->YValueAt(k), p.Y, 1e-9);
        }
    }
    EXPECT_EQ(chart.Series(2)->PointCount(), 5);  // one sample: the curve stays on it
    EXPECT_EQ(chart.Series(2)->YValueAt(4), 7);
    for (TChartSeries* s : chart.SeriesList()) {
        auto* c = dynamic_cast<TCustomSeries*>(s);
        EXPECT_EQ(c->Pointer().HorizSize(), 3);
        EXPECT_EQ(c->Pointer().VertSize(), 3);
        if (dynamic_cast<TLineSeries*>(s)) {
            EXPECT_EQ(c->LinePen()->Width(), 3);
        }
    }
    d->SetPointSize(chart, 0);  // ignored
    EXPECT_EQ(d->PointSize(), 3);
    d->SetSampleBlockMode(true);
    d->NextSampleBlock();
    d->DrawRecord(chart);
    ASSERT_EQ(chart.SeriesCount(), 2);
    EXPECT_EQ(chart.Series(1)->SeriesColor(), clGreen);
}

TEST(ViewerDraw, XOfEachAxisModeAndTheBottomAxis) {
    TView d;
    TBlocks b;
    b.Add(1234.5 + 8e-9, NARVI_CHANNEL_HP, {1, 2, 3});
    Accept(d, b);
    const TShownBlock& block = d.Record.Blocks[0];
    TCustomAxisPanel chart(nullptr);
    struct Case {
        TAxisX mode;
        double x2;
        const char* title;
        double increment;
        const char* format;
    } cases[] = {
        {TAxisX::TimeStamp, 1234.5 + 10e-9, "Time stamp [sec]", 1e-9, "0.000 000 000"},
        {TAxisX::RawRange, 10e-9 * 1.5e8, "Raw range [m]", 0.001, "# ##0.000"},
        {TAxisX::RangeGate, 10, "Range gate index", 1, "# ##0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        d->SetAxisX(c.mode);
        // The start time carries about 2e-13 s of rounding at 1234 s.
        EXPECT_NEAR(d->SampleX(block, 2), c.x2, 1e-3);
        d->ApplyAxis(chart);
        EXPECT_EQ(chart.BottomAxis()->Title().Caption(), c.title);
        EXPECT_EQ(chart.BottomAxis()->Increment(), c.increment);
        EXPECT_EQ(chart.BottomAxis()->AxisValuesFormat(), c.format);
    }
    // Without a sampling time the gate index still stays finite.
    TView z(TFileKind::Kqm, 0);
    z->SetAxisX(TAxisX::RangeGate);
    Accept(z, b);
    z->DrawRecord(chart);
    for (int i = 0; i < chart.Series(0)->PointCount(); ++i) EXPECT_EQ(chart.Series(0)->XValueAt(i), i);
}

TEST(ViewerDraw, DataTextHoldsEveryPointSeriesOnce) {
    TDrawn linear(TEnhance::Linear);
    const std::string text = TRecordDisplay::DataText(linear.Chart);
    EXPECT_EQ(text.find("id, X, Y\r\n  0, 1234.500, 10\r\n  1, 1234.500, 40\r\n"), 0u);
    std::size_t headers = 0;
    for (std::size_t p = text.find("id, X, Y"); p != std::string::npos; p = text.find("id, X, Y", p + 1)) ++headers;
    EXPECT_EQ(headers, 3u);
    EXPECT_NE(text.find("  3, 1234.500, 2\r\n"), std::string::npos);  // the last block's points too
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 5 + 3 + 4);
}
