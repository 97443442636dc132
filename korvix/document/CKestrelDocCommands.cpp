// The enabling and check rules of the document's commands, the update pass,
// and the channel mask.
#include "document/CKestrelDoc.h"

#include "document/CommandIds.h"

std::optional<bool> CKestrelDoc::commandEnabled(int id) const
{
    const bool visible = m_host.pictureViewVisible();
    // Most image operations work on a texture of exactly one map, in sight.
    const bool common = m_bReady && m_nMaps == 1 && visible;
    for (int k = 0; k < 10; ++k)
        if (id == MAP_COMMANDS[k])
            return m_nLargestMap >= k && m_bReady && visible;
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST)
        return m_host.recentFile(id - ID_FILE_MRU_FIRST).has_value();
    switch (id) {
    case ID_FILE_OPEN:
        return true;
    case ID_EDIT_PASTE:
        return m_host.clipboardHasBitmap();
    case ID_ZOOM_IN:
        return m_bReady && m_fZoom < zoomsteps::LARGEST && visible;
    case ID_ZOOM_OUT:
        return m_bReady && visible && zoomsteps::stepOut(m_fZoom, shownView()).has_value();
    case ID_ZOOM_RESET:
        return m_bReady && m_fZoom != 1 && visible;
    case ID_ZOOM_FIT:
        return m_bReady && visible;
    case ID_VIEW_RGB:
        return m_bReady;
    case ID_VIEW_RGBA:
    case ID_VIEW_ALPHA:
        return m_bReady && m_bHasAlpha;
    case ID_VIEW_SMOOTH:
        return m_bReady && visible;
    case ID_OBJECT_INFO:
    case ID_EXPORT_SECOND:
    case ID_EXPORT:
    case ID_EDIT_COPY:
        return m_bReady;
    case ID_VOLUME_DATA:
        return m_bVolumeOpen;

    case ID_SELECT_ALL:
    case ID_SELECTION_DIALOG:
        return common;
    case ID_SELECT_NONE:
        return m_tracker.present() && m_bReady && visible;

    case ID_EXCLUDE_RED:
    case ID_EXCLUDE_GREEN:
    case ID_EXCLUDE_BLUE:
    case ID_ALL_CHANNELS:
    case ID_INVERT_COLOUR:
    case ID_CROP:
    case ID_RESIZE:
    case ID_SHARPEN:
    case ID_BLUR:
    case ID_BLUR_STRONG:
    case ID_ROTATE_CW:
    case ID_ROTATE_CCW:
    case ID_MIRROR_H:
    case ID_MIRROR_V:
    case ID_BRIGHTNESS:
    case ID_CONTRAST:
    case ID_GAMMA:
        return common;
    case ID_INVERT_ALPHA:
    case ID_ALPHA_BLUR:
    case ID_ALPHA_BLUR_STRONG:
        return common && m_bHasAlpha;
    case ID_REMOVE_SMALL_MAPS:
        return m_bReady && m_nMaps > 1;
    case ID_CREATE_ALPHA:
        return !m_bHasAlpha && m_bReady && m_nMaps == 1;
    case ID_REMOVE_ALPHA:
        return m_bHasAlpha && m_bReady && m_nMaps == 1;
    default:
        return std::nullopt;
    }
}

std::optional<bool> CKestrelDoc::commandChecked(int id) const
{
    for (int k = 0; k < 10; ++k)
        if (id == MAP_COMMANDS[k])
            return m_pMaps != nullptr && m_nCurMap == k;
    switch (id) {
    case ID_VIEW_RGB:
        return m_nViewButton == MODE_RGB;
    case ID_VIEW_RGBA:
        return m_nViewButton == MODE_RGBA;
    case ID_VIEW_ALPHA:
        return m_nViewButton == MODE_ALPHA;
    case ID_VIEW_SMOOTH:
        return m_bSmoothView;
    // Down means excluded.
    case ID_EXCLUDE_RED:
        return !m_bRed;
    case ID_EXCLUDE_GREEN:
        return !m_bGreen;
    case ID_EXCLUDE_BLUE:
        return !m_bBlue;
    default:
        return std::nullopt;
    }
}

void CKestrelDoc::updateCommandStates()
{
    if (!commandEnabled(ID_VIEW_RGBA).value_or(false))
        resetViewButtons();
}

void CKestrelDoc::setChannels(bool red, bool green, bool blue)
{
    m_bRed = red;
    m_bGreen = green;
    m_bBlue = blue;
}

void CKestrelDoc::channelToggleCommand(int id, bool excluded)
{
    switch (id) {
    case ID_EXCLUDE_RED:
        m_bRed = !excluded;
        break;
    case ID_EXCLUDE_GREEN:
        m_bGreen = !excluded;
        break;
    case ID_EXCLUDE_BLUE:
        m_bBlue = !excluded;
        break;
    default:
        break;
    }
}

void CKestrelDoc::allChannelsCommand()
{
    setChannels(true, true, true);
}
