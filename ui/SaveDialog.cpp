#include "ui/SaveDialog.h"

#include <QCoreApplication>
#include <exception>

#include "files/FileWrite.h"
#include "files/SaveTarget.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"

namespace velmora {

QString ExistsQuestion(const std::string& fileName) {
    return QCoreApplication::translate("SaveDialog", "%1 が既に存在しています。　上書きしますか？")
        .arg(QString::fromStdString(fileName));
}

void SaveToTarget(QWidget* parent, const std::string& chosen, const std::string& target, const std::string& bytes,
                  const std::function<QString(const std::string& fileName)>& question, WriteFailureBox failureBox) {
    const bool write = PrepareSaveTarget(chosen, target, [&](const std::string& fileName) {
        return Dialogs().Confirm(parent, question(fileName));
    });
    if (!write) return;
    try {
        WriteWholeFile(target, bytes);
    } catch (const std::exception& e) {
        const QString text = ErrorText(e);
        if (failureBox == WriteFailureBox::Error) Dialogs().Error(parent, text);
        else Dialogs().Warning(parent, text);
    }
}

}  // namespace velmora
