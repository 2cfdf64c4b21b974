#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>

#include <array>
#include <memory>

class QDialog;
class QLabel;
class QPixmap;

// One small window that serves as the splash screen during start-up and as the About box: a picture at its own
// size with the version, a notice and a web link in its lower left corner.
class TCompactSplash : public QObject {
    Q_OBJECT
public:
    static constexpr int kPairCount = 5;
    static constexpr int kVersionPair = 1;
    static constexpr int kNoticePair = 3;
    static constexpr int kLinkPair = 4;

    TCompactSplash();
    ~TCompactSplash() override;

    int LeftMargin = 7;
    int BottomMargin = 7;
    QString NoticeText;
    QString ProductName;
    QString VersionText;
    QString LinkText;
    std::unique_ptr<QDialog> Window;
    QLabel* Picture = nullptr;
    std::array<QLabel*, kPairCount> Values{};
    std::array<QLabel*, kPairCount> Captions{};
    QFont Font;
    QColor FontColor = Qt::white;

    void SetPicture(const QPixmap& picture);
    // Borderless, not waiting.
    void ShowSplash();
    // Modal with a title and a close box; returns when it is closed.
    void ShowAbout();
    // Lets the program run for the seconds (0 to 10) and then closes the window.
    void HideAfter(int seconds);
    // The longest wait of HideAfter in milliseconds. Window tests that are not about the splash shorten it, so
    // that each window they build does not keep them waiting a second.
    static inline int WaitCeilingMs = 10000;

    // 0 splash, 1 About.
    int Mode() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(int mode);
    void SetLineTexts();
    void LayOutLines();
    void LabelClick(QLabel* label);
    void SetLabelColor(QLabel* label, const QColor& color);
    bool PairVisible(int pair) const;
};

// The year of the notice line: the clock's, but never before the program's first year.
int NoticeYear(int clockYear);
