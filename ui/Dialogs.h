// Open and save dialogs and message boxes behind one small interface, so that the windows ask
// the user through it and tests can give the answers. Filters are written the panel way:
// "description|pattern|description|pattern"; filter indexes count from 1.
#pragma once

#include <QString>
#include <exception>
#include <optional>

class QWidget;

namespace velmora {

struct FileChoice {
    QString path;
    int filterIndex = 1;
};

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual std::optional<FileChoice> OpenFile(QWidget* parent, const QString& filter) = 0;
    virtual std::optional<FileChoice> SaveFile(QWidget* parent, const QString& filter) = 0;
    virtual void Information(QWidget* parent, const QString& text) = 0;
    virtual void Warning(QWidget* parent, const QString& text) = 0;
    // The standard error box of the application.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
};

// The service in use: the toolkit's dialogs unless a test installed its own.
DialogService& Dialogs();
// Installs `service` (not owned); null restores the toolkit's dialogs.
void SetDialogs(DialogService* service);

// The toolkit's filter string for a panel-style one ("データファイル(*.vl2)|*.vl2").
QString ToolkitFilter(const QString& filter);

// Runs `handler`; an exception escaping it is shown in the standard error box.
template <typename Handler>
void RunGuarded(QWidget* parent, Handler&& handler);

void ShowException(QWidget* parent, const char* what);
// The same for an exception, its message translated where it carries one.
void ShowException(QWidget* parent, const std::exception& e);

template <typename Handler>
void RunGuarded(QWidget* parent, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(parent, e);
    }
}

}  // namespace velmora
