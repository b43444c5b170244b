#include "viewers/PictureExport.h"

#include <QCoreApplication>

#include "files/ImageExport.h"
#include "files/SaveDialog.h"
#include "files/SaveTarget.h"
#include "ui/Dialogs.h"

namespace velmora {

void SavePictureByDialog(QWidget* parent, const Picture24& picture) {
    const auto choice = Dialogs().SaveFile(parent, QString::fromUtf8(imageExportFilter));
    if (!choice) return;
    const ImageFormat format = FormatForFilterEntry(choice->filterIndex);
    const std::string chosen = choice->path.toStdString();
    const std::string target = ChangeFileExt(chosen, ImageExtension(format));
    // BMP asks its own fixed question; JPEG names the file.
    auto question = [format](const std::string& fileName) {
        return format == ImageFormat::Bmp ? QCoreApplication::translate("PictureExport", "ファイルがすでに存在しています。　上書きしますか？")
                                          : ExistsQuestion(fileName);
    };
    SaveToTarget(parent, chosen, target, EncodeImage(picture, format), question, WriteFailureBox::Error);
}

}  // namespace velmora
