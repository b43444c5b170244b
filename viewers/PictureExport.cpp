#include "viewers/PictureExport.h"

#include <exception>

#include "files/FileWrite.h"
#include "files/ImageExport.h"
#include "files/SaveTarget.h"
#include "pupil/Dialogs.h"

namespace velmora {

void SavePictureByDialog(QWidget* parent, const Picture24& picture) {
    const auto choice = Dialogs().SaveFile(parent, QString::fromUtf8(imageExportFilter));
    if (!choice) return;
    const ImageFormat format = FormatForFilterEntry(choice->filterIndex);
    const std::string chosen = choice->path.toStdString();
    const std::string target = ChangeFileExt(chosen, ImageExtension(format));
    const bool write = PrepareSaveTarget(chosen, target, [&](const std::string& fileName) {
        if (format == ImageFormat::Bmp)
            return Dialogs().Confirm(parent, QStringLiteral("ファイルがすでに存在しています。　上書きしますか？"));
        return Dialogs().Confirm(parent, QString::fromStdString(fileName) + QStringLiteral(" が既に存在しています。　上書きしますか？"));
    });
    if (!write) return;
    try {
        WriteWholeFile(target, EncodeImage(picture, format));
    } catch (const std::exception& e) {
        Dialogs().Error(parent, QString::fromUtf8(e.what()));
    }
}

}  // namespace velmora
