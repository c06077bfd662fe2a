#include "updater/wizard/version_page.h"

#include "updater/wizard/player_identity.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include <cstring>

namespace updater {

void ActivateVersionPage(Sheet& sheet) {
    PostButtons(sheet, 0);
    IdentityText identity{};
    uint32_t version = 0;
    if (ReadPlayerIdentity(identity, version)) {
        g_dwPlayerVersion = version;
        g_bAppFirmware = 1;
        const bool bootCode = IsBootIdentity(identity);
        sheet.version.versionText = ShownVersionText(version, bootCode);
        if (bootCode) {
            g_bAppFirmware = 0;
        }
        PostButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
        LoadWizardText(sheet.version.informationText, 111);
    } else {
        LoadWizardText(sheet.version.informationText, 112);
        sheet.version.versionText.clear();
        PostButtons(sheet, PSWIZB_FINISH);
    }
    sheet.RefreshPage(Page::Version);
}

int LeaveVersionPage(Sheet& sheet) {
    if (g_bAppFirmware && std::strcmp(sheet.version.versionText.c_str(), CarriedVersionText) >= 0) {
        if (sheet.ShowMessageBox(WizardText(116), WizardCaption, MB_YESNO) == IDNO) {
            PostButtons(sheet, PSWIZB_FINISH);
            LoadWizardText(sheet.version.informationText, 123);
            sheet.RefreshPage(Page::Version);
            return -1;
        }
    }
    return 0;
}

} // namespace updater
