// What the main window's test programs share: the fixture that reads the panel's pictures and
// labels and presses its buttons by name, and data files that change every line.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "core/Picture24.h"
#include "ui/PictureBox.h"

namespace velmora::testing {

inline std::string DataFile(int aperture, int secondary, int color, const std::string& spiders, int filters) {
    return "Velmora Data File\r\nAperture " + std::to_string(aperture) + "\r\nFocal_length 2000\r\nSecondary " +
           std::to_string(secondary) +
           "\r\nBarWidth 3\r\nAngle1 10\r\nAngle2 100\r\nAngle3 190\r\nAngle4 280\r\nShiftX 4\r\nShiftY 5\r\n"
           "PupilDiv 2048\r\nMagnification 1200\r\nColor " +
           std::to_string(color) +
           "\r\nWhite Wavelength 500 650 50\r\nRed Wavelength 610 690 10\r\nGreen Wavelength 510 590 20\r\n"
           "Blue Wavelength 410 490 40\r\nCoefficient 0.5\r\nSpiders " +
           spiders + "\r\nFilters " + std::to_string(filters) + "\r\n";
}

class MainWindow : public WindowTest {
protected:
    const Picture24& Aperture() { return Control<PictureBox>("Image1")->Picture(); }
    const Picture24& Density() { return Control<PictureBox>("Image2")->Picture(); }
    const Picture24& Spectrum() { return Control<PictureBox>("Image3")->Picture(); }
    QString PeakToValley() { return Control<QLabel>("Label40")->text(); }
    bool Checked(const char* name) { return Control<QAbstractButton>(name)->isChecked(); }
    void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    void Set(const char* edit, const std::string& text) {
        Form().ApplyAssignment({ParameterAssignment::Kind::Text, edit, text, false});
    }
    int PanelWidth() { return Control<QWidget>("Panel1")->width(); }
    std::vector<ScriptedDialogs::Message> Take() {
        auto m = dialogs.messages;
        dialogs.messages.clear();
        return m;
    }
};

}  // namespace velmora::testing
