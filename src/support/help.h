#pragma once

#include "support/zip_box.h"

#include <QString>

class QImage;

// The program's help: an archive of pages carried in a bitmap, written into a help folder the first time a page
// is asked for, opened with the desktop's default handler, and removed again when the program ends.
class THelp {
public:
    // Loads the archive from the carrier bitmap (null: an empty box) and then shrinks the carrier to 1 x 1 pixel.
    // The product name gives the help folder's name.
    THelp(const QString& productName, QImage* carrier);
    // Removes the written pages and the folder.
    ~THelp();
    THelp(const THelp&) = delete;
    THelp& operator=(const THelp&) = delete;

    QString FolderName;
    TZipBox Box;
    QString LastError;

    // DataFolder("Help") + FolderName + "/"; made when the pages are first written.
    QString HelpFolder();
    // Writes the pages out unless they are there, then hands the page to the desktop. False with LastError set.
    bool ShowPage(const QString& page);
    void ShowLastError() const;
    // Deletes the written pages and the folder, then the help's parent folders that are left empty (the maker's
    // folder only when the help made it); also run for every live help when the process exits early.
    void RemoveFiles();

    // The file that, written last, marks a complete help folder.
    static QString MarkerName();
    // True for a name that can only land inside the help folder: no folder part, not "." or "..".
    static bool IsPlainFileName(const QString& name);

private:
    bool LoadArchive(QImage* carrier);
    bool PrepareFolder();

    QString FHelpFolder;
    bool FMadeMakerFolder = false;  // the maker's data folder did not exist before the pages were written
};
