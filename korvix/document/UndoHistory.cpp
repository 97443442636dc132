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

void UndoHistory::add(std::deque<UndoStep>& to, UndoStep&& step)
{
    step.size = step.bytes();
    m_nBytes += step.size;
    to.push_back(std::move(step));
    trim();
}

void UndoHistory::record(UndoStep&& step)
{
    for (const UndoStep& s : m_redo)
        m_nBytes -= s.size;
    m_redo.clear();
    step.id = m_nNextId++;
    add(m_undo, std::move(step));
}

void UndoHistory::recordLoss()
{
    m_undo.clear();
    m_redo.clear();
    m_nBytes = 0;
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
    m_nBytes -= step.size;
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
    m_nBytes -= step.size;
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
    while (m_undo.size() + m_redo.size() > m_nMaxSteps || (m_nBytes > m_nBudget && !(m_undo.empty() && m_redo.empty()))) {
        if (!m_undo.empty()) {
            m_nBase = m_undo.front().id;
            m_nBytes -= m_undo.front().size;
            m_undo.pop_front();
        } else {
            m_nBytes -= m_redo.front().size;
            m_redo.pop_front();
        }
    }
}
