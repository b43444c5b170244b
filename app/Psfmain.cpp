// The main window's construction, layout, menus, start-up, shutdown and data-file commands.
// The panel's handlers and the preview redraws are in PsfmainPanel.cpp.
#include "app/Psfmain.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <cstdio>
#include <stdexcept>

#include "app/AppWindows.h"
#include "app/Verform.h"
#include "files/FileWrite.h"
#include "files/Maskdisplay.h"
#include "files/SaveDialog.h"
#include "files/SaveTarget.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "pupil/Abberation.h"
#include "pupil/Controls.h"
#include "pupil/Dialogs.h"
#include "pupil/Previews.h"
#include "pupil/Pup.h"
#include "pupil/PupilDistribution.h"
#include "pupil/UserMaskStage.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"

namespace velmora {

namespace {

constexpr int fullPanelWidth = 800;
constexpr int compactPanelWidth = 490;
constexpr int panelHeight = 545;

QString Name(const char* prefix, int n) { return QString::fromLatin1(prefix) + QString::number(n); }

// The product name in grey italic letters, the panel's logo.
QPixmap LogoPicture(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(QColor(236, 236, 236));
    QPainter painter(&pixmap);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(52);
    font.setItalic(true);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(QRect(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Velmora1"));
    return pixmap;
}

}  // namespace

TForm1::TForm1(VelmoraWindows& windows) : windows_(windows) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Velmora1"));
    BuildPanel();
    BuildMenus();
    WireHandlers();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    StartUp();
}

TForm1::~TForm1() = default;

void TForm1::BuildPanel() {
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setFixedSize(fullPanelWidth, panelHeight);
    setCentralWidget(panel_);

    BuildMechanicalGroup();
    BuildWavelengthGroup();
    BuildDensityGroup();

    MakeLabel(panel_, QStringLiteral("開口形状"), 320, 8);
    apertureImage_ = new PictureBox(panel_, QStringLiteral("Image1"), 320, 24, 160, 160);
    MakeLabel(panel_, QStringLiteral("濃度分布"), 320, 192);
    densityImage_ = new PictureBox(panel_, QStringLiteral("Image2"), 320, 208, 160, 160);
    MakeLabel(panel_, QStringLiteral("スペクトル"), 320, 376);
    spectrumImage_ = new PictureBox(panel_, QStringLiteral("Image3"), 320, 392, spectrumWidth, spectrumHeight);

    button1_ = MakeButton(panel_, QStringLiteral("Button1"), QStringLiteral("計算開始"), 336, 472, 57, 25);
    button1_->setDefault(true);
    button1_->setAutoDefault(true);
    MakeButton(panel_, QStringLiteral("Button2"), QStringLiteral("結果表示"), 408, 472, 57, 25);
    progressBar_ = new QProgressBar(panel_);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setGeometry(320, 504, 161, 17);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    pupilFunctionCaption_ = MakeLabel(panel_, QStringLiteral("瞳関数"), 488, 8);
    pupilFunctionImage_ = new PictureBox(panel_, QStringLiteral("Image4"), 488, 24, 160, 160);
    interferenceCaption_ = MakeLabel(panel_, QStringLiteral("干渉パターン"), 488, 192);
    interferenceImage_ = new PictureBox(panel_, QStringLiteral("Image5"), 488, 208, 160, 160);

    BuildAberrationGroup();

    QGroupBox* pv = MakeGroup(panel_, QStringLiteral("GroupBox5"), QStringLiteral("P-V値"), 528, 376, 89, 35);
    peakToValleyLabel_ = MakeLabel(pv, QStringLiteral("0.0 λ"), 24, 16, QStringLiteral("Label40"));

    auto* logo = new QLabel(panel_);
    logo->setObjectName(QStringLiteral("Image6"));
    logo->setGeometry(527, 412, 270, 170);
    logo->setPixmap(LogoPicture(270, 120));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    BuildHiddenGroups();
}

void TForm1::BuildMechanicalGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox1"), QStringLiteral("メカニカルデータ"), 8, 16, 305, 129);
    struct Row {
        const char* label;
        int edit;
        SpinRange range;
        int value;
    };
    const Row left[] = {{"主鏡口径", 1, spin::aperture, 160},
                        {"焦点距離", 2, spin::focalLength, 1000},
                        {"副鏡径", 3, spin::secondaryDiameter, 50},
                        {"太さ", 4, spin::barWidth, 1}};
    const Row right[] = {{"角度１", 6, spin::angle, 0},
                         {"角度２", 7, spin::angle, 90},
                         {"角度３", 8, spin::angle, 180},
                         {"角度４", 9, spin::angle, 270}};
    for (int r = 0; r < 4; ++r) {
        const int y = 22 + 25 * r;
        const Row& a = left[r];
        MakeLabel(g, QString::fromUtf8(a.label), 8, y + 4);
        edits_[a.edit] = MakeEdit(g, Name("Edit", a.edit), QString::number(a.value), 66, y, 45);
        spins_[a.edit] = new SpinButton(g, Name("UpDown", a.edit), a.range, a.value, 111, y);
        MakeLabel(g, QStringLiteral("mm"), 130, y + 4);

        const Row& b = right[r];
        checks_[r + 1] = MakeCheck(g, Name("CheckBox", r + 1), 160, y + 2);
        MakeLabel(g, QString::fromUtf8(b.label), 178, y + 4);
        edits_[b.edit] = MakeEdit(g, Name("Edit", b.edit), QString::number(b.value), 220, y, 45);
        spins_[b.edit] = new SpinButton(g, Name("UpDown", b.edit), b.range, b.value, 265, y);
        MakeLabel(g, QStringLiteral("度"), 284, y + 4);
    }
}

void TForm1::BuildWavelengthGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox2"), QStringLiteral("波長データ"), 8, 152, 305, 193);
    MakeLabel(g, QStringLiteral("波長範囲"), 118, 18);
    MakeLabel(g, QStringLiteral("波長間隔"), 238, 18);
    radios_[1] = MakeRadio(g, QStringLiteral("RadioButton1"), QString(), 8, 36);
    radios_[1]->setChecked(true);
    MakeLabel(g, QStringLiteral("モノクロ"), 26, 38);
    radios_[2] = MakeRadio(g, QStringLiteral("RadioButton2"), QString(), 8, 88);
    MakeLabel(g, QStringLiteral("カラー"), 26, 90);

