#pragma once

namespace ui
{

// Window geometry is given in twips; the program lays out at 15 twips to the pixel.
constexpr int Px(int twips)
{
    return twips / 15;
}

} // namespace ui
