// The 2D viewer: the visible PSF picture and the hidden intensity images the calculation
// writes, the brightness scroll bar the calculation reads, and the picture export.
#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>

#include "analysis/Analysis.h"
#include "core/Picture24.h"
#include "core/PsfCalculation.h"
#include "ui/PictureBox.h"

class QLabel;
class QScrollBar;

namespace velmora {

class TPSF : public QMainWindow {
    Q_OBJECT
public:
    // isColour tells the redraw the main window's colour mode at the moment it draws.
    explicit TPSF(std::function<bool()> isColour);

    PictureBox* Image1() const { return image1_; }
    const Picture24& Image2() const { return image2_; }
    const Picture24& Image3() const { return image3_; }
    const Picture24& Image4() const { return image4_; }
    int BrightnessLevel() const;
    // Moves the brightness bar as the user would (its handler redraws).
    void SetBrightnessLevel(int level);

    bool ColourMode() const { return isColour_(); }
    // The focal-plane pitch of the result shown, one picture pixel per sample; none before the
    // first calculation.
    std::optional<PixelScale> Scale() const;
    // The result shown, at full precision; none before the first calculation.
    const std::shared_ptr<const FullResult>& LastFullResult() const { return full_; }

    // A run's pictures: the display into Image1, the intensity images of its mode into 2 to 4.
    void ShowResult(const PsfResult& result);

    void ScrollBar1Change();
    void Save1Click();
    void FitsSave1Click();
    void BitBtn1Click();
    void Close1Click();

private:
    void ShowScaleBar();

    PictureBox* image1_;
    Picture24 image2_{resultSize, resultSize};
    Picture24 image3_{resultSize, resultSize};
    Picture24 image4_{resultSize, resultSize};
    QScrollBar* scrollBar1_;
    QLabel* label1_;
    QWidget* scaleBar_;
    QLabel* scaleLabel_;
    std::function<bool()> isColour_;
    std::shared_ptr<const FullResult> full_;
};

}  // namespace velmora
