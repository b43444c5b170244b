// Runner of the window tests: one application object, offscreen unless a display is asked for.
#include <gtest/gtest.h>

#include "app/AppWindows.h"
#include "core/Matrix.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    velmora::VelmoraApplication app(argc, argv);
    velmora::SetDesignFont(app);
    velmora::SetKernelTrace(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