    struct Row {
        const char* label;
        int min, max, step;
        WavelengthBand band;
        int y;
    };
    const Row rows[] = {{"ホワイト", 33, 34, 35, {600, 700, 100}, 56},
                        {"赤チャネル", 20, 5, 10, {600, 700, 100}, 108},
                        {"緑チャネル", 11, 12, 18, {500, 600, 100}, 134},
                        {"青チャネル", 21, 22, 23, {400, 500, 100}, 160}};
    for (const Row& r : rows) {
        MakeLabel(g, QString::fromUtf8(r.label), 24, r.y + 4);
        auto row = [&](int n, int value, int x, SpinRange range) {
            edits_[n] = MakeEdit(g, Name("Edit", n), QString::number(value), x, r.y, 38, 21, true);
            spins_[n] = new SpinButton(g, Name("UpDown", n), range, value, x + 38, r.y);
        };
        row(r.min, r.band.min, 90, spin::bandLimit);
        MakeLabel(g, QStringLiteral("～"), 144, r.y + 4);
        row(r.max, r.band.max, 158, spin::bandLimit);
        MakeLabel(g, QStringLiteral("nm"), 212, r.y + 4);
        row(r.step, r.band.step, 238, spin::bandStep);
    }
}

void TForm1::BuildDensityGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox3"), QStringLiteral("濃度分布"), 8, 352, 305, 73);
    MakeLabel(g, QStringLiteral("係数"), 8, 34);
    edits_[19] = MakeEdit(g, QStringLiteral("Edit19"), QStringLiteral("1.0"), 38, 30, 45);
    spins_[19] = new SpinButton(g, QStringLiteral("UpDown19"), spin::densityCoefficient, 100, 83, 30);
    struct Choice {
        int radio;
        const char* label;
        int x, y;
    };
    const Choice choices[] = {{3, "ガウス", 118, 16}, {4, "COS", 118, 34},          {5, "三角", 118, 52},
                              {8, "ユーザフィルタ", 196, 16}, {6, "ユーザマスク", 196, 34}, {7, "なし", 196, 52}};
    for (const Choice& c : choices) {
        radios_[c.radio] = MakeRadio(g, Name("RadioButton", c.radio), QString(), c.x, c.y);
        MakeLabel(g, QString::fromUtf8(c.label), c.x + 18, c.y + 2);
    }
    radios_[7]->setChecked(true);
}

