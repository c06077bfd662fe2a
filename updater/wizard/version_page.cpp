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
        LoadWizardText(sheet.version.informationText, TextId::VersionShown);
    } else {
        LoadWizardText(sheet.version.informationText, TextId::VersionUnread);
        sheet.version.versionText.clear();
        PostButtons(sheet, PSWIZB_FINISH);
    }
    sheet.RefreshPage(Page::Version);
}

bool AsksBeforeReplacing(bool appFirmware, const std::string& shownVersion) {
    return appFirmware && std::strcmp(shownVersion.c_str(), CarriedVersionText) >= 0;
}

int LeaveVersionPage(Sheet& sheet) {
    if (AsksBeforeReplacing(g_bAppFirmware != 0, sheet.version.versionText)) {
        if (sheet.ShowMessageBox(WizardText(TextId::AlreadyCurrent), WizardCaption, MB_YESNO) == IDNO) {
            PostButtons(sheet, PSWIZB_FINISH);
            LoadWizardText(sheet.version.informationText, TextId::VersionKept);
            sheet.RefreshPage(Page::Version);
            return -1;
        }
    }
    return 0;
}

} // namespace updater
