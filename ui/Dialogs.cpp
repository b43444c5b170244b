#include "ui/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/UserText.h"

namespace velmora {

namespace {

int FilterIndex(const QString& toolkitFilter, const QString& selected) {
    const QStringList entries = toolkitFilter.split(QStringLiteral(";;"));
    const int k = static_cast<int>(entries.indexOf(selected));
    return k < 0 ? 1 : k + 1;
}

class ToolkitDialogs : public DialogService {
public:
    std::optional<FileChoice> OpenFile(QWidget* parent, const QString& filter) override {
        const QString qtFilter = ToolkitFilter(filter);
        QString selected;
        const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), qtFilter, &selected);
        if (path.isEmpty()) return std::nullopt;
        return FileChoice{path, FilterIndex(qtFilter, selected)};
    }
    std::optional<FileChoice> SaveFile(QWidget* parent, const QString& filter) override {
        const QString qtFilter = ToolkitFilter(filter);
        QString selected;
        // The save commands ask their own overwrite question after renaming.
        const QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), qtFilter, &selected,
                                                          QFileDialog::DontConfirmOverwrite);
        if (path.isEmpty()) return std::nullopt;
        return FileChoice{path, FilterIndex(qtFilter, selected)};
    }
    void Information(QWidget* parent, const QString& text) override {
        QMessageBox::information(parent, QStringLiteral("Velmora1"), text);
    }
    void Warning(QWidget* parent, const QString& text) override {
        QMessageBox::warning(parent, QStringLiteral("Velmora1"), text);
    }
    void Error(QWidget* parent, const QString& text) override {
        QMessageBox::critical(parent, QStringLiteral("Velmora1"), text);
    }
    bool Confirm(QWidget* parent, const QString& text) override {
        return QMessageBox::question(parent, QStringLiteral("Velmora1"), text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    }
};

ToolkitDialogs toolkitDialogs;
DialogService* current = &toolkitDialogs;

}  // namespace

DialogService& Dialogs() { return *current; }

void SetDialogs(DialogService* service) { current = service ? service : &toolkitDialogs; }

QString ToolkitFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int k = 0; k + 1 < parts.size(); k += 2) {
        const QString description = parts[k];
        const QString pattern = parts[k + 1];
        const QString suffix = QStringLiteral("(") + pattern + QStringLiteral(")");
        entries << (description.endsWith(suffix) ? description : description + QStringLiteral(" (") + pattern + ")");
    }
    return entries.join(QStringLiteral(";;"));
}

void ShowException(QWidget* parent, const char* what) {
    Dialogs().Error(parent, QString::fromUtf8(what));
}

void ShowException(QWidget* parent, const std::exception& e) { Dialogs().Error(parent, ErrorText(e)); }

}  // namespace velmora
