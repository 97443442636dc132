#include "document/UndoHistory.h"

#include <utility>

std::size_t UndoStep::bytes() const
{
    std::size_t n = sizeof(*this) + other.raw.capacity() + other.name.capacity() + other.title.capacity()
                    + other.status.capacity();
    if (kind == Kind::Pixels)
        n += delta.bytes();
    if (maps)
        for (int i = 0; i < maps->count(); ++i)
            n += (*maps)[i].memoryUsed();
    return n;
}

void UndoHistory::setLimits(std::size_t steps, std::size_t budget)
{
    m_nMaxSteps = steps;
    m_nBudget = budget;
    trim();
}

std::size_t UndoHistory::bytesHeld() const
{
    std::size_t n = 0;
    for (const auto* steps : {&m_undo, &m_redo})
        for (const UndoStep& s : *steps)
            n += s.bytes();
    return n;
}

void UndoHistory::settle() const
{
    for (const auto* steps : {&m_undo, &m_redo})
        for (const UndoStep& s : *steps)
            s.delta.settle();
}

void UndoHistory::add(std::deque<UndoStep>& to, UndoStep&& step)
{
    to.push_back(std::move(step));
    trim();
}

void UndoHistory::record(UndoStep&& step)
{
    m_redo.clear();
    step.id = m_nNextId++;
    add(m_undo, std::move(step));
}

void UndoHistory::recordLoss()
{
    m_undo.clear();
    m_redo.clear();
    m_nBase = m_nNextId++;
}

void UndoHistory::clear()
{
    recordLoss();
    m_nSaved = m_nBase;
}

UndoStep UndoHistory::takeUndo()
{
    UndoStep step = std::move(m_undo.back());
    m_undo.pop_back();
    return step;
}

void UndoHistory::undone(UndoStep&& step)
{
    add(m_redo, std::move(step));
}

void UndoHistory::putBackUndo(UndoStep&& step)
{
    add(m_undo, std::move(step));
}

UndoStep UndoHistory::takeRedo()
{
    UndoStep step = std::move(m_redo.back());
    m_redo.pop_back();
    return step;
}

void UndoHistory::redone(UndoStep&& step)
{
    add(m_undo, std::move(step));
}

void UndoHistory::putBackRedo(UndoStep&& step)
{
    add(m_redo, std::move(step));
}

// The oldest steps go first; a redo step goes only when no undo step is left,
// the one farthest from the present first.
void UndoHistory::trim()
{
    std::size_t bytes = bytesHeld();
    while (!(m_undo.empty() && m_redo.empty()) && (m_undo.size() + m_redo.size() > m_nMaxSteps || bytes > m_nBudget)) {
        std::deque<UndoStep>& from = m_undo.empty() ? m_redo : m_undo;
        bytes -= from.front().bytes();
        if (&from == &m_undo)
            m_nBase = from.front().id;
        from.pop_front();
    }
}
