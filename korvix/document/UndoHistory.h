// The history of changes to the shown picture: the steps to undo, the steps to
// redo, their memory, and whether the picture differs from the last state that
// was loaded or saved.
//
// A step holds what it needs to go back and forth (UndoStep); the document
// makes the steps and applies them, the history keeps them in order and within
// its limits: at most so many steps and so many bytes, the oldest dropped first
// (then, if still over, the redo step farthest away). A new step drops every
// step that could be redone. The limits are applied at every change, to the
// sizes the steps have then (a pixel difference counts whole until it is
// compressed).
//
// Every state of the picture has an id: the id of the step that led to it, or
// of the state the oldest kept step starts from. The picture is modified while
// that id differs from the one marked saved, so undoing back to a saved state
// clears the mark and a redo sets it again, and a state whose way back was
// dropped never counts as saved by accident.
#pragma once

#include "codecs/MapSet.h"
#include "common/MessageTable.h"
#include "document/PictureOrigin.h"
#include "document/PixelDelta.h"
#include "filters/ProcessRegion.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// What a command may change beside the pixels. A step holds the other side's
// values: applying it swaps them with the document's, forwards and back.
struct PictureState {
    int maps = 0;
    int currentMap = 0;
    int largestMap = -1;
    int source = 0;
    bool rawTexture = false;
    bool hasAlpha = false;     // the document's alpha flag
    bool noSelection = true;
    bool mapAlpha = false;     // the single map's own flag, for steps that keep the map
    // A disk texture's bytes as loaded, for a change that let them go (as
    // every change that replaces the maps does); the others leave them alone.
    std::vector<std::uint8_t> raw;
    bool swapsRaw = false;
    void keepRaw(std::vector<std::uint8_t>&& bytes)
    {
        raw = std::move(bytes);
        swapsRaw = true;
    }

    // What names the picture: swapped only by steps that replace the whole
    // picture from outside (a paste).
    std::string name;
    std::string title;
    std::string status;
    PictureOrigin origin;
    int loadedEntry = -1;
    unsigned loadedVolumeSerial = 0;
};

struct UndoStep {
    enum class Kind {
        State,    // only the values of PictureState (alpha on or off)
        Inverse,  // an operation that its own inverse undoes; no pixels kept
        Pixels,   // the single map's bytes as a PixelDelta
        Picture,  // the other side's whole map set
    };
    // The pixel operations of Inverse steps.
    enum class Operation {
        XorBytes,        // bytes xor `mask` inside `region` (inverting colour or alpha)
        MirrorLeftRight,
        MirrorTopBottom,
        RotateClockwise,  // undone by turning back
        RotateCounterClockwise,
    };

    korvix::MessageId name{};
    Kind kind = Kind::State;
    Operation operation = Operation::XorBytes;
    ProcessRegion region;
    std::array<std::uint8_t, 4> mask{};
    PixelDelta delta;
    std::unique_ptr<MapSet> maps;
    // Whether applying the step swaps the naming values too.
    bool identity = false;
    PictureState other;

    // Set by the history.
    std::uint64_t id = 0;

    // Memory held by the step now (its pixel difference shrinks when the
    // background compression is done).
    std::size_t bytes() const;
};

class UndoHistory {
public:
    static constexpr std::size_t DEFAULT_STEPS = 100;
    static constexpr std::size_t DEFAULT_BUDGET = std::size_t{256} << 20;

    UndoHistory() = default;
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // At most `steps` steps in `budget` bytes; 0 for either keeps none, and
    // then callers need not build steps at all (keepsSteps()).
    void setLimits(std::size_t steps, std::size_t budget);
    bool keepsSteps() const { return m_nMaxSteps > 0 && m_nBudget > 0; }
    std::size_t budget() const { return m_nBudget; }
    std::size_t maxSteps() const { return m_nMaxSteps; }

    // A change that `step` takes back.
    void record(UndoStep&& step);
    // A change that nothing takes back (no step could be had): the history
    // empties, and the picture counts as changed.
    void recordLoss();
    // Another picture: no steps, and it counts as saved.
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    const UndoStep* nextUndo() const { return m_undo.empty() ? nullptr : &m_undo.back(); }
    const UndoStep* nextRedo() const { return m_redo.empty() ? nullptr : &m_redo.back(); }
    // Undoing: take the step, apply it, then hand it to undone(), which keeps
    // it for redo; if applying it failed before changing anything, hand it back
    // to putBackUndo(). Redoing alike.
    UndoStep takeUndo();
    void undone(UndoStep&& step);
    void putBackUndo(UndoStep&& step);
    UndoStep takeRedo();
    void redone(UndoStep&& step);
    void putBackRedo(UndoStep&& step);

    // The picture as it is now was written out.
    void markSaved() { m_nSaved = stateId(); }
    bool isModified() const { return stateId() != m_nSaved; }

    std::size_t undoCount() const { return m_undo.size(); }
    std::size_t redoCount() const { return m_redo.size(); }
    std::size_t bytesHeld() const;
    // Waits until every step's pixel difference is compressed (tests and
    // benchmarks); the limits are applied to the sizes then on the next change.
    void settle() const;

private:
    std::uint64_t stateId() const { return m_undo.empty() ? m_nBase : m_undo.back().id; }
    void add(std::deque<UndoStep>& to, UndoStep&& step);
    void trim();

    std::deque<UndoStep> m_undo;  // oldest first, the next to undo last
    std::deque<UndoStep> m_redo;  // farthest first, the next to redo last
    std::size_t m_nMaxSteps = DEFAULT_STEPS;
    std::size_t m_nBudget = DEFAULT_BUDGET;
    std::uint64_t m_nBase = 0;   // the state the oldest undo step starts from
    std::uint64_t m_nSaved = 0;
    std::uint64_t m_nNextId = 1;
};
