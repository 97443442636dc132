#include "filters/FilterImage.h"

FilterImage::FilterImage(int width, int height)
    : m_width(width), m_height(height),
      m_pixels(new std::uint8_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4])
{
}