void TForm1::BuildAberrationGroup() {
    aberrationGroup_ = MakeGroup(panel_, QStringLiteral("GroupBox4"), QStringLiteral("波面収差データ"), 656, 16, 137, 385);
    QGroupBox* g = aberrationGroup_;
    MakeButton(g, QStringLiteral("Button5"), QStringLiteral("ゼロ"), 88, 14, 41, 19);
    struct Row {
        const char* label;
        int n;
        const char* text;
    };
    const Row rows[] = {{"フォーカス", 24, "0.0"},       {"球面収差", 25, "0.00"},    {"非点収差（Ｍ）", 26, "0.00"},
                        {"非点収差（Ｓ）", 27, "0.00"}, {"コマ（Ｘ）", 28, "0.00"},  {"コマ（Ｙ）", 29, "0.00"},
                        {"チルト（Ｘ）", 30, "0.00"},   {"チルト（Ｙ）", 31, "0.00"}, {"コントラスト", 32, "200"}};
    for (int r = 0; r < 9; ++r) {
        const int y = 36 + 35 * r;
        const Row& row = rows[r];
        MakeLabel(g, QString::fromUtf8(row.label), 8, y);
        edits_[row.n] = MakeEdit(g, Name("Edit", row.n), QString::fromUtf8(row.text), 56, y + 13, 50, 20, true);
        const SpinRange range = row.n == 32 ? spin::contrast : spin::aberration;
        spins_[row.n] = new SpinButton(g, Name("UpDown", row.n), range, row.n == 32 ? 200 : 0, 106, y + 13, 15, 20);
    }
    checks_[5] = MakeCheck(g, QStringLiteral("CheckBox5"), 8, 356);
    MakeButton(g, QStringLiteral("Button4"), QStringLiteral("波長依存"), 28, 354, 73, 22);
}

void TForm1::BuildHiddenGroups() {
    QGroupBox* other = MakeGroup(panel_, QStringLiteral("GroupBox6"), QStringLiteral("その他データ"), 496, 480, 305, 89);
    MakeLabel(other, QStringLiteral("フィルタ位置"), 8, 16);
    MakeLabel(other, QStringLiteral("シフト（X)"), 8, 38);
    edits_[14] = MakeEdit(other, QStringLiteral("Edit14"), QStringLiteral("0"), 70, 34, 41);
    spins_[14] = new SpinButton(other, QStringLiteral("UpDown14"), spin::Shift(160), 0, 111, 34);
    MakeLabel(other, QStringLiteral("mm"), 130, 38);
    MakeLabel(other, QStringLiteral("シフト（Y)"), 8, 62);
    edits_[15] = MakeEdit(other, QStringLiteral("Edit15"), QStringLiteral("0"), 70, 58, 41);
    spins_[15] = new SpinButton(other, QStringLiteral("UpDown15"), spin::Shift(160), 0, 111, 58);
    MakeLabel(other, QStringLiteral("mm"), 130, 62);
    auto* scaling = new QWidget(other);
    scaling->setGeometry(150, 10, 150, 70);
    MakeLabel(scaling, QStringLiteral("PSF拡大縮小"), 8, 6);
    MakeLabel(scaling, QStringLiteral("倍率"), 8, 28);
    edits_[17] = MakeEdit(scaling, QStringLiteral("Edit17"), QStringLiteral("1000"), 40, 24, 50);
    spins_[17] = new SpinButton(scaling, QStringLiteral("UpDown17"), spin::magnification, 1000, 90, 24);
    MakeLabel(scaling, QStringLiteral("x"), 110, 28);
    scaling->hide();
    other->hide();

    QGroupBox* calc = MakeGroup(panel_, QStringLiteral("GroupBox7"), QStringLiteral("計算データ"), 328, 512, 305, 57);
    MakeLabel(calc, QStringLiteral("分割数"), 8, 26);
    edits_[16] = MakeEdit(calc, QStringLiteral("Edit16"), QStringLiteral("1024"), 56, 22, 50, 21, true);
    spins_[16] = new SpinButton(calc, QStringLiteral("UpDown16"), spin::pupilDivExponent, 10, 106, 22);
    calc->hide();
}

