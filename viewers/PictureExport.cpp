#include "viewers/PictureExport.h"

#include <QCoreApplication>

#include "files/FitsFile.h"
#include "files/ImageExport.h"
#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"

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

void SaveFitsByDialog(QWidget* parent, const FullResult* full) {
    if (!full) {
        Dialogs().Information(parent, QCoreApplication::translate("PictureExport", "保存する計算結果がまだありません。「計算開始」で計算してから保存してください。"));
        return;
    }
    const auto choice = Dialogs().SaveFile(parent, QString::fromUtf8(fitsExportFilter));
    if (!choice) return;
    const std::string chosen = choice->path.toStdString();
    std::string bytes;
    try {
        bytes = EncodeFits(*full);
    } catch (const std::exception& e) {
        Dialogs().Error(parent, ErrorText(e));
        return;
    }
    SaveToTarget(parent, chosen, ChangeFileExt(chosen, fitsExtension), bytes, ExistsQuestion, WriteFailureBox::Error);
}

}  // namespace velmora
