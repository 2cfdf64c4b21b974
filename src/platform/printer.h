#pragma once

// The program's one printer: the desktop's default CUPS queue, measured in printer pixels.
namespace platform {

struct PageMetrics {
    int width = 0;   // printable width in printer pixels; 0 when unreadable
    int height = 0;  // printable height in printer pixels; 0 when unreadable
    int dpiX = 0;    // printer pixels per inch; 0 when unreadable
    int dpiY = 0;
};

// True when the printing service lists at least one printer.
bool PrinterInstalled();

// 0 portrait, 1 landscape; set before measuring so the page is measured in that orientation.
void SetPrinterOrientation(int orientation);

PageMetrics MeasurePrinterPage();

// Logical pixels per inch of the primary screen; 0 when there is no screen.
int ScreenPixelsPerInch();

}  // namespace platform
