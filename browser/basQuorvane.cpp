// The browsing state and the open operation.
#include "basQuorvane.h"

#include "App.h"
#include "Files.h"
#include "RuntimeError.h"
#include "Windowing.h"
#include "frmQuorvane.h"

namespace quorvane::basQuorvane {

using namespace quorvane::platform;

HINSTANCE InstanceHandle{0};
QString IconFilePath;
std::int16_t IconCount = 0;
std::int16_t IconIndex = 0;

void OpenIconFile() {
    auto& form = browser::frmQuorvane::instance();
    form.cmdArrow(0)->setVisible(false);
    form.cmdArrow(1)->setVisible(false);
    form.pctIcon->Cls();
    InstanceHandle = HINSTANCE{GetWindowLongA(&form, GWL_HINSTANCE)};
    // The count comes back as a 32-bit value and is narrowed to 16 bits.
    IconCount = CInt(static_cast<std::int32_t>(
        ExtractIconA(InstanceHandle, systemPath(IconFilePath), -1).value()));
    if (IconCount > 1) {
        IconIndex = 0;
        form.cmdArrow(1)->setVisible(true);
    }
    const HICON hIcon = ExtractIconA(InstanceHandle, systemPath(IconFilePath), 0);
    const std::int32_t drawn = DrawIcon(form.pctIcon->hDC(), 2, 2, hIcon);
    form.pctIcon->Refresh();
    if (drawn == 0)
        MsgBox(QStringLiteral("このファイルはアイコンを持っていません。"), vbExclamation,
               App().Title);
}

} // namespace quorvane::basQuorvane
