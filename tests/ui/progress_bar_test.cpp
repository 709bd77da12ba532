// The progress bar: value rules, text, rounding and repaint economy.
#include "ui/progress_bar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFont>
#include <QPaintEvent>
#include <QRegion>

#include <string>
#include <vector>
#include "qt_print.h"

namespace {

enum class Op { Position, AddRow, Max, Min, Loading };
struct Step {
    Op op;
    double value = 0;
};

void Apply(TpxProgressBar& bar, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        switch (step.op) {
            case Op::Position: bar.SetPosition(step.value); break;
            case Op::AddRow: bar.SetPosition(bar.Position() + 1); break;
            case Op::Max: bar.Properties().SetMax(step.value); break;
            case Op::Min: bar.Properties().SetMin(step.value); break;
            case Op::Loading: bar.SetLoading(step.value != 0); break;
        }
    }
}

std::vector<Step> Rows(int count, double max) {
    std::vector<Step> steps{{Op::Position, 0}, {Op::Max, max}};
    for (int i = 0; i < count; ++i) steps.push_back({Op::AddRow});
    return steps;
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    double position, min, max;
    const char* text;
    double overload, peak;
};

}  // namespace

TEST(ProgressBar, ValueRangeAndTextFollowTheSetterRules) {
    const Case cases[] = {
        {"fresh bar", {}, 0, 0, 100, "0 %", 80, 0},
        {"empty search result", Rows(0, 0), 0, 0, 0, "0 %", 0, 0},
        {"1 of 200 rows, 0.5 rounds to even", Rows(1, 200), 1, 0, 200, "0 %", 80, 0},
        {"3 of 200 rows, 1.5 rounds to 2", Rows(3, 200), 3, 0, 200, "2 %", 80, 0},
        {"5 of 200 rows, 2.5 rounds to 2", Rows(5, 200), 5, 0, 200, "2 %", 80, 0},
        {"7 of 200 rows, 3.5 rounds to 4", Rows(7, 200), 7, 0, 200, "4 %", 80, 0},
        {"all 200 rows", Rows(200, 200), 200, 0, 200, "100 %", 80, 0},
        {"position beyond Max stores Max", {{Op::Position, 150}}, 100, 0, 100, "100 %", 80, 0},
        {"position below Min stores Min", {{Op::Min, 10}, {Op::Position, -5}}, 10, 10, 100, "0 %", 80, 10},
        {"Max below the position pulls it down", {{Op::Position, 80}, {Op::Max, 50}}, 50, 0, 50, "100 %", 50, 0},
        {"Max at or below Min stores unclamped", {{Op::Max, 0}, {Op::Position, 5}}, 5, 0, 0, "100 %", 0, 0},
        {"Max below Min pulls Min down", {{Op::Min, 10}, {Op::Max, 5}}, 10, 5, 5, "100 %", 5, 5},
        {"Min above Max pulls Max up, no clamping",
         {{Op::Position, 20}, {Op::Min, 150}},
         20,
         150,
         150,
         "0 %",
         150,
         150},
        {"loading takes values as they come", {{Op::Loading, 1}, {Op::Position, 500}}, 500, 0, 100, "100 %", 80, 0},
        {"ending the load clamps",
         {{Op::Loading, 1}, {Op::Position, 500}, {Op::Loading, 0}},
         100,
         0,
         100,
         "100 %",
         80,
         0},
    };
    for (const Case& c : cases) {
        TpxProgressBar bar;
        Apply(bar, c.steps);
        const TpxProgressBarProperties& p = bar.Properties();
        EXPECT_EQ(bar.Position(), c.position) << c.name;
        EXPECT_EQ(p.Min(), c.min) << c.name;
        EXPECT_EQ(p.Max(), c.max) << c.name;
        EXPECT_EQ(bar.ViewInfo().Text().toStdString(), c.text) << c.name;
        EXPECT_EQ(p.OverloadValue(), c.overload) << c.name;
        EXPECT_EQ(p.PeakValue(), c.peak) << c.name;
    }
}

TEST(ProgressBar, RepaintsOnlyWhenSomethingChanges) {
    TpxProgressBar bar;
    auto count = bar.InvalidateCount();
    const auto repainted = [&] {
        const bool changed = bar.InvalidateCount() != count;
        count = bar.InvalidateCount();
        return changed;
    };
    bar.SetPosition(0);
    EXPECT_FALSE(repainted()) << "unchanged position";
    bar.SetPosition(40);
    EXPECT_TRUE(repainted());
    bar.SetPosition(40);
    EXPECT_FALSE(repainted()) << "same position again";
    bar.SetPosition(100);
    bar.SetPosition(250);  // clamps onto the value it already has
    repainted();
    bar.SetPosition(250);
    EXPECT_FALSE(repainted()) << "clamped onto the current value";

    EXPECT_FALSE(bar.Properties().MaxAssigned());
    bar.Properties().SetMax(100);  // first assignment of the default value still assigns
    EXPECT_TRUE(bar.Properties().MaxAssigned());
    repainted();
    bar.Properties().SetMax(100);
    EXPECT_FALSE(repainted()) << "assigning the assigned Max again";
    bar.Properties().SetMax(300);
    EXPECT_TRUE(repainted());
    bar.Properties().SetShowText(true);
    EXPECT_FALSE(repainted()) << "unchanged option";
}

