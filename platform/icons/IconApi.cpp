// ExtractIconA and DrawIcon over the icon reader.
#include "IconApi.h"

#include "IconReader.h"

HICON HICON::fromCount(std::uint32_t count) {
    HICON handle;
    handle.m_count = count;
    return handle;
}

HICON HICON::fromIcon(quorvane::icons::IconBitmap icon) {
    HICON handle;
    handle.m_icon = std::make_shared<const quorvane::icons::IconBitmap>(std::move(icon));
    return handle;
}

HICON ExtractIconA(HINSTANCE, const std::string& lpszExeFileName, std::int32_t nIconIndex) {
    if (nIconIndex == -1)
        return HICON::fromCount(quorvane::icons::countIcons(lpszExeFileName));
    if (nIconIndex < 0)
        return {};
    auto icon =
        quorvane::icons::extractIcon(lpszExeFileName, static_cast<std::uint32_t>(nIconIndex));
    if (!icon)
        return {};
    return HICON::fromIcon(std::move(*icon));
}

std::int32_t DrawIcon(HDC hDC, std::int32_t X, std::int32_t Y, const HICON& hIcon) {
    if (!hIcon.icon() || !hDC.pixels)
        return 0;
    quorvane::icons::drawIconBitmap(hDC, X, Y, *hIcon.icon());
    return 1;
}
