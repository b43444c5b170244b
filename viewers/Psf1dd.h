// The 1D profile viewer: cross-sections of the PSF on a linear and a logarithmic scale, with a
// thumbnail of the 2D picture that marks the cut, and the profile export as text.
#pragma once

#include <QMainWindow>
#include <array>

#include "core/Picture24.h"
#include "ui/PictureBox.h"
#include "viewers/ResultRenderers.h"

class QLabel;
class QRadioButton;

namespace velmora {

class SpinButton;
class TPSF;

class TPSF1D : public QMainWindow {
    Q_OBJECT
public:
    // Reads every picture from `source`, the 2D viewer.
    explicit TPSF1D(const TPSF& source);

    PictureBox* Image1() const { return image1_; }
    PictureBox* Image2() const { return image2_; }
    PictureBox* Image3() const { return image3_; }
    int CutPosition() const { return cutX_; }

    // The 2D picture copied, scaled to fit, onto the thumbnail.
    void SetThumbnail(const Picture24& display);
    void Redraw();

    void Button1Click();
    void BitBtn4Click();
    void BitBtn1Click();
    void Button2Click();
    void UpDown1Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void Save1Click();
    void BitBtn5Click();
    void Close1Click();

private:
    void MoveCut(int step);
    void ShowAxis();
    ProfileChannel Channel() const;

    const TPSF& source_;
    int cutX_ = 127;
    PictureBox* image1_;
    PictureBox* image2_;
    PictureBox* image3_;
    SpinButton* upDown1_;
    QLabel* label1_;
    QLabel* label5_;
    std::array<QLabel*, 5> linearLabels_{};  // Label2, 3, 4, 6, 7: fractions 0, 0.25, 0.5, 0.75, 1
    std::array<QRadioButton*, 4> radios_{};
    // Micrometre ticks over each plot's horizontal axis, and the axis' unit beside each caption.
    static constexpr int maxAxisTicks = 9;
    std::array<std::array<QLabel*, maxAxisTicks>, 2> axisTicks_{};
    std::array<QLabel*, 2> axisUnits_{};
};

}  // namespace velmora
