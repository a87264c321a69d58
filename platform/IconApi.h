// ExtractIconA and DrawIcon as the program calls them, over our own icon reader.
#pragma once

#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IconBitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The module instance handle: a 32-bit value that stands for the program. The reader needs none.
enum class HINSTANCE : std::int32_t {};

// What ExtractIconA hands back. With index -1 it carries the icon count in the handle's place;
// otherwise it is null or holds one 32x32 icon, and knows where it came from. Copies share the
// icon.
class HICON {
  public:
    HICON() = default;
    static HICON fromCount(std::uint32_t count);
    static HICON fromIcon(quorvane::icons::IconBitmap icon, std::string path, std::uint32_t index);

    bool isNull() const { return !m_icon && m_count == 0; }
    const quorvane::icons::IconBitmap* icon() const { return m_icon.get(); }
    // The icon at size x size, drawn from the image of its group that best fits that size, as
    // its file holds it now; when the file no longer gives it, the 32x32 icon scaled. Null for
    // a null handle or a count.
    std::optional<quorvane::icons::IconBitmap> at(int size) const;
    // The handle as the 32-bit value that the platform returns: the count after index -1,
    // 0 for a null handle.
    std::uint32_t value() const { return m_icon ? 1u : m_count; }

  private:
    std::shared_ptr<const quorvane::icons::IconBitmap> m_icon;
    std::string m_path;
    std::uint32_t m_index = 0;
    std::uint32_t m_count = 0;
};

// A device context: the surface that DrawIcon paints, and how many of its pixels make one
// pixel of the drawing's coordinates (more than 1 on a screen of high density).
struct HDC {
    quorvane::icons::Surface surface;
    double scale = 1.0;
};

// Index -1: the number of icons in the file (0 for a file without icons, a missing or an
// unreadable one). Index n >= 0: icon n, or a null handle when there is none or it cannot be
// decoded. Other negative indexes give a null handle. hInst is accepted and not needed.
HICON ExtractIconA(HINSTANCE hInst, const std::string& lpszExeFileName, std::int32_t nIconIndex);

// Draws the icon's 32x32 area at (X, Y), clipped to the surface. On a surface of scale R the
// icon covers 32R x 32R of its pixels at (XR, YR), rounded, drawn from the image that best
// fits that size, never blurred when enlarged. Nonzero when it drew, 0 for a null handle or a
// count.
std::int32_t DrawIcon(HDC hDC, std::int32_t X, std::int32_t Y, const HICON& hIcon);
