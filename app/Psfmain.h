// The main window: the parameter panel (whose controls hold the parameters), the live
// previews, the menus, start-up and shutdown. Handlers carry the names of their controls.
#pragma once

#include <QMainWindow>
#include <QPalette>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Matrix.h"
#include "core/PsfCalculation.h"
#include "core/Picture24.h"
#include "core/SimulationParameters.h"
#include "files/ParameterFile.h"
#include "files/RunParameters.h"
#include "pupil/PupilModel.h"
#include "run/IdealCache.h"
#include "run/RunSpec.h"
#include "ui/PictureBox.h"
#include "ui/SpinButton.h"

class QAction;
class QCheckBox;
class QEventLoop;
class QTimer;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace velmora {

struct VelmoraWindows;
class RunController;
struct RunEnd;
struct StarTestEnd;
class TZernike;
class TMirror;
class TStarTest;
class TSky;
class TCamera;
struct SkyAndCamera;

// The fixed files of the working directory.
inline constexpr const char* defaultFileName = "default.vl1";
inline constexpr const char* closingStateFileName = "Velmora1.log";
inline constexpr const char* resetFileName = "default.vl2";
inline constexpr const char* dataFileFilter = QT_TRANSLATE_NOOP("velmora::TForm1", "データファイル(*.vl2)|*.vl2");
inline constexpr const char* setupFileFilter = QT_TRANSLATE_NOOP("velmora::TForm1", "設定一式(*.json)|*.json");

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs the start-up sequence; the other windows of `windows` may
    // still be missing while it runs.
    explicit TForm1(VelmoraWindows& windows);
    ~TForm1() override;

    // The whole record as the panel holds it now (raises ConversionError for a bad text).
    // The whole set-up the window holds, as "設定一式を保存" writes it.
    RunParameters CurrentSetup() const;
    SimulationParameters Snapshot() const;
    // The colour mode as the panel shows it now (no other field is read).
    bool ColourModeSelected() const;
    bool FullLayout() const { return fullLayout_; }
    double FocalRatio() const { return focalRatio_; }
    const UserFilter& Filter() const { return userFilter_; }
    bool UserMaskLoaded() const { return userMaskLoaded_; }
    RealMatrix WorkGrid() const { return workGrid_.get(); }
    // The full-precision result of the last calculation; null before the first.
    const std::shared_ptr<const FullResult>& LastFullResult() const;

    // Applies one value read from a data file to its control, so that its handler runs.
    void ApplyAssignment(const ParameterAssignment& assignment);
    // Reads a data file into the panel; false when the file exists but ended or broke off
    // before its last value (what was read before stays applied).
    bool ReadParameterFile(const std::string& path, ParameterFileRead* read = nullptr);
    // Called once the window has closed for good (the entry point ends the program there).
    std::function<void()> onClosed;

    // Previews.
    void DrawAperturePreview();
    void DrawDensityPreview();
    void DrawSpectrumPreview();
    void DrawInterferencePreview();
    void DrawPupilFunctionPreview();

    // Mechanical data.
    void UpDown1Click();
    void UpDown2Click();
    void UpDown3Click();
    void UpDown4Click();
    void UpDown6Click();
    void UpDown7Click();
    void UpDown8Click();
    void UpDown9Click();
    void Edit1Change();
    void Edit2Change();
    void Edit3Change();
    void Edit4Change();
    void Edit6Change();
    void Edit7Change();
    void Edit8Change();
    void Edit9Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    // The never-shown boxes.
    void UpDown14Click();
    void UpDown15Click();
    void UpDown16Click();
    void UpDown17Click();
    void Edit16Change();
    void Edit17Change();
    // Density distribution.
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void RadioButton6Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void UpDown19Click();
    void Edit19Change();
    // Wavelength data.
    void RadioButton1Click();
    void RadioButton2Click();
    void UpDown33Click();
    void UpDown34Click();
    void UpDown35Click();
    void UpDown20Click();
    void UpDown5Click();
    void UpDown10Click();
    void UpDown11Click();
    void UpDown12Click();
    void UpDown18Click();
    void UpDown21Click();
    void UpDown22Click();
    void UpDown23Click();
    void Edit33Change();
    void Edit34Change();
    void Edit35Change();
    void Edit20Change();
    void Edit5Change();
    void Edit10Change();
    void Edit11Change();
    void Edit12Change();
    void Edit18Change();
    void Edit21Change();
    void Edit22Change();
    void Edit23Change();
    // Wavefront aberration data.
    void UpDown24Click();
    void UpDown25Click();
    void UpDown26Click();
    void UpDown27Click();
    void UpDown28Click();
    void UpDown29Click();
    void UpDown30Click();
    void UpDown31Click();
    void UpDown32Click();
    void Button5Click();
    void Button4Click();
    // Buttons.
    void Button1Click();
    void Button2Click();

