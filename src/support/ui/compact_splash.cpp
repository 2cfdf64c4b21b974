#include "support/ui/compact_splash.h"

#include "common/general.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "common/translate.h"
#include "support/scrambled.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QThread>

#include <algorithm>

namespace {

const QByteArray kCopyright = QByteArrayLiteral("\x9a\xd4\xde\xdd\xe4\xce\xd3\xbf\xd9");  // Copyright
const QByteArray kMaker =
    QByteArrayLiteral("\xae\xca\xdc\xc8\xe4\xca\xd8\x77\xaa\xdc\xd8\xd7\xd7\xdc\xc9\xce\xe1\xc9\xe5");  // Wendrel Enterprises
const QByteArray kTerms = QByteArrayLiteral(
    "\x9d\xd7\xd3\xc9\x92\xd9\xdb\x77\xda\xe1\xc9\x92\xc6\xda\xbb\x85\xe1\xcc\xd3\xd7\xd1");  // Free to use and share
const QByteArray kAboutPrefix = QByteArrayLiteral("\x98\xc7\xdd\xd9\xe6\x85");           // "About "
const QByteArray kVersionLabel = QByteArrayLiteral("\xad\xca\xe0\xd7\xdb\xd4\xda");      // Version
const QByteArray kLinkLabel = QByteArrayLiteral("\xae\xca\xd0");                         // Web
const QByteArray kLink = QByteArrayLiteral(
    "\xbf\xd9\xe2\xd4\xe5\x9f\x9b\x86\xdc\xe5\xdb\xa0\xdc\xd1\xc5\xc9\xe0\xc9\xde\x93\xd1\xcf\xc6\xdb\xd4\xde\xca\x9b"
    "\xc7\xce\xd1\xd8\xd3\xdb\xdb\x86");  // the product's home page

constexpr int kFirstYear = 2002;
constexpr int kMaxWaitSeconds = 10;
constexpr int kWaitStepMs = 50;

QString BuildNotice()
{
    return Translate(Unscramble(kCopyright)) + " \u00A9 " + QString::number(NoticeYear(QDate::currentDate().year())) +
           " " + Unscramble(kMaker) + ". " + Translate(Unscramble(kTerms)) + ".";
}

}  // namespace

int NoticeYear(int clockYear)
{
    return std::max(clockYear, kFirstYear);
}

TCompactSplash::TCompactSplash()
    : NoticeText(BuildNotice()), LinkText(Unscramble(kLink)), Window(std::make_unique<QDialog>())
{
    Window->setObjectName("SplashWindow");
    Window->setProperty("Tag", 0);
    Window->installEventFilter(this);
    Font = QApplication::font();
    Font.setPointSize(7);
    Font.setBold(true);
    Picture = new QLabel(Window.get());
    Picture->setObjectName("SplashPicture");
    Picture->move(0, 0);
    Picture->setScaledContents(false);
    for (int pair = 0; pair < kPairCount; ++pair) {
        for (QLabel** slot : {&Captions[pair], &Values[pair]}) {
            auto* label = new QLabel(Window.get());
            label->setObjectName(QString(slot == &Captions[pair] ? "SplashCaption%1" : "SplashValue%1").arg(pair));
            label->setProperty("Tag", pair);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->installEventFilter(this);
            *slot = label;
        }
    }
}

TCompactSplash::~TCompactSplash() = default;

int TCompactSplash::Mode() const
{
    return Window->property("Tag").toInt();
}

void TCompactSplash::SetPicture(const QPixmap& picture)
{
    Picture->setPixmap(picture);
    Picture->resize(picture.size());
}

void TCompactSplash::ShowSplash()
{
    Show(0);
}

void TCompactSplash::ShowAbout()
{
    Show(1);
}

bool TCompactSplash::PairVisible(int pair) const
{
    return !Captions[pair]->text().isEmpty() && !Values[pair]->text().isEmpty();
}

void TCompactSplash::SetLineTexts()
{
    for (int pair = 0; pair < kPairCount; ++pair) {
        Captions[pair]->clear();
        Values[pair]->clear();
    }
    Captions[kVersionPair]->setText(Translate(Unscramble(kVersionLabel)) + ": ");
    Values[kVersionPair]->setText(VersionText);
    Captions[kNoticePair]->setText(NoticeText);
    Values[kNoticePair]->setText(" ");
    Captions[kLinkPair]->setText(Translate(Unscramble(kLinkLabel)) + ": ");
    Values[kLinkPair]->setText(LinkText);
    for (int pair = 0; pair < kPairCount; ++pair) {
        for (QLabel* label : {Captions[pair], Values[pair]}) {
            QFont font = Font;
            if (label == Values[kLinkPair]) {
                font.setUnderline(true);
                label->setCursor(Qt::PointingHandCursor);
            }
            label->setFont(font);
            SetLabelColor(label, FontColor);
            label->adjustSize();
            label->setVisible(PairVisible(pair));
        }
    }
}

// Bottom up from the bottom margin, the link lowest; an invisible pair takes no room.
void TCompactSplash::LayOutLines()
{
    const int x = LeftMargin;
    int y = Window->height() - BottomMargin;
    for (int pair = kPairCount - 1; pair >= 0; --pair) {
        if (!PairVisible(pair))
            continue;
        y -= Values[pair]->height();
        Captions[pair]->move(x, y);
        Values[pair]->move(Captions[pair]->x() + Captions[pair]->width(), y);
    }
}

void TCompactSplash::Show(int mode)
{
    Guarded([&] {
        mode = std::clamp(mode, 0, 1);
        Window->setProperty("Tag", mode);
        if (mode == 0) {
            Window->setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
        } else {
            Window->setWindowTitle(Translate(Unscramble(kAboutPrefix).trimmed()) + ' ' + ProductName);
            Window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
        }
        Window->setFixedSize(Picture->pixmap().size());
        SetLineTexts();
        LayOutLines();
        GetGeneral().CentreForm(Window.get());
        if (mode == 0)
            Window->show();
        else
            Window->exec();
        QCoreApplication::processEvents();
    });
}

void TCompactSplash::HideAfter(int seconds)
{
    seconds = std::clamp(seconds, 0, kMaxWaitSeconds);
    if (seconds > 0) {
        const qint64 wait = std::min(seconds * 1000, WaitCeilingMs);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() <= wait) {
            QCoreApplication::processEvents();
            QThread::msleep(kWaitStepMs);
        }
    }
    if (Mode() == 0)
        Window->hide();
    else
        Window->reject();
}

void TCompactSplash::SetLabelColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void TCompactSplash::LabelClick(QLabel* label)
{
    // A second click while the first one's address is being opened finds the label red and opens nothing.
    if (label == Values[kLinkPair] && label->palette().color(QPalette::WindowText) == FontColor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        SetLabelColor(label, QColor(255, 0, 0));
        QCoreApplication::processEvents();
        GetPaths().OpenWithShell(label->text(), "");
        QApplication::restoreOverrideCursor();
    }
    SetLabelColor(label, FontColor);
}

bool TCompactSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Window.get() && event->type() == QEvent::KeyPress) {
        // Escape closes the About box; the splash and other keys ignore the keyboard.
        if (Mode() == 1 && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            HideAfter(0);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (auto* label = qobject_cast<QLabel*>(watched); label && label != Picture) {
            LabelClick(label);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