void TForm1::BuildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& caption, void (TForm1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (handler) connect(action, &QAction::triggered, this, [this, handler] { RunGuarded(this, [&] { (this->*handler)(); }); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("File1"));
    add(file, QStringLiteral("N1"), QStringLiteral("データ読み出し(&O)"), &TForm1::N1Click);
    add(file, QStringLiteral("N2"), QStringLiteral("データ保存(&S)"), &TForm1::N2Click);
    file->addSeparator();
    add(file, QStringLiteral("N6"), QStringLiteral("パラメータ初期化"), &TForm1::N6Click);
    file->addSeparator();
    add(file, QStringLiteral("U1"), QStringLiteral("ユーザフィルタ分布読み込み(&U)"), &TForm1::U1Click);
    add(file, QStringLiteral("I1"), QStringLiteral("ユーザマスク読み込み(&I)"), &TForm1::I1Click);
    file->addSeparator();
    add(file, QStringLiteral("Exit1"), QStringLiteral("終了(&X)"), &TForm1::Exit1Click);

    QMenu* display = menuBar()->addMenu(QStringLiteral("表示(&D)"));
    display->setObjectName(QStringLiteral("D2"));
    add(display, QStringLiteral("R2"), QStringLiteral("無収差(&R)"), &TForm1::R2Click);
    add(display, QStringLiteral("W1"), QStringLiteral("波面収差(&W)"), &TForm1::W1Click);
    add(display, QStringLiteral("I2"), QStringLiteral("ユーザフィルタ画像(&I)"), nullptr);
    add(display, QStringLiteral("M1"), QStringLiteral("ユーザマスク確認(&M)"), &TForm1::M1Click);

    pupilMenu_ = menuBar()->addMenu(QStringLiteral("瞳(&P)"));
    pupilMenu_->setObjectName(QStringLiteral("P1"));
    add(pupilMenu_, QStringLiteral("D1"), QStringLiteral("瞳分布表示(&D)"), &TForm1::D1Click);
    add(pupilMenu_, QStringLiteral("F1"), QStringLiteral("干渉縞(&F)"), nullptr);
    add(pupilMenu_, QStringLiteral("W2"), QStringLiteral("波面収差(&W)"), nullptr);
    pupilMenu_->menuAction()->setVisible(false);

    QMenu* result = menuBar()->addMenu(QStringLiteral("結果(&R)"));
    result->setObjectName(QStringLiteral("R1"));
    add(result, QStringLiteral("N11"), QStringLiteral("１次元強度分布(&1)"), &TForm1::N11Click);
    add(result, QStringLiteral("N21"), QStringLiteral("２次元強度分布(&2)"), &TForm1::N21Click);
    add(result, QStringLiteral("N7"), QStringLiteral("３次元強度分布(&3)"), &TForm1::N7Click);

    QMenu* version = menuBar()->addMenu(QStringLiteral("バージョン(&V)"));
    version->setObjectName(QStringLiteral("V1"));
    add(version, QStringLiteral("V2"), QStringLiteral("バージョン(&V)"), &TForm1::V2Click);
}

void TForm1::StartUp() {
    // 1. The controls hold the factory values.  2. Those values into "default.vl1"; a place
    // that cannot be written does not keep the program from starting.
    try {
        WriteParameterFile(defaultFileName, Snapshot());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora1: %s\n", e.what());
    }
    // 3. The closing state of the last run, through the panel handlers.
    ReadClosingState();
    // 4. to 7.
    RunGuarded(this, [this] { DrawSpectrumPreview(); });
    ShowShiftRange();
    RunGuarded(this, [this] { focalRatio_ = velmora::FocalRatio(ReadInteger(2), ReadInteger(1)); });
    RunGuarded(this, [this] { DrawAperturePreview(); });
    RunGuarded(this, [this] { DrawDensityPreview(); });
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
    // 8.
    userFilter_.userFilterTable.fill(0);
    // 9. Centred as the full layout.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        move(s.width() / 2 - width() / 2, s.height() / 2 - height() / 2);
    }
    // 10.
    if (workGrid_.Allocate(gridSize, gridSize) != 0) throw std::runtime_error("Alloc Error  !!");
    // 11.
    SwitchLayout(false);
}

