#include "common/desktop_opener.h"
#include "support/ui/compact_splash.h"
#include "testlib/scoped_hook.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QPixmap Picture()
{
    QPixmap picture(510, 310);
    picture.fill(Qt::white);
    return picture;
}

void PostClick(QLabel* label)
{
    const QPointF at(2, 2);
    QCoreApplication::postEvent(label, new QMouseEvent(QEvent::MouseButtonRelease, at, label->mapToGlobal(at),
                                                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

}  // namespace

TEST(CompactSplash, LaysTheLinesOutBottomUpAndSkipsEmptyPairs)
{
    TCompactSplash splash;
    splash.VersionText = "1.2.3";
    splash.LeftMargin = splash.BottomMargin = 10;
    splash.ShowSplash();
    // Without a picture the window has no client area; the lines still stand on the bottom margin.
    EXPECT_EQ(splash.Window->size(), QSize(0, 0));
    const auto caption = [&splash](int pair) { return splash.Captions[pair]; };
    const auto value = [&splash](int pair) { return splash.Values[pair]; };
    EXPECT_EQ(caption(4)->y(), -10 - value(4)->height());
    EXPECT_EQ(caption(3)->y(), caption(4)->y() - value(3)->height());
    EXPECT_EQ(caption(1)->y(), caption(3)->y() - value(1)->height());
    EXPECT_FALSE(caption(0)->isVisibleTo(splash.Window.get()));
    EXPECT_FALSE(caption(2)->isVisibleTo(splash.Window.get()));

    splash.SetPicture(Picture());
    splash.ShowSplash();
    EXPECT_EQ(splash.Window->size(), QSize(510, 310));
    EXPECT_EQ(value(4)->y() + value(4)->height(), 300);
    EXPECT_EQ(caption(4)->x(), 10);
    EXPECT_EQ(value(4)->x(), caption(4)->x() + caption(4)->width());
    EXPECT_EQ(value(1)->text(), "1.2.3");
    EXPECT_TRUE(caption(1)->text().endsWith(": "));
    EXPECT_TRUE(value(4)->font().underline());
    EXPECT_TRUE(value(4)->text().startsWith("https://"));
    EXPECT_TRUE(caption(3)->text().contains(QString::number(NoticeYear(QDate::currentDate().year()))));
    EXPECT_EQ(NoticeYear(1999), 2002);
}

TEST(CompactSplash, EscapeClosesTheAboutBoxButNotTheSplash)
{
    TCompactSplash splash;
    splash.ProductName = "Pictavo";
    splash.SetPicture(Picture());
    splash.ShowSplash();
    QTest::keyClick(splash.Window.get(), Qt::Key_Escape);
    EXPECT_TRUE(splash.Window->isVisible());
    splash.HideAfter(-3);
    EXPECT_FALSE(splash.Window->isVisible());

    QString title;
    QTimer::singleShot(0, [&] {
        title = splash.Window->windowTitle();
        QTest::keyClick(splash.Window.get(), Qt::Key_Escape);
    });
    splash.ShowAbout();  // returns only once the box is closed
    EXPECT_EQ(title, "About Pictavo");
    EXPECT_FALSE(splash.Window->isVisible());
    EXPECT_EQ(splash.Window->result(), QDialog::Rejected);
}

TEST(CompactSplash, HideAfterKeepsTheProgramRunningMeanwhile)
{
    TCompactSplash splash;
    splash.SetPicture(Picture());
    splash.ShowSplash();
    bool ran = false;
    QTimer::singleShot(100, [&ran] { ran = true; });
    splash.HideAfter(1);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(splash.Window->isVisible());
}

TEST(CompactSplash, TheLinkOpensOnceForTwoQuickClicks)
{
    QStringList opened;
    const ScopedHook opener(SetDesktopOpener,
                            [&opened](const QString& target, const QString&, const QString&) { opened << target; });
    TCompactSplash splash;
    splash.SetPicture(Picture());
    splash.ShowSplash();
    PostClick(splash.Values[TCompactSplash::kLinkPair]);
    PostClick(splash.Values[TCompactSplash::kLinkPair]);
    PostClick(splash.Captions[TCompactSplash::kVersionPair]);
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, QStringList{splash.LinkText});
    EXPECT_EQ(splash.Values[TCompactSplash::kLinkPair]->palette().color(QPalette::WindowText), splash.FontColor);
}
