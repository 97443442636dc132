// The enabling and check rules of the document's commands, the update pass,
// and the channel mask.
#include "document/CKestrelDoc.h"

#include "common/MessageTable.h"
#include "document/CommandIds.h"

#include <initializer_list>

namespace {

// One condition of an enabling rule and what to tell when it fails.
struct Need {
    bool met;
    korvix::MessageId why;
};

// The rule's verdict: enabled when every condition holds; otherwise the first
// that fails gives the reason, so the conditions go from the most basic
// (something is shown) to the most particular.
bool verdict(std::initializer_list<Need> needs, std::string* reason)
{
    for (const Need& n : needs) {
        if (!n.met) {
            if (reason)
                *reason = korvix::msg(n.why);
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<bool> CKestrelDoc::commandEnabled(int id, std::string* reason) const
{
    using M = korvix::MessageId;
    if (reason)
        reason->clear();
    const bool visible = m_host.pictureViewVisible();
    const Need ready{m_bReady, M::ReasonNothingShown};
    const Need inView{visible, M::ReasonPictureHidden};
    const Need oneMap{m_nMaps == 1, M::ReasonSeveralMaps};
    const Need alpha{m_bHasAlpha, M::ReasonNoAlpha};
    // Most image operations work on a texture of exactly one map, in sight.
    const auto common = [&](std::initializer_list<Need> more = {}) {
        if (!verdict({ready, oneMap, inView}, reason))
            return false;
        return verdict(more, reason);
    };
    for (int k = 0; k < 10; ++k) {
        if (id != MAP_COMMANDS[k])
            continue;
        if (!verdict({ready, inView}, reason))
            return false;
        if (m_nLargestMap < k) {
            if (reason)
                *reason = korvix::MessageTable::format(M::ReasonNoSuchMapFormat, m_nLargestMap + 1);
            return false;
        }
        return true;
    }
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST)
        return m_host.recentFile(id - ID_FILE_MRU_FIRST).has_value();
    switch (id) {
    case ID_FILE_OPEN:
        return true;
    case ID_EDIT_PASTE:
        return verdict({{m_host.clipboardHasBitmap(), M::ReasonClipboardEmpty}}, reason);
    case ID_ZOOM_IN:
        return verdict({ready, inView, {m_fZoom < zoomsteps::LARGEST, M::ReasonLargestZoom}}, reason);
    case ID_ZOOM_OUT: {
        if (!verdict({ready, inView, {m_fZoom > zoomsteps::SMALLEST, M::ReasonSmallestZoom}}, reason))
            return false;
        return verdict({{zoomsteps::stepOut(m_fZoom, shownView()).has_value(), M::ReasonPictureFits}}, reason);
    }
    case ID_ZOOM_RESET:
        return verdict({ready, inView, {m_fZoom != 1, M::ReasonOriginalSize}}, reason);
    case ID_ZOOM_FIT:
        return verdict({ready, inView}, reason);
    case ID_VIEW_RGB:
        return verdict({ready}, reason);
    case ID_VIEW_RGBA:
    case ID_VIEW_ALPHA:
        return verdict({ready, alpha}, reason);
    case ID_VIEW_SMOOTH:
        return verdict({ready, inView}, reason);
    case ID_OBJECT_INFO:
    case ID_EXPORT_SECOND:
    case ID_EXPORT:
    case ID_EDIT_COPY:
    case ID_EXTERNAL_EDIT:
        return verdict({ready}, reason);
    case ID_VOLUME_DATA:
        return verdict({{m_bVolumeOpen, M::ReasonNoVolume}}, reason);
    case ID_EDIT_UNDO:
        return verdict({ready, {m_history.canUndo(), M::ReasonNothingToUndo}}, reason);
    case ID_EDIT_REDO:
        return verdict({ready, {m_history.canRedo(), M::ReasonNothingToRedo}}, reason);

    case ID_SELECT_ALL:
    case ID_SELECTION_DIALOG:
        return common();
    case ID_SELECT_NONE:
        return verdict({ready, inView, {m_tracker.present(), M::ReasonNoSelection}}, reason);

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
        return common();
    case ID_INVERT_ALPHA:
    case ID_ALPHA_BLUR:
    case ID_ALPHA_BLUR_STRONG:
        return common({alpha});
    case ID_REMOVE_SMALL_MAPS:
        return verdict({ready, {m_nMaps > 1, M::ReasonOneMap}}, reason);
    case ID_CREATE_ALPHA:
        return verdict({ready, oneMap, {!m_bHasAlpha, M::ReasonHasAlpha}}, reason);
    case ID_REMOVE_ALPHA:
        return verdict({ready, oneMap, alpha}, reason);
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
