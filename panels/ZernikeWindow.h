// The Zernike coefficient window: the terms of one ordering in a table (index, name,
// coefficient in waves, the coefficients editable), the ".zer" files loaded and saved, and the
// P-V and RMS of the whole wavefront, the panel's terms and the table's together.
#pragma once

#include <QWidget>

#include "core/SimulationParameters.h"
#include "core/Zernike.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace velmora {

class TZernike : public QWidget {
    Q_OBJECT
public:
    TZernike();

    const ZernikeSet& Set() const { return set_; }
    // Takes a whole set, as a loaded file does (CoefficientsChanged when the wavefront changes).
    void SetCoefficients(ZernikeSet set) { TakeSet(std::move(set)); }
    // The table's terms, ready for the wavefront: empty while every coefficient is 0.
    const ZernikeWavefront& Wavefront() const { return wavefront_; }
    // The panel's eight terms, which the figures add to the table's.
    void ShowPanelAberrations(const Aberrations& panel);

    void LoadButtonClick();
    void SaveButtonClick();
    void ZeroButtonClick();
    void OrderingBoxChange(int item);
    void GridCellChanged(int row, int column);

signals:
    // A coefficient, the ordering or the whole set has changed.
    void CoefficientsChanged();

private:
    // Takes a set: the ordering box, the table and the figures follow; CoefficientsChanged when
    // the wavefront is not the one before.
    void TakeSet(ZernikeSet set);
    void FillTable();
    void ShowFigures();
    void ShowMessage(const QString& text);

    QComboBox* ordering_;
    QTableWidget* grid_;
    QLabel* peakToValley_;
    QLabel* rms_;
    QLabel* message_;
    ZernikeSet set_;
    ZernikeWavefront wavefront_;
    Aberrations panel_;
    bool filling_ = false;
};

}  // namespace velmora
