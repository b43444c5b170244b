// The main window's controls at their design positions, and its menu bar.
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include "app/Psfmain.h"
#include "core/PanelFields.h"
#include "pupil/Previews.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"

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

void TForm1::MakeField(QWidget* parent, int n, int x, int y, int editWidth, int editHeight, bool readOnly,
                       int spinHeight) {
    // The factory values come from the record's defaults; the spin sits right of its box.
    const EditField& field = *FindEditField(n);
    const SimulationParameters factory;
    edits_[n] = MakeEdit(parent, Name("Edit", n), QString::fromStdString(FieldText(field, factory)), x, y, editWidth,
                         editHeight, readOnly);
    spins_[n] = new SpinButton(parent, Name("UpDown", n), field.range, FieldSpinPosition(field, factory),
                               x + editWidth, y, 15, spinHeight);
}

void TForm1::BuildPanel() {
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setFixedSize(fullPanelWidth, panelHeight);
    setCentralWidget(panel_);

    BuildMechanicalGroup();
    BuildWavelengthGroup();
    BuildDensityGroup();

    MakeLabel(panel_, tr("開口形状"), 320, 8);
    apertureImage_ = new PictureBox(panel_, QStringLiteral("Image1"), 320, 24, 160, 160);
    MakeLabel(panel_, tr("濃度分布"), 320, 192);
    densityImage_ = new PictureBox(panel_, QStringLiteral("Image2"), 320, 208, 160, 160);
    MakeLabel(panel_, tr("スペクトル"), 320, 376);
    spectrumImage_ = new PictureBox(panel_, QStringLiteral("Image3"), 320, 392, spectrumWidth, spectrumHeight);

    button1_ = MakeButton(panel_, QStringLiteral("Button1"), tr("計算開始"), 336, 472, 57, 25);
    button1_->setDefault(true);
    button1_->setAutoDefault(true);
    MakeButton(panel_, QStringLiteral("Button2"), tr("結果表示"), 408, 472, 57, 25);
    progressBar_ = new QProgressBar(panel_);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setGeometry(320, 504, 161, 17);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    // Beside the bar while a run lasts; the line below it tells why an automatic run did not go.
    stopButton_ = MakeButton(panel_, QStringLiteral("StopButton"), tr("中止"), 258, 500, 57, 25);
    stopButton_->hide();
    connect(stopButton_, &QPushButton::clicked, this, &TForm1::StopButtonClick);
    liveMessage_ = MakeLabel(panel_, QString(), 8, 526, QStringLiteral("LiveMessage"));
    liveMessage_->setFixedSize(473, 16);
    liveMessage_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    pupilFunctionCaption_ = MakeLabel(panel_, tr("瞳関数"), 488, 8);
    pupilFunctionImage_ = new PictureBox(panel_, QStringLiteral("Image4"), 488, 24, 160, 160);
    interferenceCaption_ = MakeLabel(panel_, tr("干渉パターン"), 488, 192);
    interferenceImage_ = new PictureBox(panel_, QStringLiteral("Image5"), 488, 208, 160, 160);

    BuildAberrationGroup();

    QGroupBox* pv = MakeGroup(panel_, QStringLiteral("GroupBox5"), tr("P-V値"), 528, 376, 89, 35);
    peakToValleyLabel_ = MakeLabel(pv, QStringLiteral("0.0 λ"), 24, 16, QStringLiteral("Label40"));

    auto* logo = new QLabel(panel_);
    logo->setObjectName(QStringLiteral("Image6"));
    logo->setGeometry(527, 412, 270, 170);
    logo->setPixmap(LogoPicture(270, 120));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    BuildHiddenGroups();
}

void TForm1::BuildMechanicalGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox1"), tr("メカニカルデータ"), 8, 16, 305, 129);
    struct Row {
        const char* label;
        int edit;
    };
    const Row left[] = {{QT_TR_NOOP("主鏡口径"), 1}, {QT_TR_NOOP("焦点距離"), 2}, {QT_TR_NOOP("副鏡径"), 3}, {QT_TR_NOOP("太さ"), 4}};
    const Row right[] = {{QT_TR_NOOP("角度１"), 6}, {QT_TR_NOOP("角度２"), 7}, {QT_TR_NOOP("角度３"), 8}, {QT_TR_NOOP("角度４"), 9}};
    for (int r = 0; r < 4; ++r) {
        const int y = 22 + 25 * r;
        const Row& a = left[r];
        MakeLabel(g, tr(a.label), 8, y + 4);
        MakeField(g, a.edit, 66, y, 45);
        MakeLabel(g, QStringLiteral("mm"), 130, y + 4);

        const Row& b = right[r];
        checks_[r + 1] = MakeCheck(g, Name("CheckBox", r + 1), 160, y + 2);
        MakeLabel(g, tr(b.label), 178, y + 4);
        MakeField(g, b.edit, 220, y, 45);
        MakeLabel(g, tr("度"), 284, y + 4);
    }
}

