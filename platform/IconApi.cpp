// ExtractIconA and DrawIcon over the icon reader.
#include "IconApi.h"

#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/Scaling.h"

#include <cmath>

HICON HICON::fromCount(std::uint32_t count) {
    HICON handle;
    handle.m_count = count;
    return handle;
}

HICON HICON::fromIcon(quorvane::icons::IconBitmap icon, std::string path, std::uint32_t index) {
    HICON handle;
    handle.m_icon = std::make_shared<const quorvane::icons::IconBitmap>(std::move(icon));
    handle.m_path = std::move(path);
    handle.m_index = index;
    return handle;
}

std::optional<quorvane::icons::IconBitmap> HICON::at(int size) const {
    if (!m_icon)
        return std::nullopt;
    if (size == quorvane::icons::kIconSize)
        return *m_icon;
    if (auto sharp = quorvane::icons::extractIcon(m_path, m_index, size))
        return std::move(*sharp);
    if (auto scaled = quorvane::icons::scaleTo(*m_icon, size, size))
        return std::move(*scaled);
    return std::nullopt;
}

HICON ExtractIconA(HINSTANCE, const std::string& lpszExeFileName, std::int32_t nIconIndex) {
    if (nIconIndex == -1)
        return HICON::fromCount(quorvane::icons::countIcons(lpszExeFileName));
    if (nIconIndex < 0)
        return {};
    const auto index = static_cast<std::uint32_t>(nIconIndex);
    auto icon = quorvane::icons::extractIcon(lpszExeFileName, index);
    if (!icon)
        return {};
    return HICON::fromIcon(std::move(*icon), lpszExeFileName, index);
}

std::int32_t DrawIcon(HDC hDC, std::int32_t X, std::int32_t Y, const HICON& hIcon) {
    const auto device = [&hDC](double logical) {
        return static_cast<int>(std::lround(logical * hDC.scale));
    };
    const auto icon = hIcon.at(device(quorvane::icons::kIconSize));
    if (!icon || !hDC.surface.pixels)
        return 0;
    quorvane::icons::drawIconBitmap(hDC.surface, device(X), device(Y), *icon);
    return 1;
}
