// The toolkit's own texts (the buttons of message boxes, the file dialogs, the edit boxes'
// context menus) in Japanese, to match the program's captions whatever the system locale.
#pragma once

class QCoreApplication;

namespace velmora {

// Installs Qt's Japanese translations from the toolkit's translation folder. False when they are
// not installed; the toolkit's texts then stay English and nothing else changes.
bool LoadToolkitTranslations(QCoreApplication& app);

}  // namespace velmora
