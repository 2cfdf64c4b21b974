#pragma once

#include <QString>

// The three addresses of the Help menu. They are kept scrambled in the program file so that they do not show
// up as plain text, and unscrambled only when opened.
QString PictavoHomepageAddress();
QString FreeSoftwareHomepageAddress();
QString WendrelHomepageAddress();
