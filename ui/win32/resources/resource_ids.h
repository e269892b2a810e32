#pragma once
// The resources of hexloader.exe, shared by the resource script and the code that loads them.
#define HEXLOADER_ICON_APPLICATION 1
#define HEXLOADER_ICON_SELECT_FILE 101
#define HEXLOADER_ICON_PORT 102
#define HEXLOADER_ICON_BEGIN 103
#define HEXLOADER_ICON_EXIT 104
#define HEXLOADER_ICON_PORT_ITEM 105
#define HEXLOADER_LOGO_JPEG 201
