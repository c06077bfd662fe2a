#include "plrapi/upload_preview.h"

#include "plrapi/title_picture.h"
#include "plrapi/title_text.h"
#include "plrapi/title_windows.h"

#include <algorithm>
#include <memory>

namespace plrapi {

std::optional<LastError> PreviewUpload(const PreviewSource& source, UploadPreview& preview) {
    if (source.name == nullptr) {
        return LastError::NameUnusable;
    }
    preview = UploadPreview{};
    preview.longName = JoinLongName(source.name, source.extension);
    UploadPlan plan;
    if (const auto refused = PlanUpload(preview.longName, source.size, plan)) {
        return refused;
    }
    preview.shortName = plan.extension.empty() ? plan.base : plan.base + "." + plan.extension;
    preview.kind = plan.kind;
    preview.announcedSize = plan.announcedSize;
    preview.titled = plan.kind != UploadKind::Plain;
    if (preview.titled) {
        // 16 KiB of windows: kept off the caller's stack.
        const auto windows = std::make_unique<TitleWindows>();
        if (!source.first.empty()) {
            windows->Keep(source.first.data(), source.first.size());
        }
        if (!source.last.empty()) {
            windows->Keep(source.last.data(), source.last.size());
        }
        preview.titleText = ChooseTitleText(windows->Sources(preview.longName));
        preview.title = RenderTitleBitmap(preview.titleText);
    }
    return std::nullopt;
}

bool WritePreviewPicture(const std::string& path, const UploadPreview& preview, int scale) {
    const int columns = std::clamp(static_cast<int>(preview.title.width), 1, TitleColumns);
    return WriteTitlePicture(path, preview.title.bitmap, scale, columns);
}

} // namespace plrapi
