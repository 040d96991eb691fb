// Resource ids shared by rTrillex.rc and the program.
#pragma once

#define IDI_PROGRAM 1          /* the program icon, 150 x 153, 24 bits per pixel */
#define IDR_POPUP_ICON 101     /* the popup's 32 x 32, 16-colour icon, kept as raw .ico data */
