// The zebra list box, the header canvas and the picture accessors, checked on rendered pixels.

#include "common/Pictures.h"
#include "common/cListBox.h"
#include "common/headCanvas.h"

#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QFontMetricsF>
#include <QImage>
#include <QListView>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class PiecesWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Pieces"), 940, 400); }
    void CreateControls() override
    {
        add(new cListBox, QStringLiteral("LB_numberSelected"), 10, 10, 180, 200);
        add(new headCanvas, QStringLiteral("headCanvas1"), 200, 0, 644, 42);
    }
};

class SharedPieces : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = fw::Window::New<PiecesWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        if (window)
            window->Close();
        testsupport::settle();
    }

    cListBox* list() const { return window->control<cListBox>(QStringLiteral("LB_numberSelected")); }

    QPointer<PiecesWindow> window;
};

TEST_F(SharedPieces, ListRowsAreFourteenPixelsHighOnceOpen)
{
    cListBox* lb = list();
    for (int i = 0; i < 6; ++i)
        lb->AddRow(QString::number(i * 11));
    testsupport::settle();
    EXPECT_EQ(lb->DefaultRowHeight(), 14);
    QAbstractItemModel* m = lb->view()->model();
    for (int row = 0; row < 6; ++row) {
        const QRect r = lb->view()->visualRect(m->index(row, 0));
        EXPECT_EQ(r.height(), 14) << "row " << row;
        EXPECT_EQ(r.top(), 14 * row) << "row " << row;
    }
    // Their text shows whole: a line of the list's font, centred in a row, holds the marks above
    // capitals and the tails below the line.
    const QFontMetricsF metrics(lb->view()->font());
    const qreal line = metrics.ascent() + metrics.descent();
    EXPECT_LE(line, 14.0);
    const qreal baseline = std::floor((14 - line) / 2) + metrics.ascent();
    for (const QString& letter : {QStringLiteral("\u00C5"), QStringLiteral("\u00C9"), QStringLiteral("g"),
                                 QStringLiteral("j"), QStringLiteral("p"), QStringLiteral("q"), QStringLiteral("y")}) {
        const QRectF ink = metrics.tightBoundingRect(letter);
        EXPECT_GE(baseline + ink.top(), 0.0) << letter.toStdString();
        EXPECT_LE(baseline + ink.bottom(), 14.0) << letter.toStdString();
    }
    EXPECT_GE(metrics.height(), 10.0) << "the font is no smaller than it must be";
}

TEST_F(SharedPieces, EvenRowsAreShadedFromEdgeToEdge)
{
    cListBox* lb = list();
    for (int i = 0; i < 5; ++i)
        lb->AddRow(QStringLiteral("entry %1").arg(i));
    testsupport::settle();
    const QImage image = lb->widget()->grab().toImage();
    const QPoint viewport = lb->view()->viewport()->geometry().topLeft();
    const QColor base = lb->view()->palette().color(QPalette::Base);
    ASSERT_NE(base.rgb(), QColor(0xEE, 0xEE, 0xEE).rgb());
    QAbstractItemModel* m = lb->view()->model();
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        const QRect r = lb->view()->visualRect(m->index(row, 0)).translated(viewport);
        const QColor expected = row % 2 == 0 ? QColor(0xEE, 0xEE, 0xEE) : base;
        // Left edge, right edge, and the top and bottom lines of the cell, all clear of the text.
        const QPoint samples[] = {{r.left(), r.center().y()}, {r.right(), r.center().y()},
                                  {r.right() - 3, r.top()}, {r.right() - 3, r.bottom()}};
        for (QPoint p : samples)
            EXPECT_EQ(image.pixelColor(p).name(), expected.name()) << p.x() << "," << p.y();
    }
    // Below the last row the list shows its plain background.
    const QRect last = lb->view()->visualRect(m->index(4, 0)).translated(viewport);
    EXPECT_EQ(image.pixelColor(last.right(), last.bottom() + 7).name(), base.name());
}

// Colour distance small enough for smooth scaling of a gradient.
bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 && std::abs(a.blue() - b.blue()) <= 6;
}

TEST_F(SharedPieces, HeaderCanvasStretchesThePictureOverItsWholeArea)
{
    fw::Control* canvas = window->FindControl(QStringLiteral("headCanvas1"));
    const QImage picture = headbar().pixmap().toImage();
    ASSERT_FALSE(picture.isNull());
    const QSize sizes[] = {{644, 42}, {900, 42}, {200, 30}, {300, 90}};
    for (QSize size : sizes) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
        canvas->setBounds(200, 0, size.width(), size.height());
        const QImage shown = canvas->widget()->grab().toImage();
        ASSERT_EQ(shown.size(), size);
        // Fractions of the area map to the same fractions of the picture, in each direction alone.
        // The last row holds the picture's dark bottom line, also where the picture is squeezed.
        const double fractions[][2] = {{0.02, 0.1}, {0.5, 0.5}, {0.98, 0.3}, {1.0, 1.0}, {0.0, 1.0}, {0.5, 0.02}};
        for (const auto& f : fractions) {
            const QPoint at(int(f[0] * (size.width() - 1)), int(f[1] * (size.height() - 1)));
            const QPoint source(int(f[0] * (picture.width() - 1)), int(f[1] * (picture.height() - 1)));
            EXPECT_TRUE(near(shown.pixelColor(at), picture.pixelColor(source)))
                << "at " << at.x() << "," << at.y() << " shows " << shown.pixelColor(at).name().toStdString()
                << ", picture has " << picture.pixelColor(source).name().toStdString();
        }
    }
}

TEST(Pictures, AccessorsServeOnePictureAndReadTheResourcesOnce)
{
    using Accessor = fw::Picture (*)();
    const struct {
        const char* name;
        Accessor get;
    } accessors[] = {{"Splash_logo", &Splash_logo}, {"logoBadge", &logoBadge}, {"headbar", &headbar}};
    for (const auto& a : accessors) {
        SCOPED_TRACE(a.name);
        const fw::Picture first = a.get();
        ASSERT_FALSE(first.isNull());
        const int readsAfterFirst = pictureResourceReads();
        for (int i = 0; i < 3; ++i) {
            const fw::Picture again = a.get();
            EXPECT_EQ(again.pixmap().cacheKey(), first.pixmap().cacheKey()) << "the same picture";
        }
        EXPECT_EQ(pictureResourceReads(), readsAfterFirst) << "served from the cache";
    }
    // Each of the three resources is read at most once in the whole process.
    EXPECT_LE(pictureResourceReads(), 3);
    // Three distinct pictures.
    EXPECT_NE(Splash_logo().pixmap().cacheKey(), headbar().pixmap().cacheKey());
    EXPECT_NE(logoBadge().pixmap().cacheKey(), headbar().pixmap().cacheKey());
}

} // namespace
