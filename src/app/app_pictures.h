// The application's own pictures, drawn at run time: the splash picture, the
// About box bitmap and the application icon. They hold no text; whoever shows
// them draws the texts from the message catalogue.
#pragma once

#include <QIcon>
#include <QPixmap>

// The splash picture, 629 by 472 pixels.
QPixmap SplashPicture();

// The picture at the top right of the About box, 72 by 72 pixels.
QPixmap AboutPicture();

// The application icon at 16 by 16 and 32 by 32 pixels.
QIcon AppIcon();
