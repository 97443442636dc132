#include "document/CatalogueTree.h"

#include <cstdint>
#include <new>

namespace {

// The tree that the walk in progress fills.
thread_local CatalogueTree* t_filling = nullptr;

void reportToTree(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    if (t_filling && entry && parentIndex != -1)
        t_filling->report(index, parentIndex);
}

}  // namespace

bool CatalogueTree::walk(tarvos::GGroup& volume, std::uint32_t entryCount)
{
    try {
        reset(entryCount);
        t_filling = this;
        volume.setCallBack(&reportToTree);
        volume.travEntries();
        t_filling = nullptr;
        finish();
    } catch (const std::bad_alloc&) {
        t_filling = nullptr;
        clear();
        return false;
    }
    return true;
}

void CatalogueTree::reset(std::uint32_t entryCount)
{
    clear();
    m_parents.assign(entryCount, UNREPORTED);
    m_walkOrder.reserve(entryCount);
}

void CatalogueTree::clear()
{
    m_parents = {};
    m_walkOrder = {};
    m_childStart = {};
    m_children = {};
}

void CatalogueTree::report(int index, int parent)
{
    if (!valid(index) || reported(index))
        return;
    m_parents[static_cast<std::size_t>(index)] = parent;
    m_walkOrder.push_back(index);
}

int CatalogueTree::parent(int index) const
{
    return reported(index) ? m_parents[static_cast<std::size_t>(index)] : TOP_LEVEL;
}

void CatalogueTree::finish()
{
    // One counting pass over the walk, stable in walk order. An entry whose
    // parent was never reported has no slot.
    const auto slotOf = [this](int index) -> std::size_t {
        const int p = m_parents[static_cast<std::size_t>(index)];
        if (p == TOP_LEVEL)
            return 0;
        return reported(p) ? static_cast<std::size_t>(p) + 1 : SIZE_MAX;
    };
    // Counts go two places up, so that after the running sum m_childStart[s + 1]
    // is where slot s begins; placing the children moves it to where slot s + 1
    // begins, which leaves every slot's start in place without a second array.
    m_childStart.assign(m_parents.size() + 3, 0);
    for (const int i : m_walkOrder)
        if (const std::size_t s = slotOf(i); s != SIZE_MAX)
            ++m_childStart[s + 2];
    for (std::size_t k = 1; k < m_childStart.size(); ++k)
        m_childStart[k] += m_childStart[k - 1];
    m_children.assign(m_childStart.back(), 0);
    for (const int i : m_walkOrder)
        if (const std::size_t s = slotOf(i); s != SIZE_MAX)
            m_children[m_childStart[s + 1]++] = i;
}

std::span<const int> CatalogueTree::childrenOf(int parent) const
{
    if (m_childStart.empty())
        return {};
    std::size_t slot = 0;
    if (parent != TOP_LEVEL) {
        if (!valid(parent))
            return {};
        slot = static_cast<std::size_t>(parent) + 1;
    }
    return std::span<const int>(m_children).subspan(m_childStart[slot], m_childStart[slot + 1] - m_childStart[slot]);
}