TEST(ProgressBar, PercentRoundsHalvesToEvenAndFillTruncates) {
    struct Row {
        double position, min, max;
        int percent, filledOf100;
    };
    const Row rows[] = {
        {0.5, 0, 100, 0, 0}, {1.5, 0, 100, 2, 1},  {2.5, 0, 100, 2, 2},   {99.5, 0, 100, 100, 99},
        {1, 0, 3, 33, 33},   {2, 0, 3, 67, 66},    {0, 0, 0, 0, 0},       {5, 0, 0, 100, 100},
        {-3, 0, 0, 0, 0},    {15, 10, 20, 50, 50}, {-2.5, -5, 0, 50, 50},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TpxCustomProgressBarViewInfo::Percent(r.position, r.min, r.max), r.percent)
            << r.position << " in " << r.min << ".." << r.max;
        EXPECT_EQ(TpxCustomProgressBarViewInfo::FilledWidth(100, r.position, r.min, r.max), r.filledOf100)
            << r.position << " in " << r.min << ".." << r.max;
    }
}

TEST(ProgressBar, TextStylesShowPositionOrText) {
    TpxProgressBar bar;
    fw::FormatSettings comma;
    comma.DecimalSeparator = ',';
    bar.SetFormatSettings(comma);
    bar.SetPosition(12.5);
    bar.Properties().SetShowTextStyle(TpxProgressBarTextStyle::pxtsPosition);
    EXPECT_EQ(bar.ViewInfo().Text(), QStringLiteral("12,5"));
    bar.Properties().SetText("Working");
    bar.Properties().SetShowTextStyle(TpxProgressBarTextStyle::pxtsText);
    EXPECT_EQ(bar.ViewInfo().Text(), QStringLiteral("Working"));
    bar.Properties().SetShowTextStyle(TpxProgressBarTextStyle::pxtsPercent);
    bar.Properties().SetMarquee(true);
    EXPECT_EQ(bar.ViewInfo().Text(), QStringLiteral("Working"));
}

TEST(ProgressBar, DefaultsOfTheOptions) {
    const TpxProgressBarProperties p;
    EXPECT_EQ(p.BarStyle(), TpxProgressBarBarStyle::pxbsSolid);
    EXPECT_EQ(p.Orientation(), TpxProgressBarOrientation::pxorHorizontal);
    EXPECT_EQ(ToQColor(p.BeginColor()), QColor(0, 0, 128));  // navy from $800000
    EXPECT_EQ(ToQColor(p.EndColor()), QColor(255, 255, 255));
    EXPECT_EQ(ToQColor(p.PeakColor()), QColor(255, 0, 0));  // red from $0000FF
    EXPECT_EQ(ToQColor(p.OverloadBeginColor()), QColor(255, 128, 128));
    EXPECT_EQ(p.BarBevelOuter(), TpxProgressBarBevelOuter::pxbvNone);
    EXPECT_EQ(p.BorderWidth(), 0);
    EXPECT_TRUE(p.ShowText());
    EXPECT_EQ(p.ShowTextStyle(), TpxProgressBarTextStyle::pxtsPercent);
    EXPECT_FALSE(p.SolidTextColor());
    EXPECT_FALSE(p.Marquee());
    EXPECT_EQ(p.AnimationPath(), TpxProgressBarAnimationPath::pxapCycle);
    EXPECT_EQ(p.AnimationSpeed(), 10);
    EXPECT_TRUE(p.TransparentImage());
    EXPECT_FALSE(p.ShowOverload());
    EXPECT_FALSE(p.ShowPeak());
    EXPECT_EQ(p.PeakSize(), 2);
}

TEST(ProgressBar, HeightIsOneLineOfTheFontPlusTheFrame) {
    TpxProgressBar bar;
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    bar.resize(908, bar.height());
    EXPECT_EQ(bar.height(), bar.fontMetrics().height() + 2 * TpxProgressBar::FrameWidth);
    EXPECT_EQ(bar.width(), 908);
    const int small = bar.height();
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 16));
    EXPECT_GT(bar.height(), small);
    EXPECT_EQ(bar.height(), bar.fontMetrics().height() + 2 * TpxProgressBar::FrameWidth);
}

namespace {

struct RenderedBar {
    QImage image;
    QRect inner;
    int filled;
};

RenderedBar RenderAt(double position) {
    TpxProgressBar bar;
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    bar.resize(208, bar.height());
    bar.SetPosition(position);
    return {bar.Render(), bar.ViewInfo().InnerRect(), bar.ViewInfo().BarRect().width()};
}

}  // namespace

