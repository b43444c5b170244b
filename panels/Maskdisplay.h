// The user mask display window: holds the mask picture at its own pixel size (the picture, not
// the file it came from, is what the calculation samples) and tells its size and the smallest
// size the current parameters need.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "core/LoadedMask.h"
#include "core/Picture24.h"
#include "core/SimulationParameters.h"
#include "ui/PictureBox.h"

class QScrollArea;

namespace velmora {

inline constexpr int maskDisplayInitialSize = 600;

class TMaskDis : public QMainWindow {
    Q_OBJECT
public:
    // `parameters` reads the panel's record for the minimum size (it may raise a conversion error).
    explicit TMaskDis(std::function<SimulationParameters()> parameters);
    // The mask picture in 24 bits, as loaded.
    Picture24 MaskPicture() const { return mask_->ToPicture24(); }
    // The mask as it is kept (8 bits a pixel when grey): what the calculation samples.
    const LoadedMask& Mask() const { return *mask_; }
    // The same, shared: a run holds it as long as it reads it, and a new picture is a new mask.
    std::shared_ptr<const LoadedMask> SharedMask() const { return mask_; }
    // Takes a new mask picture; the panel and the image take its size.
    void SetMaskPicture(const Picture24& picture);

    void Close1Click();
    void C1Click();
    void M1Click();

private:
    // The scroll area takes the picture's size, but never more than the screen holds.
    void FitScrollArea(int width, int height);

    std::shared_ptr<const LoadedMask> mask_ = std::make_shared<const LoadedMask>();
    QScrollArea* scroll_;
    QWidget* panel1_;
    PictureBox* image1_;
    std::function<SimulationParameters()> parameters_;
};

}  // namespace velmora