void TForm1::SwitchLayout(bool full) {
    aberrationGroup_->setVisible(full);
    pupilFunctionImage_->setVisible(full);
    interferenceImage_->setVisible(full);
    pupilFunctionCaption_->setVisible(full);
    interferenceCaption_->setVisible(full);
    panel_->setFixedWidth(full ? fullPanelWidth : compactPanelWidth);
    adjustSize();
    fullLayout_ = full;
}

void TForm1::closeEvent(QCloseEvent* event) {
    std::string text;
    try {
        text = FormatParameterFile(Snapshot());
    } catch (const std::exception& e) {
        // A value that does not convert: the user mends it (the old log stays) or leaves
        // without saving.
        if (!CloseWithoutSaving(e.what())) {
            event->ignore();
            return;
        }
        event->accept();
        if (onClosed) onClosed();
        return;
    }
    try {
        WriteWholeFile(closingStateFileName, text);
    } catch (const std::exception& e) {
        Dialogs().Warning(this, QStringLiteral("終了時のパラメータを保存できませんでした。\n%1").arg(QString::fromUtf8(e.what())));
    }
    event->accept();
    if (onClosed) onClosed();
}

bool TForm1::CloseWithoutSaving(const char* conversionMessage) {
    const bool yes = Dialogs().Confirm(
        this, QStringLiteral("パネルの値を数値に変換できないため、終了時のパラメータを保存できません（%1）。\n"
                             "保存せずに終了しますか？")
                  .arg(QString::fromUtf8(conversionMessage)));
    // いいえ: the standard error box, as for any other use of the bad text, and the window stays.
    if (!yes) ShowException(this, conversionMessage);
    return yes;
}

void TForm1::ReadClosingState() {
    ParameterFileRead read;
    if (ReadParameterFile(closingStateFileName, &read)) return;
    if (!read.problem.empty()) {
        // A pipe, a folder or an unreadable file under the log's name: the start goes on with the
        // factory values and the close will try to write a proper log.
        std::fprintf(stderr, "velmora1: %s を読み込みません（%s）\n", closingStateFileName, read.problem.c_str());
        return;
    }
    closingStateStopLine_ = read.stoppedAtLine;
    closingStateStopKey_ = read.stoppedAtKey;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Queued, so that the box stands in front of a window that is already drawn.
    if (closingStateStopLine_ != 0 && !closingStateReported_)
        QTimer::singleShot(0, this, &TForm1::ReportUnreadClosingState);
}

void TForm1::ReportUnreadClosingState() {
    if (closingStateReported_) return;
    closingStateReported_ = true;
    Dialogs().Information(this, QStringLiteral("%1 の %2 行目「%3」の値を読み込めませんでした。"
                                               "それより後の値は出荷時の値のままです。")
                                    .arg(QString::fromLatin1(closingStateFileName))
                                    .arg(closingStateStopLine_)
                                    .arg(QString::fromStdString(closingStateStopKey_)));
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // "計算開始" is the window's default button: Enter presses it wherever the focus is.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        button1_->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::ApplyAssignment(const ParameterAssignment& a) {
    const QString name = QString::fromStdString(a.control);
    switch (a.kind) {
    case ParameterAssignment::Kind::Text:
        for (int n = 0; n < static_cast<int>(edits_.size()); ++n)
            if (edits_[n] && edits_[n]->objectName() == name) SetEditText(n, QString::fromStdString(a.text));
        break;
    case ParameterAssignment::Kind::Check:
        for (int n = 0; n < static_cast<int>(checks_.size()); ++n)
            if (checks_[n] && checks_[n]->objectName() == name) SetCheck(n, a.checked);
        break;
    case ParameterAssignment::Kind::Select:
        for (int n = 0; n < static_cast<int>(radios_.size()); ++n)
            if (radios_[n] && radios_[n]->objectName() == name) SelectRadio(n);
        break;
    }
}

bool TForm1::ReadParameterFile(const std::string& path, ParameterFileRead* out) {
    const ParameterFileRead read = velmora::ReadParameterFile(path);
    for (const ParameterAssignment& a : read.assignments) RunGuarded(this, [&] { ApplyAssignment(a); });
    if (out) *out = read;
    return !read.exists || read.complete;
}

// Menus.

