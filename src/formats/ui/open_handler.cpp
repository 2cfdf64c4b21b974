#include "formats/ui/open_handler.h"

#include "common/guarded.h"
#include "common/paths.h"
#include "common/services.h"
#include "formats/open_image.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QTreeView>

QStringList NameFiltersFromFilter(const QString& filter)
{
    QStringList nameFilters;
    const QStringList parts = filter.split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << pattern.trimmed();
        patterns.removeAll(QString());
        // File names are case-sensitive here; Windows pictures often have upper-case extensions, ours lower.
        const qsizetype given = patterns.size();
        for (qsizetype k = 0; k < given; ++k)
            if (!patterns.contains(patterns[k].toLower()))
                patterns << patterns[k].toLower();
        nameFilters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return nameFilters;
}

QString ResolveFolder(const QString& folder)
{
    if (!folder.isEmpty() && DirExists(folder))
        return folder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return DirExists(pictures) ? pictures : QDir::homePath();
}

TPicturePreview::TPicturePreview(QWidget* parent) : QLabel(parent)
{
    setObjectName("picturePreview");
    setAlignment(Qt::AlignCenter);
    setMinimumSize(160, 160);
    setFrameShape(QFrame::StyledPanel);
}

bool TPicturePreview::ShowFile(const QString& fileName)
{
    QImage picture;
    TImageInfoRec info{fileName, 24, 0x00FFFFFF, {}, &picture};
    const bool opened = QFileInfo(fileName).isFile() && GetOpenImage().OpenFile(info);
    FPicture = opened ? std::move(picture) : QImage();
    ShowScaled();
    return opened;
}

void TPicturePreview::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    ShowScaled();
}

void TPicturePreview::ShowScaled()
{
    if (FPicture.isNull()) {
        clear();
        return;
    }
    const QSize room = contentsRect().size();
    const bool fits = FPicture.width() <= room.width() && FPicture.height() <= room.height();
    const QImage shown = fits ? FPicture : FPicture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    setPixmap(QPixmap::fromImage(shown));
}

namespace {

bool IsOpenKind(TDialogKind kind)
{
    return kind == TDialogKind::Open || kind == TDialogKind::OpenPreview;
}

bool IsPreviewKind(TDialogKind kind)
{
    return kind == TDialogKind::OpenPreview || kind == TDialogKind::SavePreview;
}

QString InitialFileName(const TOpenInfo& info, TDialogKind kind)
{
    return IsOpenKind(kind) ? QString() : QFileInfo(info.FileName).fileName();
}

QString InitialFolder(const TOpenInfo& info, const QString& folder)
{
    if (!folder.isEmpty())
        return ResolveFolder(folder);
    return ResolveFolder(info.FileName.isEmpty() ? QString() : QFileInfo(info.FileName).path());
}

// 1-based; 0 when none. The dialog answers with the description alone, as it shows the filters without
// their pattern lists.
int SelectedFilterIndex(const QFileDialog& dialog)
{
    const QString selected = dialog.selectedNameFilter();
    const QStringList filters = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == selected || filters[i].startsWith(selected + " ("))
            return int(i + 1);
    return 0;
}

// A name typed without an extension gets the chosen type's, not always the default one. Once per dialog.
void SuffixFollowsFilter(QFileDialog& dialog)
{
    const char* const connected = "suffixFollowsFilter";
    if (dialog.property(connected).toBool())
        return;
    dialog.setProperty(connected, true);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        static const QRegularExpression firstPattern(R"(\*\.(\w+))");
        if (const QRegularExpressionMatch match = firstPattern.match(filter); match.hasMatch())
            dialog.setDefaultSuffix(match.captured(1).toLower());
    });
}

// The pane goes beside the file list, once per dialog.
void AddPreviewPane(QFileDialog& dialog)
{
    if (dialog.findChild<TPicturePreview*>())
        return;
    auto* preview = new TPicturePreview(&dialog);
    if (auto* splitter = dialog.findChild<QSplitter*>("splitter"))
        splitter->addWidget(preview);
    else if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, &TPicturePreview::ShowFile);
}

// Room for the name, size, type and date columns with the preview beside them, within the screen.
QSize DialogSize(const QScreen* screen)
{
    const QSize wanted(960, 600);
    return screen ? wanted.boundedTo(screen->availableGeometry().size() * 9 / 10) : wanted;
}

// The detail columns wide enough for what they show in the dialog's font; the name takes the rest.
void SizeColumns(QFileDialog& dialog)
{
    auto* tree = dialog.findChild<QTreeView*>("treeView");
    if (!tree)
        return;
    const QFontMetrics metrics = tree->fontMetrics();
    const QString date = QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 58)), QLocale::ShortFormat);
    const QStringList widest{QString(), "999.9 KiB", "Windows BMP image", date};
    const int padding = 4 * metrics.horizontalAdvance(u'x');
    for (int column = 1; column < widest.size(); ++column)
        tree->header()->resizeSection(column, metrics.horizontalAdvance(widest[column]) + padding);
    tree->header()->resizeSection(0, std::max(tree->header()->sectionSize(0), 24 * metrics.horizontalAdvance(u'x')));
}

