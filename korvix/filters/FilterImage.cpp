#include "filters/FilterImage.h"

FilterImage::FilterImage(int width, int height)
    : m_width(width), m_height(height),
      m_pixels(new std::uint8_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4]),
      m_top(m_pixels.get()), m_rowStep(static_cast<std::ptrdiff_t>(width) * 4)
{
}

FilterImage FilterImage::view(std::uint8_t* top, int width, int height, std::ptrdiff_t rowStep)
{
    FilterImage image;
    image.m_width = width;
    image.m_height = height;
    image.m_top = top;
    image.m_rowStep = rowStep;
    return image;
}
