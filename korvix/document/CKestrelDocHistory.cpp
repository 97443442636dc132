// Undo and redo of the changes to the shown picture, the modified state with
// its mark in the title, and the question before the picture is given up.
//
// The commands record their steps after the change, each with what it needs:
// an operation that undoes itself keeps no pixels, a change of pixels keeps
// their compressed difference, a change of size or of the map set keeps the
// other set whole. A step always holds the other side of the change, so that
// applying it swaps the two: undo and redo are one operation.
#include "document/CKestrelDoc.h"

#include "common/MessageTable.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"

#include <new>

using docinternal::NotReady;
using docinternal::WaitCursor;
using korvix::MessageId;
using korvix::msg;

// ---- recording ----

PictureState CKestrelDoc::statusQuo(bool identity) const
{
    PictureState s;
    s.maps = m_nMaps;
    s.currentMap = m_nCurMap;
    s.largestMap = m_nLargestMap;
    s.source = m_nSource;
    s.rawTexture = m_bRawTexture;
    s.hasAlpha = m_bHasAlpha;
    s.noSelection = m_bNoSelection;
    s.mapAlpha = m_pMaps && m_pMaps->count() > 0 && (*m_pMaps)[0].hasAlpha();
    // The bytes as loaded are not copied: a change that drops them hands them over.
    if (identity) {
        s.name = m_strName;
        s.title = m_strTitle;
        s.status = m_strStatus;
        s.origin = m_origin;
        s.loadedEntry = m_nLoadedEntry;
        s.loadedVolumeSerial = m_nLoadedVolumeSerial;
    }
    return s;
}

void CKestrelDoc::swapState(PictureState& s, bool mapFlag, bool identity)
{
    std::swap(m_nMaps, s.maps);
    std::swap(m_nCurMap, s.currentMap);
    std::swap(m_nLargestMap, s.largestMap);
    std::swap(m_nSource, s.source);
    std::swap(m_bRawTexture, s.rawTexture);
    std::swap(m_bHasAlpha, s.hasAlpha);
    std::swap(m_bNoSelection, s.noSelection);
    if (s.swapsRaw)
        std::swap(m_pRaw, s.raw);
    if (mapFlag && m_pMaps && m_pMaps->count() > 0) {
        PixelBitmap& map = (*m_pMaps)[0];
        const bool flag = map.hasAlpha();
        map.setHasAlpha(s.mapAlpha);
        s.mapAlpha = flag;
    }
    if (identity) {
        std::swap(m_strName, s.name);
        std::swap(m_strTitle, s.title);
        std::swap(m_strStatus, s.status);
        std::swap(m_origin, s.origin);
        std::swap(m_nLoadedEntry, s.loadedEntry);
        std::swap(m_nLoadedVolumeSerial, s.loadedVolumeSerial);
    }
}

void CKestrelDoc::record(UndoStep&& step)
{
    if (m_history.keepsSteps())
        m_history.record(std::move(step));
    else
        m_history.recordLoss();
    showTitle();
}

void CKestrelDoc::recordState(MessageId name, PictureState&& before)
{
    UndoStep step;
    step.name = name;
    step.kind = UndoStep::Kind::State;
    step.other = std::move(before);
    record(std::move(step));
}

void CKestrelDoc::recordInverse(MessageId name, UndoStep::Operation operation, PictureState&& before,
                                const ProcessRegion& region, std::array<std::uint8_t, 4> mask)
{
    UndoStep step;
    step.name = name;
    step.kind = UndoStep::Kind::Inverse;
    step.operation = operation;
    step.region = region;
    step.mask = mask;
    step.other = std::move(before);
    record(std::move(step));
}

void CKestrelDoc::recordPixels(MessageId name, PictureState&& before, PixelDelta&& delta)
{
    UndoStep step;
    step.name = name;
    step.kind = UndoStep::Kind::Pixels;
    step.delta = std::move(delta);
    step.other = std::move(before);
    record(std::move(step));
}

void CKestrelDoc::recordPixelsFrom(MessageId name, PictureState&& before, PixelMemory&& saved, int y0, int rows)
{
    if (saved.empty() || !m_history.keepsSteps()) {
        m_history.recordLoss();
        showTitle();
        return;
    }
    PixelDelta delta;
    try {
        delta = PixelDelta::between(std::move(saved), y0, rows, singleMap());
    } catch (const std::bad_alloc&) {
        m_history.recordLoss();
        showTitle();
        return;
    }
    recordPixels(name, std::move(before), std::move(delta));
}

void CKestrelDoc::recordPicture(MessageId name, PictureState&& before, std::unique_ptr<MapSet> maps, bool identity)
{
    UndoStep step;
    step.name = name;
    step.kind = UndoStep::Kind::Picture;
    step.maps = std::move(maps);
    step.identity = identity;
    step.other = std::move(before);
    record(std::move(step));
}

// ---- undo and redo ----

