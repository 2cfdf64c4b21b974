#include "support/program_texts.h"

namespace {

// Grouped by where the texts show. A text that appears in several places is listed once, in its menu form.
constexpr const char* kTexts[] = {
    // Main menu
    "&File", "New &Instance", "&Open...", "Open from Start &Button...", "&Print", "Print to &File...",
    "Printer &Setup...", "E&xit",
    "&Edit", "&Copy", "&Paste",
    "&Image", "&Undo", "&Mirror", "&Flip", "Rotate &Right", "Rotate &Left", "&Invert",
    "&Options", "&Auto Close", "Auto &Print", "Auto &Rotate", "&None", "&Center", "Print at Picture's Re&solution",
    "&View", "&Button Bar", "&Toolbar", "&Top", "&Bottom", "&Overall", "&Close Up", "Back&ground Color...",
    "&Use Background Color",
    "&Help", "&About...", "&Pictavo Homepage", "&Free Software Homepage", "Visit &Wendrel Enterprises",
    // Button hints and the Undo item's operation names
    "Rotate 90", "Rotate",
    // Status bar
    "Working", "Ready", "mm", "No Printer", "copy", "copies", "Picture only partly read",
    // Print options toolbar
    "Scale", "Position", "Orientation", "Quality", "Horizontal", "Vertical", "Fixed", "On Paper", "R", "Reset",
    "Actual Size", "Scale to Page", "Fit to Page", "As Is", "Custom", "Custom Fixed",
    "Top Left", "Top Right", "Bottom Left", "Bottom Right",
    "Portrait", "Landscape", "Low", "Medium", "High",
    "The picture is reduced from %1 to %2 pixels per inch.",
    "The print may look soft: fewer than 150 pixels per inch.",
    "A higher quality prints more of the picture's detail.",
    // About window (its title's "About" is the Help menu's "&About...")
    "Version", "Web", "Copyright", "Free to use and share",
    // Picture formats in the open dialog
    "All Pictures", "Bitmap", "Device Independant Bitmap", "Windows RLE", "Jpeg", "Icon", "Windows Metafile",
    "Enhanced Windows Metafile", "Portable Pixelmaxp", "Portable Graymap", "Portable Bitmap", "X Bitmap",
    "Monochrome", "Text Picture", "Portable Network Graphics", "Graphics Interchange Format", "Tagged Image File",
    "WebP", "High Efficiency Image", "AV1 Image",
    // Printing into a file
    "PDF Document", "PNG Picture",
    // Error boxes
    "Error", "Out of memory", "File not found", "File in use", "Unknown format", "Unsupported format",
    "Unsupported encoding", "Unexpected error", "Capacity reached", "Task cancelled", "Out of disk space",
    "Index out of range", "No printer installed", "No such printer", "Task failed", "Invalid dimensions",
    "Stream write failure", "Undefined image handle", "Unable to write to %1",
    // The toolkit's own dialogs: file, print and colour dialogs, the error box's button, edit fields' menus
    "Look in:", "File &name:", "Files of type:", "Directory:", "All Files (*)", "Save As", "&Save", "Cancel", "OK",
    "Back", "Forward", "Parent Directory", "Create New Folder", "List View", "Detail View", "Name", "Size", "Type",
    "Date Modified", "Cu&t", "&Delete", "Select All", "&Redo",
    // Command line
    "Unknown option", "Invalid value for", "takes", "0 to %1 or %2", "a whole number from %1 to %2",
    "the name of a %1 file", "the name of a printer queue", "two whole numbers x,y",
    "the window needs a display (%1 or %2) and none can be reached; to print without one: %3, or %4",
};

}  // namespace

const QStringList& ProgramTexts()
{
    static const QStringList texts = [] {
        QStringList list;
        for (const char* text : kTexts)
            list << QString::fromLatin1(text);
        return list;
    }();
    return texts;
}
