// The version dialog.
#pragma once

#include <QWidget>

namespace velmora {

class TVer : public QWidget {
    Q_OBJECT
public:
    TVer();
    void Button1Click();
};

}  // namespace velmora
