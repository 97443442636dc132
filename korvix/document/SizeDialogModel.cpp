#include "document/SizeDialogModel.h"

#include "codecs/TextureFormat.h"
#include "common/MessageTable.h"

std::vector<int> SizeDialogModel::allSizes()
{
    std::vector<int> sizes;
    for (int side = texture::LARGEST_SIDE; side >= texture::SMALLEST_SIDE; side /= 2)
        sizes.push_back(side);
    return sizes;
}

SizeDialogModel SizeDialogModel::forSelection(int pictureWidth, int pictureHeight, LiveFn live)
{
    SizeDialogModel m;
    m.m_strTitle = korvix::msg(korvix::MessageId::TitleSelect);
    for (const int v : allSizes()) {
        if (v <= pictureWidth)
            m.m_widths.push_back(v);
        if (v <= pictureHeight)
            m.m_heights.push_back(v);
    }
    m.m_bLive = true;
    m.m_live = std::move(live);
    return m;
}

SizeDialogModel SizeDialogModel::forResize()
{
    SizeDialogModel m;
    m.m_strTitle = korvix::msg(korvix::MessageId::TitleResize);
    m.m_widths = allSizes();
    m.m_heights = allSizes();
    return m;
}

void SizeDialogModel::open()
{
    m_nWidth = m_widths.empty() ? 0 : m_widths.front();
    m_nHeight = m_heights.empty() ? 0 : m_heights.front();
    announce();
}

void SizeDialogModel::chooseWidth(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_widths.size())
        return;
    m_nWidth = m_widths[static_cast<std::size_t>(index)];
    announce();
}

void SizeDialogModel::chooseHeight(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_heights.size())
        return;
    m_nHeight = m_heights[static_cast<std::size_t>(index)];
    announce();
}

void SizeDialogModel::announce() const
{
    if (m_bLive && m_live)
        m_live(m_nWidth, m_nHeight);
}
