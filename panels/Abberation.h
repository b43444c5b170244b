// The wavelength-dependence table window: one row per wavelength of the white band with a
// spherical-aberration and a focus value, entered by clicking cells with the input value.
#pragma once

#include <QWidget>
#include <vector>

#include "core/PsfCalculation.h"
#include "core/SimulationParameters.h"

class QLineEdit;
class QTableWidget;

namespace velmora {

class TAbbr : public QWidget {
    Q_OBJECT
public:
    TAbbr();

    // Builds the rows for the band (every value "0.00"); false, with a message shown, when the
    // band gives no table (a step below 1, or more rows than a table can sensibly hold).
    bool BuildRows(const WavelengthBand& band);
    // The spherical and focus texts of every row, as the calculation reads them.
    std::vector<WavelengthDependenceRow> Rows() const;
    // The wavelength column's texts, row by row.
    std::vector<std::string> WavelengthTexts() const;
    // The whole table as given (a saved set-up's), then RowsChanged.
    void SetRows(const std::vector<std::string>& wavelengths, const std::vector<WavelengthDependenceRow>& rows);

    void StringGrid1SelectCell(int column, int row);
    void BitBtn1Click();

signals:
    // A cell or the whole table has changed.
    void RowsChanged();

private:
    QTableWidget* grid_;
    QLineEdit* input_;
};

// Rows the table may hold; a band from a file could otherwise ask for billions.
inline constexpr long long maxDependenceRows = 10000;

}  // namespace velmora
