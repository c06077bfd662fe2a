#include "updater/wizard/format_worker.h"

#include "updater/engine/engine_link.h"
#include "updater/engine/storage_format.h"
#include "updater/wizard/font_download_worker.h"
#include "updater/wizard/sheet_progress.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

namespace updater {

unsigned FormatWorker(Sheet& sheet) {
    unsigned result = 0;
    if (ReopenEngineLink() != nullptr) {
        result = 1;
        sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0);
        SheetProgress progress(sheet);
        if (FormatMainStorage(progress) == Outcome::Done) {
            sheet.BeginThread([&sheet] { return FontDownloadWorker(sheet); });
            return 1;
        }
    }
    LoadWizardText(sheet.format.mainText, TextId::FormatFailed);
    sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);
    PostButtons(sheet, PSWIZB_FINISH);
    g_bBusy = 0;
    return result;
}

} // namespace updater