void TForm1::N1Click() {
    const auto choice = Dialogs().OpenFile(this, QString::fromUtf8(dataFileFilter));
    if (!choice) return;
    ParameterFileRead read;
    if (ReadParameterFile(choice->path.toStdString(), &read)) return;
    const QString file = QString::fromStdString(FileNameOnly(choice->path.toStdString()));
    if (!read.problem.empty()) {
        Dialogs().Warning(this, QStringLiteral("%1 を読み込めませんでした（%2）。").arg(file, QString::fromStdString(read.problem)));
        return;
    }
    Dialogs().Warning(this, QStringLiteral("%1 を最後まで読み込めませんでした（%2 行目「%3」の値が読めません）。"
                                           "それより前の値だけを読み込みました。")
                                .arg(file)
                                .arg(read.stoppedAtLine)
                                .arg(QString::fromStdString(read.stoppedAtKey)));
}

void TForm1::N2Click() {
    const auto choice = Dialogs().SaveFile(this, QString::fromUtf8(dataFileFilter));
    if (!choice) return;
    // The record first: a panel text that does not convert leaves every file as it was.
    const std::string text = FormatParameterFile(Snapshot());
    const std::string chosen = choice->path.toStdString();
    SaveToTarget(this, chosen, ChangeFileExt(chosen, ".vld"), text, ExistsQuestion, WriteFailureBox::Warning);
}

void TForm1::N6Click() {
    ReadParameterFile(resetFileName);
    DrawDensityPreview();
    DrawAperturePreview();
}

void TForm1::SelectLoadedDensity(int radio) {
    const bool alreadySelected = radios_[radio]->isChecked();
    SelectRadio(radio);
    if (alreadySelected) DrawDensityPreview();
}

void TForm1::U1Click() {
    const auto choice = Dialogs().OpenFile(this, QString::fromUtf8(userFilterDialogFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    const UserFilterRead read = ReadUserFilterFile(path, userFilter_);
    if (!read.ok) {
        Dialogs().Warning(this, QStringLiteral("ユーザフィルタ %1 を読み込めませんでした（%2）。前のフィルタのままです。")
                                    .arg(QString::fromStdString(FileNameOnly(path)), QString::fromStdString(read.problem)));
        return;
    }
    SelectLoadedDensity(8);
}

void TForm1::I1Click() {
    const auto choice = Dialogs().OpenFile(this, QString::fromUtf8(userMaskDialogFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    Picture24 mask;
    std::string problem;
    if (!LoadUserMaskFile(path, mask, problem)) {
        Dialogs().Error(this, QStringLiteral("%1 はビットマップとして読み込めません（%2）。")
                                  .arg(QString::fromStdString(FileNameOnly(path)), QString::fromStdString(problem)));
        return;
    }
    densityPicture_ = MaskPreviewCopy(mask);
    windows_.maskDis->SetMaskPicture(mask);
    userMaskLoaded_ = true;
    SelectLoadedDensity(6);
}

void TForm1::Exit1Click() { close(); }

void TForm1::R2Click() { SwitchLayout(false); }

void TForm1::W1Click() { SwitchLayout(true); }

void TForm1::M1Click() { windows_.maskDis->show(); }

void TForm1::D1Click() {
    const SimulationParameters p = Snapshot();
    PupilDistributionInputs in;
    in.params = &p;
    in.focalRatio = focalRatio_;
    in.userFilter = &userFilter_;
    in.loadedMask = userMaskLoaded_ ? &windows_.maskDis->Mask() : nullptr;
    const Picture24 picture = BuildPupilDistribution(in, workGrid_.get(), [this](int percent) { ShowProgress(percent); });
    progressBar_->setValue(0);
    if (picture.empty()) {
        Dialogs().Warning(this, QStringLiteral("焦点比 %1 では瞳の標本数が 1 から %2 の範囲に入らないため、瞳分布を表示できません。")
                                    .arg(focalRatio_)
                                    .arg(gridSize));
        return;
    }
    windows_.pupil->Image1()->SetPicture(picture);
    windows_.pupil->show();
}

void TForm1::N11Click() {
    windows_.psf1d->SetThumbnail(windows_.psf->Image1()->Picture());
    windows_.psf1d->show();
}

void TForm1::N21Click() { windows_.psf->show(); }

void TForm1::N7Click() { windows_.psf3d->Open(); }

void TForm1::V2Click() { windows_.ver->show(); }

}  // namespace velmora