    // Menus.
    void N1Click();
    void N2Click();
    void N6Click();
    // The whole set-up as one JSON object (what velmora1-batch --params reads): the panel's
    // record, the brightness, the user filter or mask file in use, the wavelength table.
    void SaveSetupClick();
    void LoadSetupClick();
    void U1Click();
    void I1Click();
    void Exit1Click();
    void R2Click();
    void W1Click();
    void M1Click();
    // Opens the Zernike coefficient window, made the first time it is asked for.
    void Z1Click();
    // Opens the mirror and field window, made the first time it is asked for.
    void MirrorField1Click();
    // Opens the sky and camera window, likewise.
    void SkyCamera1Click();
    // Opens the camera image window under 結果, likewise, with the image of the result on screen.
    void Camera1Click();
    void D1Click();
    void N11Click();
    void N21Click();
    void N7Click();
    void A1Click();
    // Opens the star test window and computes its pair for the result on screen.
    void T1Click();
    void V2Click();
    void L1Click();

    // Whether a calculation is running now, and how many results runs have shown so far.
    bool CalculationRunning() const;
    int RunResultsShown() const { return runResultsShown_; }
    // How many star test pairs the star test window has shown so far.
    int StarTestResultsShown() const { return starTestResultsShown_; }
    // The serial number of the latest run started (0 before the first).
    quint64 RunSerial() const;
    // The runs under way, their ends and the star test pairs.
    RunController& Runs() { return *runs_; }
    // Ends a running calculation early (Esc, "中止"): what was shown stays as it was.
    void StopButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPanel();
    void BuildMechanicalGroup();
    void BuildWavelengthGroup();
    void BuildDensityGroup();
    void BuildAberrationGroup();
    void BuildHiddenGroups();
    // The aperture preview after a typed mechanical value that converted; nothing while another
    // box's text does not convert.
    void RedrawApertureForTypedValue();
    // Edit n with UpDown n to its right, as the field table describes them.
    void MakeField(QWidget* parent, int n, int x, int y, int editWidth, int editHeight = 21, bool readOnly = false,
                   int spinHeight = 21);
    void BuildMenus();
    void WireHandlers();
    void StartUp();
    // Start-up step 3: the closing state, skipping a "Velmora1.log" that is not a regular file.
    void ReadClosingState();
    // Once, after the window first appears: which line of a broken closing state was not read.
    void ReportUnreadClosingState();
    // A panel text that does not convert at close: true when the user closes without saving.
    bool CloseWithoutSaving(const std::exception& conversion);

    // Control plumbing: an edit's text set from code runs its change handler when it changes;
    // a radio button or check box changed from code runs its click handler.
    QLineEdit* Edit(int n) const { return edits_[n]; }
    SpinButton* UpDown(int n) const { return spins_[n]; }
    void SetEditText(int n, const QString& text);
    void CopySpinToText(int n);
    void CopyTextToSpin(int n);
    int ReadInteger(int n) const;
    void SelectRadio(int n);  // RadioButton n
    // Selects a density kind after a load; the preview is redrawn even if it was selected.
    void SelectLoadedDensity(int radio);
    void ShowProgress(int percent);
    // The RunSpec of a run of the panel as it stands: its record, the tables, the loaded filter
    // and mask, the mirror and the sky. Raises what Snapshot and the table raise.
    RunSpec PanelRunSpec();
    // The analysis window's own measurements of a result it shows: with the ideal and the
    // through-focus curve of the run that made it, from that run's own pupils, when that run is
    // the last shown.
    Analysis MeasureShown(const FullResult& full);
    // measured: the result's measurements when the run made them (null: the analysis window
    // measures it when it needs them, unless they follow: the task is measuring it).
    void ShowRunResult(const PsfResult& result, std::shared_ptr<const Analysis> measured = nullptr,
                       bool measurementsFollow = false);
    // The calculation on its own thread (the run controller). StartRun raises what Snapshot and
    // the table raise; RunEnded shows the outcome; StopRun ends a run and waits for it.
    void StartRun(bool live);
    void RunEnded(RunEnd& end);
    // The measurements of an automatic run's result, made after its end, for the analysis window.
    void RunMeasured(std::shared_ptr<const FullResult> full, std::shared_ptr<const Analysis> analysis);
    // The star test window, made the first time it is asked for; a pair for the result on screen
    // started off the window's thread (those under way stopped); a pair's end taken up.
    TStarTest& StarTestWindow();
    void RequestStarTest();
    void StarTestEnded(StarTestEnd& end);
    void StopRun();
    // A value the run reads has changed: in automatic mode a run starts, or the running one
    // gives way to a new one.
    void LiveChange();
    void StartLiveRun();
    void ShowLiveMessage(const QString& text);
    // A set-up put into the window; its notes say what could not be taken as it was.
    QStringList ApplySetup(const RunParameters& setup);
    // A mask read from `path` becomes the one runs use, as "ユーザマスク読み込み" makes it.
    void TakeUserMask(const std::string& path, const Picture24& mask);
    // The Zernike coefficient window, made (hidden) the first time it is needed.
    TZernike& ZernikeWindow();
    // The sky and camera window, made (hidden) the first time it is needed.
    TSky& SkyWindow();
    // The window's inputs (a clear sky and no camera while there is no window).
    SkyAndCamera SkyInputs() const;
    // The camera image of the result on screen into an open camera window.
    void ShowCameraImage();
    // The mirror and field window, made (hidden) the first time it is needed.
    TMirror& MirrorWindow();
    // The mirror's input as the window holds it (off while there is no window).
    MirrorAndField MirrorInput() const;
    // The mirror's terms at the previews' wavelength for the panel's aperture and focal length
    // (empty while it is off, or while a box the terms need holds no number); lambdaNm gets the
    // wavelength.
    ZernikeSet MirrorPreviewTerms(double* lambdaNm = nullptr) const;
    // The aperture, the focal length or the band may have changed: with the mirror on, the
    // wavefront previews follow its terms.
    void MirrorInstrumentChanged();
    // The mirror's terms the previews now show, into its window.
    void ShowMirrorTerms();
    // While "計算開始" waits for its run: the menus and the panel look unavailable (they take no
    // input then), the pointer is busy over every window but the stop button, and the message
    // line says why. Off puts back exactly what was there.
    void ShowBusy(bool busy);
    void RunPanelHandler(const std::function<void()>& handler);
    void SetCheck(int n, bool checked);  // CheckBox n
    void ShowShiftRange();
    void SelectMode(ColorMode mode);
    void BandLimitClick(int minSpin, int maxSpin, bool minStepped, ColorMode mode);
    void BandStepClick(int stepSpin, ColorMode mode);
    void AberrationClick(int n);
    DensityProfileKind SelectedDensity() const;
    Aberrations SpinAberrations() const;
    // Field n of the record from its box (or its spin, where the spin holds the value).
    void ReadField(int n, SimulationParameters& p) const;
    void ReadMechanical(SimulationParameters& p) const;  // edit texts and vane boxes
    void SwitchLayout(bool full);