TEST(ProgressBar, RendersTheFilledWidthAndInvertedText) {
    const QColor navy(0, 0, 128);
    const QColor navyInverse(255, 255, 127);
    {
        // 25 %: the edge of the fill lies well left of the centred text.
        const RenderedBar bar = RenderAt(25);
        ASSERT_EQ(bar.inner.width(), 208 - 2 * TpxProgressBar::FrameWidth);
        EXPECT_EQ(bar.filled, bar.inner.width() / 4);
        const int row = bar.inner.top() + 1;
        for (int x = bar.inner.left(); x < bar.inner.left() + bar.filled; ++x)
            ASSERT_EQ(bar.image.pixelColor(x, row), navy) << x;
        for (int x = bar.inner.left() + bar.filled; x < bar.inner.left() + bar.filled + 20; ++x)
            ASSERT_EQ(bar.image.pixelColor(x, row), QColor(Qt::white)) << x;
    }
    {
        // 50 %: the text straddles the edge; glyph pixels turn into the inverse
        // of the fill on the left and of the background on the right.
        const RenderedBar bar = RenderAt(50);
        const int edge = bar.inner.left() + bar.filled;
        int overFill = 0;
        int overEmpty = 0;
        for (int y = bar.inner.top(); y <= bar.inner.bottom(); ++y) {
            for (int x = bar.inner.left(); x <= bar.inner.right(); ++x) {
                const QColor pixel = bar.image.pixelColor(x, y);
                if (x < edge && pixel == navyInverse) ++overFill;
                if (x >= edge && pixel == QColor(Qt::black)) ++overEmpty;
            }
        }
        EXPECT_GT(overFill, 5);
        EXPECT_GT(overEmpty, 5);
    }
}

TEST(ProgressBar, PaintingCopiesTheRenderedImage) {
    TpxProgressBar bar;
    bar.resize(150, bar.height());
    bar.SetPosition(37);
    const QImage painted = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted, bar.Render().convertToFormat(QImage::Format_RGB32));
}

TEST(ProgressBar, APartDrawnAloneIsThatPartOfTheWholeBar) {
    TpxProgressBar bar;
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    bar.resize(208, bar.height());
    bar.SetPosition(50);  // the fill's edge runs through the text
    const QImage whole = bar.Render();
    const int h = bar.height();
    // The frame's corners, a strip at the fill's edge, the text, the whole bar.
    const std::vector<QRect> areas{
        {0, 0, 3, 3}, {200, h - 3, 8, 3}, {95, 0, 20, h}, {60, 2, 90, h - 4}, {0, 0, 208, h}};
    for (const QRect& area : areas) EXPECT_EQ(bar.Render(area), whole.copy(area)) << area.x() << "," << area.y();
}

TEST(ProgressBar, RepaintingAPartGivesThatPartOfTheRenderedImage) {
    TpxProgressBar bar;
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    bar.resize(208, bar.height());
    bar.SetPosition(50);
    const QImage whole = bar.Render();  // also builds the text's mask
    const int h = bar.height();
    // Inside the frame left and right of the text (solid rectangles), across
    // the text, over the frame.
    const std::vector<QRect> areas{{10, 3, 6, h - 6}, {150, 2, 40, h - 4}, {95, 2, 20, h - 4}, {0, 0, 208, h}};
    for (const QRect& area : areas) {
        QImage painted(area.size(), QImage::Format_RGB32);
        painted.fill(Qt::magenta);
        bar.render(&painted, QPoint(), QRegion(area), QWidget::RenderFlags());
        EXPECT_EQ(painted, whole.copy(area)) << area.x() << "," << area.y();
    }
}

// A search steps the bar once per row and lets the window paint after each:
// the steps of one frame are painted together, and the last one is painted
// within a frame even when no step follows it.
TEST(ProgressBar, StepsInQuickSuccessionArePaintedOncePerFrame) {
    class Paints : public QObject {
    public:
        int count = 0;
        QRegion region;

    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++count;
                region += static_cast<QPaintEvent*>(event)->region();
            }
            return false;
        }
    };
    TpxProgressBar bar;
    bar.resize(404, 21);
    bar.Properties().SetMax(1000);
    bar.show();
    QCoreApplication::processEvents();
    Paints paints;
    bar.installEventFilter(&paints);
    QElapsedTimer clock;
    clock.start();
    for (int row = 1; row < 1000; ++row) {
        bar.SetPosition(row);
        QCoreApplication::processEvents();
    }
    EXPECT_LE(paints.count, clock.elapsed() / TpxProgressBar::FrameMs + 2);
    EXPECT_GE(paints.count, 1);

    paints.region = QRegion();
    bar.SetPosition(1000);
    for (QElapsedTimer wait; !wait.isValid() || wait.elapsed() < 3 * TpxProgressBar::FrameMs;) {
        if (!wait.isValid()) wait.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, TpxProgressBar::FrameMs);
    }
    EXPECT_TRUE(paints.region.contains(bar.ViewInfo().BarRect().adjusted(0, 0, -1, 0).topRight()))
        << "the last step's edge is painted";
}
