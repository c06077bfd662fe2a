#include "updater/wizard/font_download_worker.h"

#include "updater/engine/font_download.h"
#include "updater/engine/system_message.h"
#include "updater/wizard/sheet_progress.h"
#include "updater/wizard/version_page.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include <string>

namespace updater {

unsigned FontDownloadWorker(Sheet& sheet) {
    LoadWizardText(sheet.format.mainText, TextId::FontDownloading);
    sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);

    SheetProgress progress(sheet);
    std::string path;
    const Outcome outcome = DownloadCarriedFont(progress, path);
    if (outcome == Outcome::NoFile) {
        char text[SystemMessageCapacity];
        SystemMessageText(STG_E_FILENOTFOUND, path, text);
        sheet.ShowMessageBox(text, WizardCaption, MB_OK | MB_ICONINFORMATION);
    }
    const bool success = outcome == Outcome::Done;
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressHide, 0);
    LoadWizardText(sheet.format.mainText, success ? TextId::AllDone : TextId::FontFailed);
    sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);
    PostButtons(sheet, PSWIZB_FINISH);
    g_bBusy = 0;
    return success ? 1u : 0u;
}

} // namespace updater