    VelmoraWindows& windows_;
    QWidget* panel_ = nullptr;
    std::array<QLineEdit*, 36> edits_{};
    std::array<SpinButton*, 36> spins_{};
    std::array<std::function<void()>, 36> changeHandlers_{};
    std::array<QRadioButton*, 9> radios_{};
    std::array<QCheckBox*, 6> checks_{};
    std::array<std::function<void()>, 9> radioHandlers_{};
    std::array<std::function<void()>, 6> checkHandlers_{};
    QGroupBox* aberrationGroup_ = nullptr;
    PictureBox* apertureImage_ = nullptr;
    PictureBox* densityImage_ = nullptr;
    PictureBox* spectrumImage_ = nullptr;
    PictureBox* pupilFunctionImage_ = nullptr;
    PictureBox* interferenceImage_ = nullptr;
    QLabel* pupilFunctionCaption_ = nullptr;
    QLabel* interferenceCaption_ = nullptr;
    QLabel* peakToValleyLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QLabel* liveMessage_ = nullptr;
    struct DimmedWidget {
        QPointer<QWidget> widget;
        QPalette palette;
        bool ownPalette;
    };
    std::vector<DimmedWidget> dimmed_;           // what ShowBusy(true) dimmed, with its palette
    std::vector<QPointer<QWidget>> busyCursor_;  // the windows ShowBusy(true) gave the busy pointer
    QString messageBeforeBusy_;
    // While a spin's handler runs in the automatic mode: the wavefront previews are drawn
    // after the run has started instead of before (Due: one of them was asked for).
    bool deferWavefrontPreviews_ = false;
    bool wavefrontPreviewsDue_ = false;
    // The mirror's terms the wavefront previews were last drawn with.
    ZernikeSet mirrorPreviewTerms_;
    QString threadsNote_;  // why the last run uses fewer threads than asked; empty when it does not
    QAction* liveAction_ = nullptr;
    QMenu* pupilMenu_ = nullptr;

    std::unique_ptr<RunController> runs_;
    bool tableWatched_ = false;
    int runResultsShown_ = 0;
    int starTestResultsShown_ = 0;
    QEventLoop* runLoop_ = nullptr;   // "計算開始" waits in it until its run has ended
    QTimer* progressTimer_ = nullptr;

    Picture24 densityPicture_;  // kept: the user mask profile draws over what it holds
    bool fullLayout_ = true;

    // Values kept beside the panel.
    double focalRatio_ = 0;  // start-up's value, then the last run's
    RealMatrixHolder workGrid_;
    UserFilter userFilter_;
    bool userMaskLoaded_ = false;
    // Where the loaded user filter and mask came from, for the set-up file; empty when unknown.
    std::string userFilterPath_;
    std::string userMaskPath_;
    // The ideals of the runs (the same pupils without aberrations), shared with the tasks.
    std::shared_ptr<IdealCache> ideals_ = std::make_shared<IdealCache>();
    // The run whose result was last shown: what the analysis window needs to make its ideal.
    struct ShownRun {
        std::weak_ptr<const FullResult> full;
        RunSpec runSpec;
    };
    ShownRun shownRun_;
    // Where the closing state read at start broke off (line 0: it read completely).
    int closingStateStopLine_ = 0;
    std::string closingStateStopKey_;
    bool closingStateReported_ = false;
};

}  // namespace velmora
