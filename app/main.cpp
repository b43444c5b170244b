#include <cstdio>
#include <string>
#include <vector>

#include "app/AppWindows.h"
#include "app/Language.h"
#include "app/ProcessMemory.h"
#include "app/Psfmain.h"
#include "app/ToolkitLanguage.h"
#include "app/WindowCommandLine.h"
#include "app/WorkingFolder.h"
#include "core/Matrix.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"

int main(int argc, char** argv) {
    // Judged before the application exists: --help and --version need no display.
    const velmora::WindowCommandLine line = velmora::ParseWindowCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case velmora::WindowCommandLine::Action::PrintHelp:
    case velmora::WindowCommandLine::Action::PrintVersion:
        std::fputs(line.text.c_str(), stdout);
        return 0;
    case velmora::WindowCommandLine::Action::UsageError:
        std::fputs(line.text.c_str(), stderr);
        return 2;
    case velmora::WindowCommandLine::Action::OpenWindow:
        break;
    }
    velmora::KeepRunMemoryInProcess();
    velmora::VelmoraApplication app(argc, argv);
    // Qt's own texts (dialog buttons, context menus) follow the program's language.
    if (velmora::InstallLanguage(app, argc, argv) == velmora::Language::Japanese) velmora::LoadToolkitTranslations(app);
    velmora::SetDesignFont(app);
    // Before the windows: the main window writes and reads its fixed files as it is built.
    if (velmora::AsksForPerUserFolder(argc, argv))
        if (const auto problem = velmora::EnterPerUserFolder())
            velmora::Dialogs().Warning(nullptr, velmora::Translated(*problem));
    app.setQuitOnLastWindowClosed(false);
    velmora::SetKernelTrace(false);  // the kernel's trace lines are for the batch command
    try {
        std::unique_ptr<velmora::VelmoraWindows> windows = velmora::CreateWindows();
        // Queued: the main window is still inside its close when this runs.
        windows->form1->onClosed = [&app] { QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection); };
        windows->form1->show();
        app.exec();
    } catch (const std::exception& e) {
        velmora::ShowException(nullptr, e.what());
    }
    return 0;
}
