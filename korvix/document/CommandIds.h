// The program's command ids, as the menus, toolbars and enabling rules know them.
#pragma once

enum CommandId : int {
    // Tree control of the disk file tree (its own context menu).
    ID_FTREE_OPEN = 32782,
    ID_FTREE_DELETE = 32783,
    ID_FTREE_RENAME = 32784,
    ID_FTREE_PROPERTIES = 32785,

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
    ID_VIEW_MAP_TOOLBAR = 32799,
    ID_VIEW_RGB = 32804,
    ID_VIEW_RGBA = 32805,
    ID_VIEW_ALPHA = 32806,
    ID_VIEW_SMOOTH = 32807,
    ID_OBJECT_INFO = 32808,
    ID_VIEW_VIEW_TOOLBAR = 32809,
    ID_DOCK_TOOLBARS = 32813,
    ID_VIEW_MAIN_TOOLBAR = 32815,
    ID_EXPORT_SECOND = 32826,
    ID_EXPORT = 32830,
    ID_ZOOM_RESET = 32832,
    // The program's own additions: fit the picture to the view, edit it in
    // another program.
    ID_ZOOM_FIT = 32833,
    ID_EXTERNAL_EDIT = 32834,

    // Selection toolbar.
    ID_SELECTION_DIALOG = 32837,
    ID_SELECT_NONE = 32838,
    ID_SELECT_ALL = 32839,
    ID_VIEW_SELECTION_TOOLBAR = 32840,
    ID_EXCLUDE_RED = 32841,
    ID_EXCLUDE_BLUE = 32843,
    ID_ALL_CHANNELS = 32844,
    ID_EXCLUDE_GREEN = 32848,

    // Image-processing toolbar.
    ID_REMOVE_SMALL_MAPS = 32849,
    ID_CONTRAST = 32850,
    ID_BRIGHTNESS = 32851,
    ID_RESIZE = 32852,
    ID_SHARPEN = 32857,
    ID_BLUR = 32858,
    ID_ROTATE_CW = 32863,
    ID_ROTATE_CCW = 32865,
    ID_MIRROR_H = 32866,
    ID_MIRROR_V = 32867,
    ID_CROP = 32868,
    ID_VIEW_IMAGE_TOOLBAR = 32869,
    ID_GAMMA = 32870,
    ID_INVERT_ALPHA = 32871,
    ID_INVERT_COLOUR = 32872,
    ID_BLUR_STRONG = 32875,
    ID_ALPHA_BLUR_STRONG = 32878,
    ID_ALPHA_BLUR = 32880,
    ID_REMOVE_ALPHA = 32885,
    ID_CREATE_ALPHA = 32886,

    // Entry commands of a page's context menu.
    ID_ENTRY_EXTRACT = 32888,
    ID_ENTRY_FOCUS = 32889,
    ID_ENTRY_RENAME = 32890,
    ID_VOLUME_DATA = 32897,
    ID_ENTRY_REPLACE_IMAGE = 32898,
    ID_ENTRY_REPLACE_FILE = 32901,

    // Deleting entries (a rewrite of the volume): beyond the specified commands.
    ID_ENTRY_DELETE = 34201,

    // Undo and redo of the picture's changes: beyond the specified commands,
    // in a range of their own.
    ID_EDIT_UNDO = 34101,
    ID_EDIT_REDO = 34102,

    // The directory tree's menu: a directory with its tree, or the whole
    // volume, extracted into a folder. Beyond the specified commands.
    ID_TREE_EXPORT_DIRECTORY = 34201,
    ID_TREE_EXPORT_VOLUME = 34202,

    // Framework commands.
    ID_FILE_MRU_FIRST = 57616,
    ID_FILE_MRU_LAST = 57631,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_STATUS_BAR = 59393,
    ID_INDICATOR_0 = 59137,
    ID_INDICATOR_1 = 59138,
    ID_INDICATOR_2 = 59139,
};

inline constexpr int MAP_COMMANDS[10] = {ID_MAP_0, ID_MAP_1, ID_MAP_2, ID_MAP_3, ID_MAP_4,
                                         ID_MAP_5, ID_MAP_6, ID_MAP_7, ID_MAP_8, ID_MAP_9};
