// frmSplash: layout, start-up, busy state, display surfaces, closing and the
// exit path.
#include "installer/frmSplash.h"

#include "http/FrmConnect.h"
#include "installer/DefaultFolders.h"
#include "installer/ModSkins.h"
#include "installer/ServerConfig.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "platform/widgets/FitLabel.h"
#include "platform/widgets/Shape.h"
#include "runtime/Program.h"
#include "signature/BodyDigest.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace ostrak {

namespace {

// The stage line's first text. The run of 83 spaces pushes the last sentence
// onto a line of its own in the word-wrapped label.
std::string DesignedWelcomeText() {
    return "Hello, and welcome to Ostrak. If you want to Install, Update or Fix Ostrak, please "
           "click the top button. If you want to remove Ostrak from your computer, click the "
           "middle button. To cancel, click the bottom button." +
           std::string(83, ' ') +
           "Before beginning the installation, please make sure any firewall software is set "
           "up to allow this program access to the internet!";
}

// The design is in twips (1/1440 inch): 15 twips a pixel at 96 dots per inch.
class Twips {
public:
    explicit Twips(const QWidget& w) : DpiX_(w.logicalDpiX()), DpiY_(w.logicalDpiY()) {}
    int X(int twips) const { return static_cast<int>(std::lround(twips * DpiX_ / 1440.0)); }
    int Y(int twips) const { return static_cast<int>(std::lround(twips * DpiY_ / 1440.0)); }
    // Edges are converted, not sizes, so that touching controls stay touching.
    void Place(QWidget* w, int left, int top, int width, int height) const {
        w->setGeometry(X(left), Y(top), X(left + width) - X(left), Y(top + height) - Y(top));
    }

private:
    int DpiX_;
    int DpiY_;
};

// Arial, or the nearest font that has its metrics.
QFont ArialFont(double points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The window's default font: MS Sans Serif 8.25 pt, or the nearest.
QFont DefaultFont(bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans")});
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& text, const QFont& font,
                  Qt::Alignment alignment) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

// A header label: its text shrinks to fit when the font at hand is wider than
// Arial (no Liberation fonts), instead of being cut.
QLabel* MakeHeaderLabel(QWidget* parent, const char* name, const std::string& text,
                        const QFont& font) {
    auto* label = new FitLabel(QString::fromStdString(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, const QFont& font) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(font);
    // Enter presses the focused button, as Space does (autoDefault outside a
    // dialog changes nothing else).
    button->setAutoDefault(true);
    return button;
}

} // namespace

frmSplash::frmSplash() {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Ostrak Installer"));
    setFont(DefaultFont(false));
    const Twips t(*this);
    setFixedSize(t.X(5895), t.Y(3150));

    const Qt::Alignment topLeft = Qt::AlignLeft | Qt::AlignTop;

    // The header band overhangs the left, top and right edges, so only its
    // lower border shows. Its labels are placed inside it.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    t.Place(Frame1, -120, -120, 7425, 1035);
    lblProductName = MakeHeaderLabel(Frame1, "lblProductName", "Ostrak", ArialFont(32.25, true));
    t.Place(lblProductName, 120, 120, 2160, 765);
    lblCompanyProduct =
        MakeHeaderLabel(Frame1, "lblCompanyProduct", "The Amber Reach", ArialFont(18, true));
    t.Place(lblCompanyProduct, 360, 600, 3105, 435);
    lblCopyright = MakeHeaderLabel(Frame1, "lblCopyright", "Copyright \xC2\xA9 Ostrak",
                                   ArialFont(8.25, false));
    t.Place(lblCopyright, 2400, 120, 1935, 255);
    lblPlatform = MakeHeaderLabel(Frame1, "lblPlatform", "Installer", ArialFont(21.75, true));
    t.Place(lblPlatform, 4080, 360, 1665, 510);

    lblWarning =
        MakeLabel(this, "lblWarning", DesignedWelcomeText(), ArialFont(8.25, false), topLeft);
    lblWarning->setWordWrap(true);
    t.Place(lblWarning, 120, 960, 3855, 1695);

    Command1 = MakeButton(this, "Command1", "Install / Fix", DefaultFont(true));
    t.Place(Command1, 4200, 960, 1575, 615);
    Command2 = MakeButton(this, "Command2", "Uninstall", DefaultFont(false));
    t.Place(Command2, 4200, 1680, 1575, 615);
    Command3 = MakeButton(this, "Command3", "Cancel", DefaultFont(false));
    t.Place(Command3, 4200, 2400, 1575, 615);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    // The bar: the fill over the frame, the file line over both (created in
    // this order, so stacked in this order).
    Shape1 = new Shape(Shape::Style::Outline, Qt::black, this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    t.Place(Shape1, 120, 2760, 3885, 270);
    Shape2 = new Shape(Shape::Style::Filled, QColor(0, 192, 0), this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    t.Place(Shape2, 120, 2760, 15, 270);
    Label2 = MakeLabel(this, "Label2", "Waiting to start...", DefaultFont(false),
                       Qt::AlignHCenter | Qt::AlignTop);
    t.Place(Label2, 120, 2775, 3885, 270);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

frmSplash::~frmSplash() = default;

void frmSplash::Form_Load() {
    const ServerAddress server = ConfiguredServer();
    ServerHost = server.Host;
    ServerPort = server.Port;
    ReleaseKey = ConfiguredReleaseKey();
    PathPrefix = "";
    if (PrevInstance()) {
        MsgBox("Installer already running", vbCritical + vbOKOnly, "Installer already open!");
        EndProgram();
        return;
    }
    WelcomeText = StageText();
    InstallFolder = GetSetting(SettingsApplication, SettingsSection, SettingInstallFolder, "");
    if (InstallFolder.empty()) {
        InstallFolder = DefaultInstallFolder();
        NoStoredFolder = true;
    }
    SetBusy(VbFalse);
}

void frmSplash::SetBusy(VbBool busy) {
    const bool isBusy = IsTrue(busy);
    Command1->setEnabled(!isBusy);
    Command2->setEnabled(NoStoredFolder ? false : !isBusy);
    Command3->setEnabled(!isBusy);
    Busy = busy;
    if (!isBusy)
        SetStageText(WelcomeText);
}

void frmSplash::SetStageText(const std::string& text) {
    lblWarning->setText(QString::fromStdString(text));
}

std::string frmSplash::StageText() const {
    return lblWarning->text().toStdString();
}

void frmSplash::SetFileText(const std::string& text) {
    Label2->setText(QString::fromStdString(text));
    if (FileTextShown)
        FileTextShown(text);
}

std::string frmSplash::FileText() const {
    return Label2->text().toStdString();
}

void frmSplash::SetBarFraction(double fraction) {
    if (!(fraction > 0)) // also NaN
        fraction = 0;
    fraction = std::min(fraction, 1.0);
    const int width = static_cast<int>(std::lround(Shape1->width() * fraction));
    Shape2->resize(width, Shape2->height());
}

void frmSplash::closeEvent(QCloseEvent* event) {
    if (IsTrue(Busy))
        event->ignore();
    else
        event->accept();
}

void frmSplash::LoadConnectForm() {
    if (ConnectForm)
        return;
    ConnectForm = std::make_unique<FrmConnect>();
    ConnectForm->Port = ServerPort;
    // The client waits between version-text attempts with the window's Pause.
    ConnectForm->SetPauseHook(ModSkins::Pause);
}

void frmSplash::Command3_Click() {
    ConnectForm.reset();
    close();
    DoEvents();
    EndProgram();
}

} // namespace ostrak