void CKestrelDoc::applyStep(UndoStep& step, bool backwards)
{
    using Op = UndoStep::Operation;
    switch (step.kind) {
    case UndoStep::Kind::State:
        swapState(step.other, false, false);
        return;
    case UndoStep::Kind::Picture:
        m_pShown = nullptr;
        std::swap(m_pMaps, step.maps);
        swapState(step.other, false, step.identity);
        return;
    case UndoStep::Kind::Pixels:
        if (backwards)
            step.delta.restore(singleMap());
        else
            step.delta.reapply(singleMap());
        swapState(step.other, true, false);
        return;
    case UndoStep::Kind::Inverse:
        break;
    }
    PixelBitmap& map = singleMap();
    switch (step.operation) {
    case Op::XorBytes:
        docinternal::xorBytes(map, step.region, step.mask);
        break;
    case Op::MirrorLeftRight:
    case Op::MirrorTopBottom:
        docinternal::mirrorPixels(map, step.operation == Op::MirrorLeftRight);
        break;
    case Op::RotateClockwise:
    case Op::RotateCounterClockwise: {
        // Backwards turns the other way.
        const bool clockwise = (step.operation == Op::RotateClockwise) != backwards;
        PixelBitmap turned = docinternal::rotatedPixels(map, clockwise);
        m_pShown = nullptr;
        map = std::move(turned);
        break;
    }
    }
    swapState(step.other, true, false);
}

// What is shown after a step: the selection goes when the picture's size or
// map count changed, the display buffers are rebuilt, a picture without alpha
// is shown in RGB.
void CKestrelDoc::showAfterStep(bool geometryChanged, bool identity)
{
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    if (geometryChanged)
        clearSelection();
    m_bNoSelection = m_nMaps != 1;
    m_bRgbaViewStale = m_bAlphaViewStale = true;
    if (m_bHasAlpha) {
        setDisplayMode(m_nDisplayMode);
    } else {
        resetViewButtons();
        setDisplayMode(MODE_RGB);
    }
    if (identity)
        m_host.setStatusText(2, m_strStatus);
    m_bRedraw = oldRedraw;
    m_host.refreshPictureView();
    showTitle();
}

namespace {

struct Geometry {
    int maps, width, height;
    bool operator==(const Geometry&) const = default;
};

Geometry geometryOf(const MapSet* maps)
{
    if (!maps || maps->count() == 0)
        return {0, 0, 0};
    return {maps->count(), maps->largest().width(), maps->largest().height()};
}

}  // namespace

bool CKestrelDoc::undo()
{
    return replayStep(true);
}

bool CKestrelDoc::redo()
{
    return replayStep(false);
}

bool CKestrelDoc::replayStep(bool backwards)
{
    if (!m_bReady || !m_pMaps || !(backwards ? m_history.canUndo() : m_history.canRedo()))
        return false;
    const Geometry before = geometryOf(m_pMaps.get());
    UndoStep step = backwards ? m_history.takeUndo() : m_history.takeRedo();
    const bool identity = step.identity;
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        try {
            applyStep(step, backwards);
        } catch (const std::bad_alloc&) {
            // Nothing was changed: the memory for turning the picture back was short.
            if (backwards)
                m_history.putBackUndo(std::move(step));
            else
                m_history.putBackRedo(std::move(step));
            wait.release();
            message(MessageId::OutOfMemory);
            return false;
        }
        if (backwards)
            m_history.undone(std::move(step));
        else
            m_history.redone(std::move(step));
        showAfterStep(geometryOf(m_pMaps.get()) != before, identity);
    }
    return true;
}

std::optional<std::string> CKestrelDoc::commandLabel(int id) const
{
    const UndoStep* step = nullptr;
    if (id == ID_EDIT_UNDO)
        step = m_history.nextUndo();
    else if (id == ID_EDIT_REDO)
        step = m_history.nextRedo();
    else
        return std::nullopt;
    const bool undoing = id == ID_EDIT_UNDO;
    if (!step)
        return std::string(msg(undoing ? MessageId::UndoLabel : MessageId::RedoLabel));
    return korvix::MessageTable::format(undoing ? MessageId::UndoLabelFormat : MessageId::RedoLabelFormat,
                                        msg(step->name));
}

// ---- the modified state ----

void CKestrelDoc::pictureSaved()
{
    m_history.markSaved();
    showTitle();
}

void CKestrelDoc::setTitle(const std::string& title)
{
    m_strTitle = title;
    m_strTitleShown.clear();
    showTitle();
}

void CKestrelDoc::setPictureStatus(const std::string& text)
{
    m_strStatus = text;
    m_host.setStatusText(2, text);
}

void CKestrelDoc::showTitle()
{
    if (m_strTitle.empty())
        return;
    const std::string title = (isModified() ? "*" : "") + m_strTitle;
    if (title == m_strTitleShown)
        return;
    m_strTitleShown = title;
    m_host.setWindowTitle(title);
}

bool CKestrelDoc::confirmDiscard()
{
    m_bKeptChanges = false;
    if (!m_pMaps || !isModified() || !m_bAskBeforeDiscard)
        return true;
    m_bKeptChanges = m_host.messageBox(msg(MessageId::DiscardQuestion), "", MessageIcon::Question, MessageButtons::YesNo)
                     != MessageAnswer::Yes;
    return !m_bKeptChanges;
}
