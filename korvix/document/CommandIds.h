// The program's command ids, as the menus, toolbars and enabling rules know them.
#pragma once

enum CommandId : int {
    ID_FILE_OPEN = 32771,
    ID_ZOOM_IN = 32772,
    ID_ZOOM_OUT = 32773,
    ID_MAP_0 = 32787,
    ID_MAP_1 = 32789,
    ID_MAP_2 = 32790,
    ID_MAP_3 = 32792,
    ID_MAP_4 = 32793,
    ID_MAP_5 = 32794,
    ID_MAP_6 = 32795,
    ID_MAP_7 = 32796,
    ID_MAP_8 = 32797,
    ID_MAP_9 = 32798,
    ID_VIEW_RGB = 32804,
    ID_VIEW_RGBA = 32805,
    ID_VIEW_ALPHA = 32806,
    ID_VIEW_SMOOTH = 32807,
    ID_OBJECT_INFO = 32808,
    ID_EXPORT_SECOND = 32826,
    ID_EXPORT = 32830,
    ID_ZOOM_RESET = 32832,
    ID_ENTRY_EXTRACT = 32888,
    ID_ENTRY_RENAME = 32890,
    ID_VOLUME_DATA = 32897,
    ID_ENTRY_REPLACE_IMAGE = 32898,
    ID_ENTRY_REPLACE_FILE = 32901,
    ID_FILE_MRU_FIRST = 57616,
    ID_FILE_MRU_LAST = 57631,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
};

inline constexpr int MAP_COMMANDS[10] = {ID_MAP_0, ID_MAP_1, ID_MAP_2, ID_MAP_3, ID_MAP_4,
                                         ID_MAP_5, ID_MAP_6, ID_MAP_7, ID_MAP_8, ID_MAP_9};
