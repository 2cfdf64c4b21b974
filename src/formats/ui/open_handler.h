#pragma once

#include <QFlags>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

// The options of one file dialog; the main window uses hide-read-only plus file-must-exist.
enum class TOpenOption {
    HideReadOnly = 0x1,
    FileMustExist = 0x2,
    PathMustExist = 0x4,
    OverwritePrompt = 0x8,
};
Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenOptions)

// Settings of one file dialog, owned by the caller.
struct TOpenInfo {
    QString DefaultExt;       // without the dot, as "bmp"; empty for none
    TOpenOptions Options;
    QString Filter;           // "description|*.A;*.B;|description|*.C;|..."
    qint32 FilterIndex = 1;   // 1-based: in, the item to preselect; out, the item the user ended with
    QString FileName;         // the previous file, whose folder and name seed the dialog
};

enum class TDialogKind { Open, Save, OpenPreview, SavePreview };

// Qt name filters from the filter text: "desc|*.BMP;*.DIB;|" -> "desc (*.BMP *.DIB *.bmp *.dib)". Names are
// case-sensitive here, so every pattern also comes in lower case.
QStringList NameFiltersFromFilter(const QString& filter);

// The folder a dialog starts in: folder when it names an existing directory, else the user's Pictures folder
// when there is one, else home.
QString ResolveFolder(const QString& folder);

// The preview pane: shows the highlighted file, read through the format registry, scaled to fit.
class TPicturePreview : public QLabel {
    Q_OBJECT
public:
    explicit TPicturePreview(QWidget* parent = nullptr);
    // Loads the file through GetOpenImage().OpenFile; an unreadable file or a folder clears the pane.
    bool ShowFile(const QString& fileName);
    const QImage& Picture() const { return FPicture; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowScaled();
    QImage FPicture;
};

// Sets up the dialog from info for the kind, as Execute does before it runs it. The preview kinds get a
// TPicturePreview beside the file list (found afterwards with findChild<TPicturePreview*>()).
void ConfigureDialog(QFileDialog& dialog, const TOpenInfo& info, TDialogKind kind, const QString& folder);

// The dialog service: runs the open or save dialog, plain or with a picture preview.
class TOpenHandler {
public:
    TOpenHandler();
    ~TOpenHandler();
    TOpenHandler(const TOpenHandler&) = delete;
    TOpenHandler& operator=(const TOpenHandler&) = delete;

    // Runs the dialog of the kind modally over window (null: none); chosen gets the dialog's file (the initial
    // name when cancelled) and info.FilterIndex the filter it ended with. True when the user confirmed a file.
    bool Execute(TOpenInfo& info, TDialogKind kind, QString& chosen, const QString& folder,
                 QWidget* window = nullptr);

    // How a configured dialog is run; QDialog::exec unless replaced (tests answer for the person).
    std::function<int(QFileDialog&)> RunDialog;

    // The dialog of a kind, created on first use and kept, so it remembers its state between uses.
    QFileDialog* Dialog(TDialogKind kind);

private:
    bool ExecuteOnce(TOpenInfo& info, TDialogKind kind, QString& chosen, const QString& folder, QWidget* window);
    std::unique_ptr<QWidget> DialogOwner;
    std::array<QPointer<QFileDialog>, 4> FDialogs;
};

// The program-wide dialog service, created on first use; it needs the QApplication.
TOpenHandler& GetOpenHandler();
// Frees the dialog service at program end, after FreeOpenImage and while the application object lives.
void FreeOpenHandler();