// A dialog belongs to the window it is opened from, so the window manager centres it there and keeps it above;
// without one it belongs to the hidden owner of the service.
void Adopt(QFileDialog& dialog, QWidget* parent)
{
    if (dialog.parentWidget() != parent)
        dialog.setParent(parent, dialog.windowFlags());
}

// A completion list still open when the dialog closed would stay on the screen by itself.
void CloseCompletions(QFileDialog& dialog)
{
    for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
        if (QAbstractItemView* popup = completer->popup(); popup->isVisible())
            popup->hide();
    }
}

}  // namespace

void ConfigureDialog(QFileDialog& dialog, const TOpenInfo& info, TDialogKind kind, const QString& folder)
{
    // Qt's own dialog: the platform's cannot carry the preview pane.
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails;
    if (!info.Options.testFlag(TOpenOption::OverwritePrompt))
        options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    dialog.setAcceptMode(IsOpenKind(kind) ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    const bool mustExist = IsOpenKind(kind) && info.Options.testFlag(TOpenOption::FileMustExist);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

    // The registry gives a pattern ("*.DIB"); the dialog wants the bare extension, or it asks for "name.*.DIB".
    QString suffix = info.DefaultExt;
    while (suffix.startsWith('*') || suffix.startsWith('.'))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);

    const QStringList filters = NameFiltersFromFilter(info.Filter);
    dialog.setNameFilters(filters.isEmpty() ? QStringList{QFileDialog::tr("All Files (*)")} : filters);
    if (info.FilterIndex >= 1 && info.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[info.FilterIndex - 1]);
    else if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());

    dialog.setDirectory(InitialFolder(info, folder));
    dialog.selectFile(InitialFileName(info, kind));
    if (IsPreviewKind(kind))
        AddPreviewPane(dialog);
    if (!IsOpenKind(kind))
        SuffixFollowsFilter(dialog);
}

TOpenHandler::TOpenHandler()
    : RunDialog([](QFileDialog& dialog) { return dialog.exec(); }), DialogOwner(std::make_unique<QWidget>())
{
}

TOpenHandler::~TOpenHandler() = default;

QFileDialog* TOpenHandler::Dialog(TDialogKind kind)
{
    QPointer<QFileDialog>& dialog = FDialogs[std::size_t(kind)];
    if (!dialog) {
        dialog = new QFileDialog(DialogOwner.get());  // owned by DialogOwner until a window adopts it
        dialog->setOption(QFileDialog::DontUseNativeDialog);  // builds Qt's own widgets now, to size them
        dialog->resize(DialogSize(QGuiApplication::primaryScreen()));
        SizeColumns(*dialog);
    }
    return dialog;
}

bool TOpenHandler::ExecuteOnce(TOpenInfo& info, TDialogKind kind, QString& chosen, const QString& folder,
                               QWidget* window)
{
    QFileDialog* dialog = Dialog(kind);
    Adopt(*dialog, window ? window->window() : DialogOwner.get());
    ConfigureDialog(*dialog, info, kind, folder);
    const bool confirmed = RunDialog(*dialog) == QDialog::Accepted;
    CloseCompletions(*dialog);
    const QStringList files = dialog->selectedFiles();
    chosen = confirmed && !files.isEmpty() ? files.first() : InitialFileName(info, kind);
    if (const int filter = SelectedFilterIndex(*dialog); filter > 0)
        info.FilterIndex = filter;
    return confirmed;
}

bool TOpenHandler::Execute(TOpenInfo& info, TDialogKind kind, QString& chosen, const QString& folder,
                           QWidget* window)
{
    chosen.clear();
    bool accepted = false;
    if (Guarded([&] { accepted = ExecuteOnce(info, kind, chosen, folder, window); }).isEmpty())
        return accepted;
    // A preview dialog that failed gives way to the plain one.
    if (kind == TDialogKind::OpenPreview)
        return Execute(info, TDialogKind::Open, chosen, folder, window);
    if (kind == TDialogKind::SavePreview)
        return Execute(info, TDialogKind::Save, chosen, folder, window);
    return false;
}

namespace {

// The dialogs are widgets: they must go while the application object lives. One left at exit is let go.
struct THandlerHolder {
    std::unique_ptr<TOpenHandler> Handler;
    ~THandlerHolder()
    {
        if (!qApp)
            (void)Handler.release();
    }
};

THandlerHolder& Holder()
{
    static THandlerHolder holder;
    return holder;
}

}  // namespace

TOpenHandler& GetOpenHandler()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        qFatal("The file dialogs need a QApplication");
    return CreatedOnce(Holder().Handler);
}

void FreeOpenHandler()
{
    Holder().Handler.reset();
}
