// The end of every save command once the dialog has answered: the file at the chosen name
// moved to the target, the overwrite question, the whole-file write and its error message.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace velmora {

// fileName followed by " が既に存在しています。　上書きしますか？".
QString ExistsQuestion(const std::string& fileName);

enum class WriteFailureBox { Warning, Error };

// Runs the save pattern for `target` and writes `bytes` there unless the user says No to
// `question(fileName)`. A failed write is reported in the given box and leaves no file.
void SaveToTarget(QWidget* parent, const std::string& chosen, const std::string& target, const std::string& bytes,
                  const std::function<QString(const std::string& fileName)>& question, WriteFailureBox failureBox);

}  // namespace velmora