void TForm1::BuildWavelengthGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox2"), tr("波長データ"), 8, 152, 305, 193);
    MakeLabel(g, tr("波長範囲"), 118, 18);
    MakeLabel(g, tr("波長間隔"), 238, 18);
    radios_[1] = MakeRadio(g, QStringLiteral("RadioButton1"), QString(), 8, 36);
    radios_[1]->setChecked(true);
    MakeLabel(g, tr("モノクロ"), 26, 38);
    radios_[2] = MakeRadio(g, QStringLiteral("RadioButton2"), QString(), 8, 88);
    MakeLabel(g, tr("カラー"), 26, 90);

    struct Row {
        const char* label;
        int min, max, step;
        int y;
    };
    const Row rows[] = {{QT_TR_NOOP("ホワイト"), 33, 34, 35, 56},
                        {QT_TR_NOOP("赤チャネル"), 20, 5, 10, 108},
                        {QT_TR_NOOP("緑チャネル"), 11, 12, 18, 134},
                        {QT_TR_NOOP("青チャネル"), 21, 22, 23, 160}};
    for (const Row& r : rows) {
        MakeLabel(g, tr(r.label), 24, r.y + 4);
        MakeField(g, r.min, 90, r.y, 38, 21, true);
        MakeLabel(g, tr("～"), 144, r.y + 4);
        MakeField(g, r.max, 158, r.y, 38, 21, true);
        MakeLabel(g, QStringLiteral("nm"), 212, r.y + 4);
        MakeField(g, r.step, 238, r.y, 38, 21, true);
    }
}

void TForm1::BuildDensityGroup() {
    QGroupBox* g = MakeGroup(panel_, QStringLiteral("GroupBox3"), tr("濃度分布"), 8, 352, 305, 73);
    MakeLabel(g, tr("係数"), 8, 34);
    MakeField(g, 19, 38, 30, 45);
    struct Choice {
        int radio;
        const char* label;
        int x, y;
    };
    const Choice choices[] = {{3, QT_TR_NOOP("ガウス"), 118, 16}, {4, QT_TR_NOOP("COS"), 118, 34},          {5, QT_TR_NOOP("三角"), 118, 52},
                              {8, QT_TR_NOOP("ユーザフィルタ"), 196, 16}, {6, QT_TR_NOOP("ユーザマスク"), 196, 34}, {7, QT_TR_NOOP("なし"), 196, 52}};
    for (const Choice& c : choices) {
        radios_[c.radio] = MakeRadio(g, Name("RadioButton", c.radio), QString(), c.x, c.y);
        MakeLabel(g, tr(c.label), c.x + 18, c.y + 2);
    }
    radios_[7]->setChecked(true);
}

void TForm1::BuildAberrationGroup() {
    aberrationGroup_ = MakeGroup(panel_, QStringLiteral("GroupBox4"), tr("波面収差データ"), 656, 16, 137, 385);
    QGroupBox* g = aberrationGroup_;
    MakeButton(g, QStringLiteral("Button5"), tr("ゼロ"), 88, 14, 41, 19);
    const char* labels[] = {QT_TR_NOOP("フォーカス"),     QT_TR_NOOP("球面収差"),   QT_TR_NOOP("非点収差（Ｍ）"), QT_TR_NOOP("非点収差（Ｓ）"), QT_TR_NOOP("コマ（Ｘ）"),
                            QT_TR_NOOP("コマ（Ｙ）"),     QT_TR_NOOP("チルト（Ｘ）"), QT_TR_NOOP("チルト（Ｙ）"),   QT_TR_NOOP("コントラスト")};
    for (int r = 0; r < 9; ++r) {
        const int y = 36 + 35 * r;
        MakeLabel(g, tr(labels[r]), 8, y);
        MakeField(g, 24 + r, 56, y + 13, 50, 20, true, 20);
    }
    checks_[5] = MakeCheck(g, QStringLiteral("CheckBox5"), 8, 356);
    MakeButton(g, QStringLiteral("Button4"), tr("波長依存"), 28, 354, 73, 22);
}

void TForm1::BuildHiddenGroups() {
    QGroupBox* other = MakeGroup(panel_, QStringLiteral("GroupBox6"), tr("その他データ"), 496, 480, 305, 89);
    MakeLabel(other, tr("フィルタ位置"), 8, 16);
    MakeLabel(other, tr("シフト（X)"), 8, 38);
    MakeField(other, 14, 70, 34, 41);
    MakeLabel(other, QStringLiteral("mm"), 130, 38);
    MakeLabel(other, tr("シフト（Y)"), 8, 62);
    MakeField(other, 15, 70, 58, 41);
    MakeLabel(other, QStringLiteral("mm"), 130, 62);
    auto* scaling = new QWidget(other);
    scaling->setGeometry(150, 10, 150, 70);
    MakeLabel(scaling, tr("PSF拡大縮小"), 8, 6);
    MakeLabel(scaling, tr("倍率"), 8, 28);
    MakeField(scaling, 17, 40, 24, 50);
    MakeLabel(scaling, QStringLiteral("x"), 110, 28);
    scaling->hide();
    other->hide();

    QGroupBox* calc = MakeGroup(panel_, QStringLiteral("GroupBox7"), tr("計算データ"), 328, 512, 305, 57);
    MakeLabel(calc, tr("分割数"), 8, 26);
    MakeField(calc, 16, 56, 22, 50, 21, true);
    calc->hide();
}

void TForm1::BuildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& caption, void (TForm1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (handler) connect(action, &QAction::triggered, this, [this, handler] { RunGuarded(this, [&] { (this->*handler)(); }); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName(QStringLiteral("File1"));
    add(file, QStringLiteral("N1"), tr("データ読み出し(&O)"), &TForm1::N1Click);
    add(file, QStringLiteral("N2"), tr("データ保存(&S)"), &TForm1::N2Click);
    file->addSeparator();
    add(file, QStringLiteral("N6"), tr("パラメータ初期化"), &TForm1::N6Click);
    file->addSeparator();
    add(file, QStringLiteral("SetupSave1"), tr("設定一式を保存(&A)..."), &TForm1::SaveSetupClick);
    add(file, QStringLiteral("SetupLoad1"), tr("設定一式を読込(&O)..."), &TForm1::LoadSetupClick);
    file->addSeparator();
    add(file, QStringLiteral("U1"), tr("ユーザフィルタ分布読み込み(&U)"), &TForm1::U1Click);
    add(file, QStringLiteral("I1"), tr("ユーザマスク読み込み(&I)"), &TForm1::I1Click);
    file->addSeparator();
    add(file, QStringLiteral("Exit1"), tr("終了(&X)"), &TForm1::Exit1Click);

    QMenu* display = menuBar()->addMenu(tr("表示(&D)"));
    display->setObjectName(QStringLiteral("D2"));
    add(display, QStringLiteral("R2"), tr("無収差(&R)"), &TForm1::R2Click);
    add(display, QStringLiteral("W1"), tr("波面収差(&W)"), &TForm1::W1Click);
    add(display, QStringLiteral("I2"), tr("ユーザフィルタ画像(&I)"), nullptr);
    add(display, QStringLiteral("M1"), tr("ユーザマスク確認(&M)"), &TForm1::M1Click);
    display->addSeparator();
    add(display, QStringLiteral("Z1"), tr("ゼルニケ係数(&Z)..."), &TForm1::Z1Click);
    add(display, QStringLiteral("MirrorField1"), tr("主鏡と視野(&F)..."), &TForm1::MirrorField1Click);
    add(display, QStringLiteral("SkyCamera1"), tr("大気とカメラ(&A)..."), &TForm1::SkyCamera1Click);

    pupilMenu_ = menuBar()->addMenu(tr("瞳(&P)"));
    pupilMenu_->setObjectName(QStringLiteral("P1"));
    add(pupilMenu_, QStringLiteral("D1"), tr("瞳分布表示(&D)"), &TForm1::D1Click);
    add(pupilMenu_, QStringLiteral("F1"), tr("干渉縞(&F)"), nullptr);
    add(pupilMenu_, QStringLiteral("W2"), tr("波面収差(&W)"), nullptr);
    pupilMenu_->menuAction()->setVisible(false);

    QMenu* result = menuBar()->addMenu(tr("結果(&R)"));
    result->setObjectName(QStringLiteral("R1"));
    add(result, QStringLiteral("N11"), tr("１次元強度分布(&1)"), &TForm1::N11Click);
    add(result, QStringLiteral("N21"), tr("２次元強度分布(&2)"), &TForm1::N21Click);
    add(result, QStringLiteral("N7"), tr("３次元強度分布(&3)"), &TForm1::N7Click);
    result->addSeparator();
    add(result, QStringLiteral("A1"), tr("解析(&A)"), &TForm1::A1Click);
    add(result, QStringLiteral("T1"), tr("スターテスト(&T)"), &TForm1::T1Click);
    add(result, QStringLiteral("Camera1"), tr("カメラ像(&C)"), &TForm1::Camera1Click);
    liveAction_ = add(result, QStringLiteral("L1"), tr("自動計算(&L)"), &TForm1::L1Click);
    liveAction_->setCheckable(true);

    QMenu* version = menuBar()->addMenu(tr("バージョン(&V)"));
    version->setObjectName(QStringLiteral("V1"));
    add(version, QStringLiteral("V2"), tr("バージョン(&V)"), &TForm1::V2Click);
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

}  // namespace velmora
